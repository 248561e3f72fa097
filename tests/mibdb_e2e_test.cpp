// mibdb run as a program: building a database from the standard modules, listing, translating,
// writing event definitions, and its usage and errors.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "mib/companion.h"
#include "tests/support/snmpsim.h"
#include "tests/support/test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string kMibdb = std::string(ZORV_BINARY_DIR) + "/appls/mibdb/mibdb";
const std::string kModules = ZORV_STANDARD_MIBS_DIR;
const std::string kStandardText = std::string(ZORV_SOURCE_DIR) + "/mibs/snmpv2mib.txt";

std::string module(const std::string& name) {
    return kModules + "/" + name + ".mib";
}

bool modules_available() {
    return fs::exists(module("IF-MIB")) && fs::exists(module("SNMPv2-MIB"));
}

// A search path in the caller's environment would change what a build compiles.
ProgramResult mibdb(const std::vector<std::string>& args,
                    const std::vector<std::string>& env = {}) {
    std::vector<std::string> all = {"ZORVMIBDIRS="};
    all.insert(all.end(), env.begin(), env.end());
    return run_program(kMibdb, args, all);
}

// One database built from the standard text and the four standard modules for all the tests.
class MibdbTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        if (!fs::exists(kMibdb) || !fs::exists(kStandardText) || !modules_available()) return;
        build_ = new ProgramResult(
            mibdb({"build", "-o", dir_->file("db.bin"), module("IANAifType-MIB"),
                   module("RFC1213-MIB"), module("IF-MIB"), module("SNMPv2-MIB")}));
    }
    static void TearDownTestSuite() {
        delete build_;
        delete dir_;
        build_ = nullptr;
        dir_ = nullptr;
    }
    void SetUp() override {
        if (!fs::exists(kMibdb)) GTEST_SKIP() << "mibdb is not built";
        if (!fs::exists(kStandardText)) GTEST_SKIP() << "no standard definitions text";
        if (!modules_available()) GTEST_SKIP() << "standard MIB modules not fetched";
    }
    static std::string database() { return dir_->file("db"); }

    static TempDir* dir_;
    static ProgramResult* build_;
};
TempDir* MibdbTest::dir_ = nullptr;
ProgramResult* MibdbTest::build_ = nullptr;

}  // namespace

TEST_F(MibdbTest, BuildsTheDatabaseFromTheStandardModules) {
    ASSERT_NE(build_, nullptr);
    EXPECT_EQ(build_->status, 0) << build_->err;
    EXPECT_EQ(build_->out.rfind("mibdb: wrote ", 0), 0u) << build_->out;
    EXPECT_TRUE(fs::exists(dir_->file("db.bin")));

    // Found by name and put in import order, the same modules give the same database.
    const ProgramResult found = mibdb({"build", "-o", dir_->file("found.bin"), "-M", kModules,
                                       "IANAifType-MIB", "RFC1213-MIB", "IF-MIB", "SNMPv2-MIB"});
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(read_file(dir_->file("found.bin")), read_file(dir_->file("db.bin")));
    EXPECT_EQ(read_file(dir_->file("found.facts")), read_file(dir_->file("db.facts")));

    // Beside it, its companion: the modules that define each node, every one that does.
    CompanionResult result;
    const auto companion = read_companion(dir_->file("db.bin"), result);
    ASSERT_NE(companion, nullptr) << result.message;
    const struct {
        std::vector<uint32_t> oid;
        std::vector<std::string> modules;  // empty: no facts
    } cases[] = {
        {{1, 3, 6, 1, 2, 1, 2, 2, 1}, {"RFC1213-MIB", "IF-MIB"}},   // ifEntry
        {{1, 3, 6, 1, 2, 1, 31, 1, 1, 1}, {"IF-MIB"}},              // ifXEntry
        {{1, 3, 6, 1, 2, 1, 1, 1}, {"RFC1213-MIB", "SNMPv2-MIB"}},  // sysDescr
        {{1, 3, 6, 1}, {"ZORV-STANDARD-DEFS"}},                     // internet: the standard text's
    };
    for (const auto& c : cases) {
        const auto facts = companion->find(c.oid);
        EXPECT_EQ(facts ? facts->modules : std::vector<std::string>{}, c.modules);
    }
    // Rows and conventions: INDEX, AUGMENTS, the convention and its hint and sizes.
    const std::vector<uint32_t> if_entry = {1, 3, 6, 1, 2, 1, 2, 2, 1};
    const auto column = [&](uint32_t n) {
        std::vector<uint32_t> oid = if_entry;
        oid.push_back(n);
        return oid;
    };
    const struct {
        std::vector<uint32_t> oid;
        std::string syntax, hint;
        std::vector<SizeRange> sizes;
        std::vector<std::vector<uint32_t>> index;
        std::vector<uint32_t> augments;
    } rows[] = {
        {if_entry, "", "", {}, {column(1)}, {}},
        {{1, 3, 6, 1, 2, 1, 31, 1, 1, 1}, "", "", {}, {}, if_entry},  // ifXEntry
        {column(6), "PhysAddress", "1x:", {}, {}, {}},
        {column(2), "DisplayString", "255a", {{0, 255}}, {}, {}},
    };
    for (const auto& r : rows) {
        const auto facts = companion->find(r.oid);
        ASSERT_TRUE(facts.has_value()) << r.oid.size();
        EXPECT_EQ(facts->syntax, r.syntax);
        EXPECT_EQ(facts->hint, r.hint);
        EXPECT_EQ(facts->sizes, r.sizes) << r.syntax;
        EXPECT_EQ(facts->index, r.index);
        EXPECT_FALSE(facts->implied);
        EXPECT_EQ(facts->augments, r.augments);
    }

    // The whole folder: the SMI modules are the standard text's, RFC1158-MIB's { 0 0 } is the
    // one node that hangs under no root.
    const ProgramResult folder = mibdb({"build", "-o", dir_->file("folder.bin"), "-M", kModules});
    EXPECT_EQ(folder.status, 0) << folder.err;
    EXPECT_NE(folder.out.find("(5 modules)"), std::string::npos) << folder.out;
    EXPECT_NE(folder.err.find("Left-over node nullSpecific ::= { 0 0 } (0)\n"), std::string::npos)
        << folder.err;
}

TEST_F(MibdbTest, ListsTheIfEntrySubtree) {
    const ProgramResult r = mibdb({"list", "-f", database(), "interfaces.ifTable.ifEntry"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("ifEntry(1) .1.3.6.1.2.1.2.2.1 not-accessible\n", 0), 0u) << r.out;
    for (const char* line : {
             "\n  ifDescr(2) .1.3.6.1.2.1.2.2.1.2 OCTET STRING read-only\n",
             "\n  ifAdminStatus(7) .1.3.6.1.2.1.2.2.1.7 INTEGER read-write {up(1) down(2) "
             "testing(3)}\n",
             "\n  ifInOctets(10) .1.3.6.1.2.1.2.2.1.10 Counter32 read-only\n",
         }) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\nin\n" << r.out;
    }
    // Children are listed in order and nothing outside the subtree is.
    EXPECT_LT(r.out.find("ifIndex(1)"), r.out.find("ifDescr(2)"));
    EXPECT_EQ(r.out.find(" | "), std::string::npos);
    // With --facts each line ends in what the companion knows; without a companion the tree is
    // listed as it is, after one line that says why.
    const ProgramResult facts =
        mibdb({"list", "--facts", "-f", database(), "interfaces.ifTable.ifEntry"});
    ASSERT_EQ(facts.status, 0) << facts.err;
    EXPECT_EQ(facts.out.rfind("ifEntry(1) .1.3.6.1.2.1.2.2.1 not-accessible | module RFC1213-MIB "
                              "IF-MIB | index ifIndex\n",
                              0),
              0u)
        << facts.out;
    EXPECT_NE(facts.out.find("\n  ifPhysAddress(6) .1.3.6.1.2.1.2.2.1.6 OCTET STRING read-only | "
                             "module RFC1213-MIB IF-MIB | syntax PhysAddress | hint \"1x:\"\n"),
              std::string::npos)
        << facts.out;
    fs::copy_file(database() + ".bin", dir_->file("bare.bin"),
                  fs::copy_options::overwrite_existing);
    const ProgramResult without =
        mibdb({"list", "--facts", "-f", dir_->file("bare"), "interfaces.ifTable.ifEntry"});
    EXPECT_EQ(without.status, 0);
    EXPECT_EQ(without.out, r.out);
    EXPECT_NE(without.err.find("mibdb: "), std::string::npos);
    EXPECT_EQ(r.out.find("ifTable("), std::string::npos);
    EXPECT_EQ(r.out.find("ifNumber("), std::string::npos);
}

TEST_F(MibdbTest, ListsTheWholeTreeFromTheRoot) {
    const ProgramResult r = mibdb({"list", "-f", dir_->file("db.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("iso(1) .1\n  org(3) .1.3\n    dod(6) .1.3.6\n", 0), 0u)
        << r.out.substr(0, 200);
    EXPECT_NE(r.out.find(" coldStart(1) .1.3.6.1.6.3.1.1.5.1"), std::string::npos);
}

TEST_F(MibdbTest, TranslatesBothWays) {
    ProgramResult r = mibdb(
        {"translate", "-f", database(), "interfaces.ifTable.ifEntry.ifDescr", "system.sysDescr.0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ".1.3.6.1.2.1.2.2.1.2\n.1.3.6.1.2.1.1.1.0\n");

    r = mibdb({"translate", ".1.3.6.1.2.1.2.2.1.2", "1.3.6.1.6.3.1.1.5.1"},
              {"MIBDBV2=" + database()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              ".iso.org.dod.internet.mgmt.mib-2.interfaces.ifTable.ifEntry.ifDescr\n"
              ".iso.org.dod.internet.snmpV2.snmpModules.snmpMIB.snmpMIBObjects.snmpTraps."
              "coldStart\n");
}

TEST_F(MibdbTest, ModuleQualifiedNames) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;  // the whole output, or for status 1 the error
    } cases[] = {
        {{"translate", "IF-MIB::ifXEntry.ifName", "RFC1213-MIB::ifDescr.3"},
         0,
         ".1.3.6.1.2.1.31.1.1.1.1\n.1.3.6.1.2.1.2.2.1.2.3\n"},
        {{"translate", "IF-MIB::ifTable"}, 0, ".1.3.6.1.2.1.2.2\n"},
        {{"translate", "SNMPv2-MIB::ifXEntry"}, 1, "mibdb: cannot resolve SNMPv2-MIB::ifXEntry"},
        {{"translate", "NO-SUCH-MIB::ifName"}, 1, "mibdb: cannot resolve NO-SUCH-MIB::ifName"},
        {{"translate", "IF-MIB::"}, 1, "mibdb: cannot resolve IF-MIB::"},
        {{"translate", "IF-MIB::ifXEntry.noSuchColumn"}, 1, "mibdb: cannot resolve"},
        {{"list", "IF-MIB::ifXEntry"}, 0, "ifXEntry(1) .1.3.6.1.2.1.31.1.1.1 not-accessible\n"},
    };
    for (const auto& c : cases) {
        const ProgramResult r = mibdb(c.args, {"MIBDBV2=" + database()});
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.err;
        EXPECT_EQ((c.status == 0 ? r.out : r.err).rfind(c.out, 0), 0u) << r.out << r.err;
    }

    // Without its companion the database still serves every other name; a module name fails as
    // unknown, the reason said once.
    TempDir alone;
    fs::copy_file(dir_->file("db.bin"), alone.file("db.bin"));
    const ProgramResult r = mibdb(
        {"translate", "-f", alone.file("db.bin"), "ifMIB", "IF-MIB::ifName", "IF-MIB::ifIndex"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, ".1.3.6.1.2.1.31\n");
    EXPECT_EQ(r.err,
              "MIB facts file " + alone.file("db.facts") +
                  " not used: No such file or directory\nmibdb: cannot resolve IF-MIB::ifName\n"
                  "mibdb: cannot resolve IF-MIB::ifIndex\n");
}

TEST_F(MibdbTest, NameOutsideTheDefaultSubtreesFailsWithAHint) {
    const ProgramResult r = mibdb({"translate", "-f", database(), "ifEntry.ifDescr"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "mibdb: cannot resolve ifEntry.ifDescr (ifEntry is "
              ".iso.org.dod.internet.mgmt.mib-2.interfaces.ifTable.ifEntry; a name starts under "
              "mib-2 or enterprises unless it begins with a dot)\n");
}

TEST_F(MibdbTest, WritesTheEventDefinitionsOfTheStandardTraps) {
    TempDir out;
    const ProgramResult r =
        mibdb({"events", "--base-class", "Snmp_Trap", "--commands", out.file("commands"),
               "--classes", out.file("classes"), "--variables", out.file("variables"), "--rules",
               out.file("rules"), module("IF-MIB"), module("SNMPv2-MIB")});
    ASSERT_EQ(r.status, 0) << r.err;
    // IF-MIB without the module it imports IANAifType from.
    EXPECT_EQ(r.err,
              "Warning: IANAifType, the SYNTAX of ifType in IF-MIB, is defined nowhere; ifType "
              "has no type\n");

    const std::string tail = "-o A  -c LOGONLY -t 0 -S 1 ";
    const std::string format = "-f - -F \"$E $G $S $# args: $*\" \n";
    const std::string enterprise = "-n snmpTraps -i 1.3.6.1.6.3.1.1.5 ";
    EXPECT_EQ(read_file(out.file("commands")),
              "alertreg -l linkDown -g 6 -s 3 " + enterprise + tail + "-T " + format +
                  "alertreg -l linkUp -g 6 -s 4 " + enterprise + tail + "-T " + format +
                  "alertreg -l coldStart -g 6 -s 1 " + enterprise + tail + "-T " + format +
                  "alertreg -l warmStart -g 6 -s 2 " + enterprise + tail + "-T " + format +
                  "alertreg -l authenticationFailure -g 6 -s 5 " + enterprise + tail + format);

    std::string classes;
    for (const char* name :
         {"linkDown", "linkUp", "coldStart", "warmStart", "authenticationFailure"}) {
        classes += std::string("\nPLEXA_CLASS :\n        ") + name +
                   " ISA Snmp_Trap\n        DEFINES {\n"
                   "                severity: default = WARNING;\n        };\nEND\n";
    }
    EXPECT_EQ(read_file(out.file("classes")), classes);

    const std::string link_variables =
        "\n\"ifIndex\"\t \"1.3.6.1.2.1.2.2.1.1\""
        "\n\"ifAdminStatus\"\t \"1.3.6.1.2.1.2.2.1.7\""
        "\n\"ifOperStatus\"\t \"1.3.6.1.2.1.2.2.1.8\"";
    EXPECT_EQ(read_file(out.file("variables")),
              "\n# \"snmpTraps\"\t \"1.3.6.1.6.3.1.1.5\"" + link_variables + link_variables);

    auto link_rule = [](const char* name, int specific) {
        return std::string("\nCLASS  ") + name +
               " \n  SELECT\n"
               "\t1: ATTR(=,\"ifIndex\");\n"
               "\t2: ATTR(=,\"ifAdminStatus\");\n"
               "\t3: ATTR(=,\"ifOperStatus\");\n"
               "\t4: ATTR(=,$ENTERPRISE), VALUE(PREFIX, \"1.3.6.1.6.3.1.1.5\");\n"
               "\t5: $SPECIFIC = " +
               std::to_string(specific) +
               ";\n  MAP\n"
               "\tifIndex = $V1 ;\n"
               "\tifAdminStatus = $V2 ;\n"
               "\tifOperStatus = $V3 ;\n"
               "\tenterprise = \"snmpTraps\" ;\n"
               "\tmsg = PRINTF (\"" +
               name +
               "  ifIndex=%s; ifAdminStatus=%s; ifOperStatus=%s\", $V1, $V2, $V3); \n"
               "END\n";
    };
    auto plain_rule = [](const char* name, int specific) {
        return std::string("\nCLASS  ") + name +
               " \n  SELECT\n"
               "\t1: ATTR(=,$ENTERPRISE), VALUE(PREFIX, \"1.3.6.1.6.3.1.1.5\");\n"
               "\t2: $SPECIFIC = " +
               std::to_string(specific) +
               ";\n  MAP\n"
               "\tenterprise = \"snmpTraps\" ;\n"
               "\tmsg = \"" +
               name + " trap received\"; \nEND\n";
    };
    EXPECT_EQ(read_file(out.file("rules")),
              link_rule("linkDown", 3) + link_rule("linkUp", 4) + plain_rule("coldStart", 1) +
                  plain_rule("warmStart", 2) + plain_rule("authenticationFailure", 5));
}

TEST_F(MibdbTest, ModuleWithoutTrapsWritesNothingAndFails) {
    TempDir out;
    const ProgramResult r = mibdb({"events", "--base-class", "B", "--commands",
                                   out.file("commands"), module("IANAifType-MIB")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.err.find("Error -- No trap definitions found.\n Check MIB source file for errors.\n"),
        std::string::npos)
        << r.err;
    EXPECT_EQ(read_file(out.file("commands")), "");
}

// Trap directives that carry shell text, and the same module with ordinary texts: the commands
// file is run by sh against a stub alertreg that records its arguments.
namespace {

std::string trap_module(bool hostile) {
    const auto pick = [hostile](const char* ordinary, const char* shell) {
        return std::string(hostile ? shell : ordinary);
    };
    return "HOSTILE-MIB DEFINITIONS ::= BEGIN\n"
           "IMPORTS enterprises FROM SNMPv2-SMI;\n"
           "acme OBJECT IDENTIFIER ::= { enterprises 4242 }\n"
           "acmeTraps OBJECT IDENTIFIER ::= { acme 0 }\n"
           "acmePort OBJECT-TYPE SYNTAX INTEGER ACCESS read-only STATUS mandatory ::= { acme 1 }\n"
           "acmeQuotes TRAP-TYPE ENTERPRISE acme VARIABLES { acmePort }\n"
           "    --#SUMMARY " +
           pick("\"Port %d down\"",
                "\"Port %d down\"; touch PWNED1; alertreg injected; echo \"x\"") +
           "\n    --#ARGUMENTS {0}\n"
           "    --#CATEGORY " +
           pick("Status", "$(touch PWNED2)") + "\n    --#EVENTCLASS " +
           pick("Acme_Port", "Acme;touch PWNED3") + "\n    --#SLOTMAP " +
           pick("port_index", "a\"$(touch PWNED4)\"") +
           " $V1\n    ::= 1\n"
           "acmeSubst TRAP-TYPE ENTERPRISE acme\n    --#SUMMARY " +
           pick("\"Port changed\"", "\"Port $(touch PWNED5) down\"") +
           "\n    ::= 2\n"
           "acmeTicks TRAP-TYPE ENTERPRISE acme\n    --#SUMMARY " +
           pick("\"Port $E $G $S $# args: $*\"", "\"Port `touch PWNED6` down\"") +
           "\n    ::= 3\n"
           "acmeSlash NOTIFICATION-TYPE OBJECTS { acmePort } STATUS current\n    --#SUMMARY " +
           pick("\"Port %d at 50% 'load'\"", "\"Port %d \\\" ; touch PWNED7 ; \\\\\"") +
           "\n    --#ARGUMENTS {0}\n    --#SEVERITY MAJOR\n    ::= { acmeTraps 4 }\n"
           "acmeLines TRAP-TYPE ENTERPRISE acme\n"
           "    --#SUMMARY \"First line\"\n    --#SUMMARY \"second line\"\n    ::= 5\n"
           "END\n";
}

}  // namespace

TEST_F(MibdbTest, DirectiveTextsNeverRunAsCommands) {
    TempDir dir;
    const auto events = [&dir](const std::string& name, bool hostile) {
        write_file(dir.file(name + ".mib"), trap_module(hostile));
        return mibdb({"events", "--base-class", "Acme_Base", "--standard", kStandardText,
                      "--commands", dir.file(name + ".commands"), "--classes",
                      dir.file(name + ".classes"), "--variables", dir.file(name + ".variables"),
                      "--rules", dir.file(name + ".rules"), dir.file(name + ".mib")});
    };
    const ProgramResult plain = events("plain", false);
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "");
    const std::string registered = "-n acme -i 1.3.6.1.4.1.4242 -o A  -c ";
    EXPECT_EQ(read_file(dir.file("plain.commands")),
              "alertreg -l acmeQuotes -g 6 -s 1 " + registered +
                  "\"Status Events\" -t 0 -S 1 -T -f - -F \"Port $1 down\" \n"
                  "alertreg -l acmeSubst -g 6 -s 2 " +
                  registered +
                  "LOGONLY -t 0 -S 1 -T -f - -F \"Port changed\" \n"
                  "alertreg -l acmeTicks -g 6 -s 3 " +
                  registered +
                  "LOGONLY -t 0 -S 1 -T -f - -F \"Port $E $G $S $# args: $*\" \n"
                  "alertreg -l acmeSlash -g 6 -s 4 -n acmeTraps -i 1.3.6.1.4.1.4242 -o A  -c "
                  "LOGONLY -t 0 -S 5 -T -f - -F \"Port $1 at 50% 'load'\" \n"
                  "alertreg -l acmeLines -g 6 -s 5 " +
                  registered + "LOGONLY -t 0 -S 1 -f - -F \"First line \\n second line\" \n");
    const auto event_class = [](const char* name, const char* severity, const char* slot) {
        return std::string("\nPLEXA_CLASS :\n        ") + name +
               " ISA Acme_Base\n        DEFINES {\n                severity: default = " +
               severity + ";\n" + slot + "        };\nEND\n";
    };
    const std::string plain_classes =
        event_class("acmeSubst", "WARNING", "") + event_class("acmeTicks", "WARNING", "") +
        event_class("acmeSlash", "FATAL", "") + event_class("acmeLines", "WARNING", "");
    EXPECT_EQ(read_file(dir.file("plain.classes")),
              event_class("Acme_Port", "WARNING", "                port_index : STRING \n") +
                  plain_classes);

    const ProgramResult hostile = events("hostile", true);
    ASSERT_EQ(hostile.status, 0) << hostile.err;
    const auto refused = [](const char* directive, const char* trap, const char* file,
                            const char* instead) {
        return std::string(directive) + " text for trap " + trap +
               " would not stay one word in the " + file + " file, " + instead + ".\n";
    };
    const char* fallback = "using default format";
    EXPECT_EQ(hostile.err,
              refused("--#SUMMARY", "acmeQuotes", "commands", fallback) +
                  refused("--#EVENTCLASS", "acmeQuotes", "classes", "using the trap name") +
                  refused("--#SLOTMAP", "acmeQuotes", "classes", "leaving the slot out") +
                  refused("--#SUMMARY", "acmeSubst", "commands", fallback) +
                  refused("--#SUMMARY", "acmeTicks", "commands", fallback) +
                  refused("--#SUMMARY", "acmeSlash", "commands", fallback));
    EXPECT_EQ(read_file(dir.file("hostile.classes")),
              event_class("acmeQuotes", "WARNING", "") + plain_classes);
    for (const char* file : {".variables", ".rules"}) {
        EXPECT_EQ(read_file(dir.file(std::string("hostile") + file)),
                  read_file(dir.file(std::string("plain") + file)));
    }

    // The shell expands the default format's placeholders; with no arguments and E, G and S
    // unset it reads "   0 args: ".
    const std::string stub = dir.file("bin/alertreg");
    fs::create_directories(dir.file("bin"));
    write_file(stub,
               "#!/bin/sh\nfor a in \"$@\"; do printf '<%s>' \"$a\"; done >>\"$ALERTREG_LOG\"\n"
               "echo >>\"$ALERTREG_LOG\"\n");
    fs::permissions(stub, fs::perms::owner_all);
    const ProgramResult run = run_program(
        "/usr/bin/env",
        {"-i", "PATH=" + dir.file("bin") + ":/usr/bin:/bin", "ALERTREG_LOG=" + dir.file("argv.log"),
         "/bin/sh", "-c", "cd \"$1\" && exec /bin/sh ./hostile.commands", "sh", dir.path()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string words = "<-o><A><-c><LOGONLY><-t><0><-S><1><-T><-f><-><-F><   0 args: >\n";
    const std::string acme = "<-n><acme><-i><1.3.6.1.4.1.4242>";
    EXPECT_EQ(read_file(dir.file("argv.log")),
              "<-l><acmeQuotes><-g><6><-s><1>" + acme +
                  "<-o><A><-c><Status Events><-t><0><-S><1><-T><-f><-><-F><   0 args: >\n"
                  "<-l><acmeSubst><-g><6><-s><2>" +
                  acme + words + "<-l><acmeTicks><-g><6><-s><3>" + acme + words +
                  "<-l><acmeSlash><-g><6><-s><4><-n><acmeTraps><-i><1.3.6.1.4.1.4242>"
                  "<-o><A><-c><LOGONLY><-t><0><-S><5><-T><-f><-><-F><   0 args: >\n"
                  "<-l><acmeLines><-g><6><-s><5>" +
                  acme +
                  "<-o><A><-c><LOGONLY><-t><0><-S><1><-f><-><-F><First line \\n second line>\n");
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().rfind("PWNED", 0), std::string::npos)
            << entry.path();
    }

    // A name that is no identifier stops the compile: no commands file at all.
    write_file(dir.file("named.mib"),
               "NAMED-MIB DEFINITIONS ::= BEGIN\n"
               "linkDown`touch$IFS\\PWNED` TRAP-TYPE ENTERPRISE acme ::= 1\nEND\n");
    const ProgramResult named = mibdb({"events", "--base-class", "B", "--commands",
                                       dir.file("named.commands"), dir.file("named.mib")});
    EXPECT_EQ(named.status, 1);
    EXPECT_NE(named.err.find("found(linkDown`touch$IFS\\PWNED`): On or around line"),
              std::string::npos)
        << named.err;
    EXPECT_FALSE(fs::exists(dir.file("named.commands")));
}

TEST_F(MibdbTest, CompileErrorsPointIntoTheModuleTheyCameFrom) {
    TempDir dir;
    write_file(dir.file("good.mib"),
               "GOOD-MIB DEFINITIONS ::= BEGIN\n"
               "good OBJECT IDENTIFIER ::= { enterprises 4711 }\n"
               "END\n");
    write_file(dir.file("bad.mib"),
               "BAD-MIB DEFINITIONS ::= BEGIN\n"
               "\n"
               "bad BOGUS-MACRO\n"
               "END\n");
    const ProgramResult r =
        mibdb({"build", "-o", dir.file("out.bin"), dir.file("good.mib"), dir.file("bad.mib")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("On or around line 6 (" + dir.file("bad.mib") + ", line 3)"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(dir.file("out.bin")));

    // A module without END is told in its own file, at its BEGIN.
    write_file(dir.file("open.mib"),
               "-- no END\nOPEN-MIB DEFINITIONS ::= BEGIN\n"
               "open OBJECT IDENTIFIER ::= { enterprises 4712 }\n");
    const struct {
        std::vector<std::string> files;
        std::string message;
    } cases[] = {
        {{"good.mib", "open.mib"}, "Error, no END statement for OPEN-MIB: On or around line 5"},
        {{"open.mib", "good.mib"},
         "Error, no END statement for OPEN-MIB before GOOD-MIB: On or around line 2"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"build", "-o", dir.file("out.bin")};
        for (const std::string& file : c.files) args.push_back(dir.file(file));
        const ProgramResult open = mibdb(args);
        EXPECT_EQ(open.status, 1);
        EXPECT_NE(open.err.find(c.message + " (" + dir.file("open.mib") + ", line 2)\n"),
                  std::string::npos)
            << open.err;
    }
}

TEST_F(MibdbTest, FailedBuildKeepsTheDatabaseThatWasThere) {
    TempDir dir;
    const std::string db = dir.file("keep.bin");
    ASSERT_EQ(mibdb({"build", "-o", db, module("IF-MIB")}).status, 0);
    const std::string before = read_file(db);
    write_file(dir.file("bad.mib"), "BAD-MIB DEFINITIONS ::= BEGIN\nbad BOGUS\n");
    EXPECT_EQ(mibdb({"build", "-o", db, dir.file("bad.mib")}).status, 1);
    EXPECT_EQ(read_file(db), before);
    CompanionResult kept;
    EXPECT_NE(read_companion(db, kept), nullptr) << kept.message;

    const ProgramResult r = mibdb({"build", "-o", dir.file("no/such/dir/db.bin")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mibdb: Error accessing " + dir.file("no/such/dir/db.bin") +
                         ": No such file or directory\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

// A database of a megabyte or more goes into place while its companion is encoded: each build
// replaces both, the companion bound to the database on disk; a replacement that fails leaves
// no partial file behind.
TEST_F(MibdbTest, LargeDatabaseIsReplacedWithItsCompanion) {
    TempDir dir;
    const std::string db = dir.file("big.bin");
    for (const char fill : {'x', 'y'}) {
        std::string text =
            "BIG-MIB DEFINITIONS ::= BEGIN\n"
            "big OBJECT IDENTIFIER ::= { enterprises 4712 }\n";
        for (int i = 1; i <= 1100; ++i) {
            text += "o" + std::to_string(i) +
                    " OBJECT-TYPE SYNTAX INTEGER MAX-ACCESS read-only STATUS current "
                    "DESCRIPTION \"" +
                    std::string(1000, fill) + "\" ::= { big " + std::to_string(i) + " }\n";
        }
        write_file(dir.file("big.mib"), text + "END\n");
        const ProgramResult r = mibdb({"build", "-o", db, dir.file("big.mib")});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_GE(fs::file_size(db), 1u << 20);
        CompanionResult result;
        EXPECT_NE(read_companion(db, result), nullptr) << result.message;
    }
    fs::create_directory(dir.file("dir.bin"));
    const ProgramResult r = mibdb({"build", "-o", dir.file("dir.bin"), dir.file("big.mib")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mibdb: cannot replace " + dir.file("dir.bin") + ": Is a directory\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4);
}

// A tree deeper than a database holds is refused naming the limit and the node; a build ended
// by a signal (here the file size limit's) takes its partial file with it.
TEST_F(MibdbTest, TooDeepTreeOrASignalLeaveNoFileBehind) {
    TempDir dir;
    std::string deep =
        "DEEP-MIB DEFINITIONS ::= BEGIN\nd1 OBJECT IDENTIFIER ::= { enterprises 1 }\n";
    for (int i = 2; i <= 125; ++i) {
        deep += "d" + std::to_string(i) + " OBJECT IDENTIFIER ::= { d" + std::to_string(i - 1) +
                " 1 }\n";
    }
    write_file(dir.file("deep.mib"), deep + "END\n");
    std::string identifier = ".1.3.6.1.4.1";
    for (int level = 7; level <= 129; ++level) identifier += ".1";
    ProgramResult r = mibdb({"build", "-o", dir.file("deep.bin"), dir.file("deep.mib")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mibdb: cannot write " + dir.file("deep.bin") + ": d123 (" + identifier +
                         ") lies deeper than the 128 levels a MIB database holds\n");

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit small{1024, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    write_file(
        dir.file("small.mib"),
        "SMALL-MIB DEFINITIONS ::= BEGIN\nsmall OBJECT IDENTIFIER ::= { enterprises 4711 }\nEND\n");
    r = mibdb({"build", "-o", dir.file("cut.bin"), dir.file("small.mib")});
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(r.status, 128 + SIGXFSZ) << r.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST_F(MibdbTest, DefaultDatabaseOfTheBuild) {
    const std::string base = std::string(ZORV_BINARY_DIR) + "/mibs/snmpv2mib";
    if (!fs::exists(base + ".bin")) GTEST_SKIP() << "the default database is not built";
    const ProgramResult r = mibdb({"translate", "ifMIB", "system.sysDescr"}, {"MIBDBV2=" + base});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ".1.3.6.1.2.1.31\n.1.3.6.1.2.1.1.1\n");
}

// Three modules, each importing the one before: MID-MIB's file is not named after it, and
// TOP-MIB's object has MID-MIB's convention only when MID-MIB is compiled first.
class MibdbSearchPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(kMibdb)) GTEST_SKIP() << "mibdb is not built";
        write_file(dir_.file("BASE-MIB.my"),
                   "BASE-MIB DEFINITIONS ::= BEGIN\n"
                   "IMPORTS enterprises FROM SNMPv2-SMI;\n"
                   "base OBJECT IDENTIFIER ::= { enterprises 99999 }\n"
                   "END\n");
        write_file(dir_.file("mid-module.txt"),
                   "MID-MIB DEFINITIONS ::= BEGIN\n"
                   "IMPORTS TEXTUAL-CONVENTION FROM SNMPv2-TC base FROM BASE-MIB;\n"
                   "MidLevel ::= TEXTUAL-CONVENTION STATUS current DESCRIPTION \"level\"\n"
                   "    SYNTAX INTEGER { low(1), high(2) }\n"
                   "mid OBJECT IDENTIFIER ::= { base 1 }\n"
                   "END\n");
        write_file(dir_.file("top.mib"),
                   "TOP-MIB DEFINITIONS ::= BEGIN\n"
                   "IMPORTS OBJECT-TYPE FROM SNMPv2-SMI\n"
                   "        MidLevel, mid FROM MID-MIB;\n"
                   "topLevel OBJECT-TYPE SYNTAX MidLevel MAX-ACCESS read-only STATUS current\n"
                   "    DESCRIPTION \"level\" ::= { mid 1 }\n"
                   "END\n");
        write_file(dir_.file("README"), "Modules for the search path test.\n");
    }
    TempDir dir_;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// A gigabyte file among the modules (sparse: it costs no disk) is passed over unread.
TEST_F(MibdbSearchPathTest, FindsImportedModulesAndCompilesEachAfterWhatItImports) {
    const std::string dir = dir_.path().string();
    const std::string top = dir_.file("top.mib"), mid = dir_.file("mid-module.txt"),
                      base = dir_.file("BASE-MIB.my");
    write_file(dir_.file("huge.mib"), "");
    fs::resize_file(dir_.file("huge.mib"), uint64_t{1} << 30);
    const std::string huge = "mibdb: note: " + dir_.file("huge.mib") +
                             " is larger than any MIB module (1073741824 bytes); not compiled\n";
    const std::string expected =
        "base(99999) .1.3.6.1.4.1.99999\n"
        "  mid(1) .1.3.6.1.4.1.99999.1\n"
        "    topLevel(1) .1.3.6.1.4.1.99999.1.1 INTEGER read-only {low(1) high(2)}\n";
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> env;
        std::string err;
    } cases[] = {
        {{"-M", dir, "TOP-MIB"}, {}, huge},
        {{"-M", dir + "::" + dir, top, mid, base, "TOP-MIB"}, {}, ""},
        {{"TOP-MIB"}, {"ZORVMIBDIRS=" + dir}, huge},
        {{"-M", dir},
         {},
         "mibdb: note: " + dir_.file("README") + " holds no MIB module; not compiled\n" + huge},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"build", "-o", dir_.file("db.bin")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramResult built = mibdb(args, c.env);
        EXPECT_EQ(built.status, 0) << built.err;
        EXPECT_EQ(built.out, "mibdb: wrote 26 nodes to " + dir_.file("db.bin") + " (3 modules)\n");
        EXPECT_EQ(built.err, c.err);
        const ProgramResult listed = mibdb({"list", "-f", dir_.file("db.bin"), "base"});
        EXPECT_EQ(listed.out, expected) << args[4];
        fs::remove(dir_.file("db.bin"));
        fs::remove(dir_.file("db.facts"));
    }
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    if (!kSanitized) {
        EXPECT_LT(usage.ru_maxrss, 20 * 1024);  // kilobytes
    }
    const ProgramResult given = mibdb({"build", "-o", dir_.file("db.bin"), dir_.file("huge.mib")});
    EXPECT_EQ(given.status, 1);
    EXPECT_EQ(given.err.rfind("mibdb: cannot read " + dir_.file("huge.mib") +
                                  ": larger than any MIB module (1073741824 bytes)\n",
                              0),
              0u)
        << given.err;
}

TEST_F(MibdbSearchPathTest, MissingImportNamesBothModulesAndTheLine) {
    write_file(dir_.file("lost.mib"),
               "LOST-MIB DEFINITIONS ::= BEGIN\n"
               "IMPORTS mid FROM MID-MIB\n"
               "        gone FROM NOPE-MIB;\n"
               "lost OBJECT IDENTIFIER ::= { gone 1 }\n"
               "END\n");
    const ProgramResult r =
        mibdb({"build", "-o", dir_.file("db.bin"), "-M", dir_.path().string(), "LOST-MIB"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "mibdb: LOST-MIB imports from NOPE-MIB, which is not on the search path (" +
                         dir_.file("lost.mib") + ", line 3)\n");
    EXPECT_FALSE(fs::exists(dir_.file("db.bin")));
}

TEST_F(MibdbSearchPathTest, ImportCycleIsToldAndCompiledInAStableOrder) {
    write_file(dir_.file("A-MIB"),
               "A-MIB DEFINITIONS ::= BEGIN IMPORTS b FROM B-MIB;\n"
               "a OBJECT IDENTIFIER ::= { b 1 }\nEND\n");
    write_file(dir_.file("B-MIB"),
               "B-MIB DEFINITIONS ::= BEGIN IMPORTS a FROM A-MIB;\n"
               "b OBJECT IDENTIFIER ::= { enterprises 4 }\nEND\n");
    const ProgramResult r =
        mibdb({"build", "-o", dir_.file("db.bin"), "-M", dir_.path().string(), "A-MIB"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "mibdb: warning: the imports of A-MIB, B-MIB form a cycle; they are "
              "compiled in the order B-MIB, A-MIB\n");
}

TEST(MibdbUsageTest, HelpAndMisuse) {
    if (!fs::exists(kMibdb)) GTEST_SKIP() << "mibdb is not built";
    ProgramResult r = mibdb({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: mibdb build -o FILE", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(mibdb({"list", "-h"}).out, r.out);
    const std::string usage = r.out;
    r = mibdb({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, testing::MatchesRegex("mibdb \\(zorv\\) [0-9]+\\.[0-9]+\\.[0-9]+\n"));

    struct Case {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"build"}, "build: no output file given (-o FILE)"},
        {{"build", "-o"}, "option -o needs a value"},
        {{"build", "-x", "-o", "f"}, "build: unknown option -x"},
        {{"build", "-o", "f", "-M", ""}, "build: -M needs a folder"},
        {{"list", "a", "b"}, "list: more than one subtree given"},
        {{"translate"}, "translate: no name or identifier given"},
        {{"events", "--commands", "c", "m.mib"},
         "events: no base class given (--base-class CLASS)"},
        {{"events", "--base-class", "B", "m.mib"},
         "events: no commands file given (--commands FILE)"},
        {{"events", "--base-class", "B", "--commands", "c"}, "events: no MIB module given"},
        {{"events", "--base-class", "B", "--commands", "x", "--rules", "x", "m.mib"},
         "events: x is given for two outputs"},
    };
    for (const Case& c : cases) {
        r = mibdb(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "mibdb: " + c.error + "\n" + usage);
    }
}

TEST(MibdbUsageTest, ClearErrorsForMissingFiles) {
    if (!fs::exists(kMibdb)) GTEST_SKIP() << "mibdb is not built";
    TempDir dir;
    ProgramResult r = mibdb({"list", "-f", dir.file("none")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("mibdb: no MIB database at " + dir.file("none") + ".bin", 0), 0u)
        << r.err;

    write_file(dir.file("junk.bin"), "not a database");
    r = mibdb({"translate", "-f", dir.file("junk.bin"), "system"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a MIB intermediate file"), std::string::npos) << r.err;

    r = mibdb({"build", "-o", dir.file("out.bin"), dir.file("missing.mib")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("mibdb: cannot read " + dir.file("missing.mib") + ": "), std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(dir.file("out.bin")));

    // A FIFO nobody writes to is refused, not waited for.
    ASSERT_EQ(mkfifo(dir.file("fifo.mib").c_str(), 0600), 0);
    r = mibdb({"build", "-o", dir.file("out.bin"), dir.file("fifo.mib")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.err.rfind("mibdb: cannot read " + dir.file("fifo.mib") + ": not a regular file\n", 0), 0u)
        << r.err;
}

// "Bad %1" and the access clause's "Should be %1" once shared a catalogue number, so a translated
// catalogue printed the wrong text at one of the two sites.
TEST(MibdbCatalogueTest, TranslatedCompilerMessagesKeepTheirOwnTexts) {
    if (!fs::exists(kMibdb)) GTEST_SKIP() << "mibdb is not built";
    if (access("/usr/bin/gencat", X_OK) != 0) GTEST_SKIP() << "gencat is not installed";
    TempDir dir;
    write_file(dir.file("zorv.msg"), "$set 16\n21 Schlecht: %1\n25 Sollte %1 sein\n60 %1 fehlt\n");
    const std::string gencat =
        "/usr/bin/gencat " + dir.file("zorv.cat") + " " + dir.file("zorv.msg");
    ASSERT_EQ(std::system(gencat.c_str()), 0);
    const std::vector<std::string> env = {"NLSPATH=" + dir.file("%N.cat")};
    const struct {
        const char* clauses;
        const char* expected;
    } cases[] = {
        {"STATUS current", "ACCESS fehlt(STATUS): On or around line 2"},
        {"UNITS x ACCESS read-only STATUS current",
         "Schlecht: DESCRIPTION(x): On or around line 2"},
        {"ACCESS read-only current", "Sollte STATUS sein(current): On or around line 2"},
    };
    for (const auto& c : cases) {
        write_file(dir.file("t.mib"), std::string("T-MIB DEFINITIONS ::= BEGIN\n"
                                                  "t OBJECT-TYPE SYNTAX INTEGER ") +
                                          c.clauses + " ::= { mgmt 1 }\nEND\n");
        const ProgramResult r = mibdb({"build", "-o", dir.file("t.bin"), dir.file("t.mib")}, env);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.rfind(c.expected, 0), 0u) << r.err;
    }
}
