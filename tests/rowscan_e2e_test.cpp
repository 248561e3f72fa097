// The built rowscan against a simulated router (snmpsimd) and, for what a real agent will not
// do, against the scripted agent of the test suite.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "runtime/snmp/message.h"
#include "tests/support/fake_agent.h"
#include "tests/support/mib_builder.h"
#include "tests/support/snmpsim.h"

using namespace testing_support;

namespace {

const std::string kRowscan = ZORV_BINARY_DIR "/appls/extmgr/ttycmds/rowscan";
const std::string kIfEntry = ".1.3.6.1.2.1.2.2.1";
const std::string kNamedTable = ".1.3.6.1.4.1.99999.2.1.1";
const std::string kSpecialTable = ".1.3.6.1.4.1.99999.3.1.1";
const char* const kVersions[] = {"1", "2c"};

const std::string kUsage =
    "usage: rowscan -table objId -fields fieldList -node nodeName\n"
    "                [-c community] [-d] [-appname applicationName] [-t title]\n\n"
    "                Required Arguments\n"
    "       -table   Object id of the table entry\n"
    "       -fields  Comma separated list of field ids, where\n"
    "                fieldList :: fieldSpec[,fieldSpec]...\n"
    "                fieldSpec :: [label=]fieldId[:width]\n"
    "                fieldId   :: object sub-id of the field\n"
    "                label     :: column label for the field\n"
    "                width     :: column width for the field\n"
    "       -node    Name or IP Address of device to query\n\n"
    "                Optional Arguments\n"
    "       -c       SNMP community name\n"
    "       -d       dump SNMP packets\n"
    "       -appname Unique name of the MIB Application\n"
    "       -title   Title for the MIB Application Window\n";

// One agent and one MIB database for the whole program.
class Agent : public ::testing::Environment {
  public:
    void SetUp() override {
        if (write_standard_mib2_file(mib_.file("std.bin")) != 0) mib_broken = true;
        if (!SnmpSim::available()) return;
        sim = std::make_unique<SnmpSim>(
            std::vector<std::string>{ZORV_SOURCE_DIR "/tests/data/demo/public.snmprec",
                                     ZORV_SOURCE_DIR "/tests/data/e2e/special.snmprec"});
    }
    void TearDown() override { sim.reset(); }
    std::string mib_base() const { return mib_.file("std"); }

    std::unique_ptr<SnmpSim> sim;
    bool mib_broken = false;

  private:
    TempDir mib_;
};

Agent* agent = static_cast<Agent*>(::testing::AddGlobalTestEnvironment(new Agent));

std::string fmt(const char* format, const std::string& text) {
    std::vector<char> out(text.size() + 256);
    std::snprintf(out.data(), out.size(), format, text.c_str());
    return out.data();
}

std::string title_line(const std::string& title, const std::string& node) {
    long pad = 40 - static_cast<long>(node.size() + 1 + title.size()) / 2;
    if (pad < 0) pad = 0;
    return "\n" + std::string(pad, ' ') + title + " " + node + "\n\n";
}

class RowscanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!SnmpSim::available()) GTEST_SKIP() << "snmpsimd is not installed";
        ASSERT_TRUE(agent->sim && agent->sim->running()) << (agent->sim ? agent->sim->log() : "");
        ASSERT_FALSE(agent->mib_broken);
        node = agent->sim->endpoint();
    }

    ProgramResult run(const std::vector<std::string>& args, const char* version = "2c",
                      std::vector<std::string> env = {}) {
        env.push_back(std::string("ZORVSNMP_VERSION=") + version);
        env.push_back("MIBDBV2=" + agent->mib_base());
        return run_program(kRowscan, args, env);
    }

    std::string node;
};

// Messages and usage come before anything is asked of a node.
TEST(RowscanUsageTest, EveryUsageMessageWithItsStatus) {
    const struct {
        std::vector<std::string> args;
        std::string message;
        bool usage;
    } cases[] = {
        {{}, "ERROR: missing required option, -table\n", true},
        {{"-fields", "1", "-node", "n"}, "ERROR: missing required option, -table\n", true},
        {{"-table", "1.3", "-node", "n"}, "ERROR: missing required option, -fields\n", true},
        {{"-table", "1.3", "-fields", "1"}, "ERROR: missing required option, -node\n", true},
        {{"-table", "1.3", "-fields", "1", "-node", "n", "stray"},
         "ERROR: invalid parameter, stray\n",
         true},
        {{"-table", "1.3", "-fields", "1", "-node"},
         "ERROR: invalid or missing argument for option, -node\n",
         true},
        {{"-table", "1.3", "-fields", ",2", "-node", "n"}, "ERROR: invalid field list: ,2\n", true},
        {{"-table", "1.3", "-fields", "2,", "-node", "n"}, "ERROR: invalid field list: 2,\n", true},
        {{"-table", "1.3", "-fields", "2", "-node", "n", "-inst", "1,"},
         "ERROR: invalid object list: 1,\n",
         true},
        // An instance that is no identifier is refused before any request.
        {{"-table", "1.3", "-fields", "2", "-node", "n", "-inst", "1..2"},
         "ERROR: invalid object list: 1..2\n",
         true},
        {{"-table", "1.3", "-fields", "2", "-node", "n", "-inst", "3,99999999999"},
         "Sub-identifier too large: 99999999999\nERROR: invalid object list: 3,99999999999\n",
         true},
        // The table is resolved before the field list is split.
        {{"-table", "noSuchTable", "-fields", ",", "-node", "n"},
         "ERROR: unknown table id: noSuchTable\n",
         false},
        {{"-table", "1.3", "-fields", "1,bogus", "-node", "n"},
         "ERROR: unknown field id: bogus\n",
         false},
        // A wrapper that is not a safe printf format is refused before any output.
        {{"-html", "-htmlFmt", "%d,,,", "-table", "1.3", "-fields", "1", "-node", "n"},
         "ERROR: invalid or missing argument for option, -htmlFmt\n",
         true},
        {{"-html", "-htmlFmt", "<table>%s%s</table>,,,"},
         "ERROR: invalid or missing argument for option, -htmlFmt\n",
         true},
    };
    for (const auto& c : cases) {
        const ProgramResult r = run_program(kRowscan, c.args, {"MIBDBV2=" + agent->mib_base()});
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        EXPECT_EQ(r.status, 1) << joined;
        EXPECT_EQ(r.out, "") << joined;
        EXPECT_EQ(r.err, c.message + (c.usage ? kUsage : "")) << joined;
    }
}

// A name that does not resolve while no database could be loaded: the message, then one line
// that names the file and says why. A damaged file costs its one pause however many names are
// looked up in it.
TEST(RowscanUsageTest, UnresolvedNameSaysWhyNoDatabaseLoaded) {
    TempDir dir;
    const std::string whole = read_file(agent->mib_base() + ".bin");
    write_file(dir.file("damaged.bin"), whole.substr(0, whole.size() / 2));
    ASSERT_EQ(mkfifo(dir.file("fifo.bin").c_str(), 0644), 0);
    std::string twenty_names = "ifIndex";
    for (int i = 1; i < 20; ++i) twenty_names += ",ifDescr";
    const struct {
        std::string base;
        std::string table;
        std::string message;
        std::string reason;
    } cases[] = {
        {dir.file("damaged"), kIfEntry, "ERROR: unknown field id: ifIndex\n",
         "Error reading file " + dir.file("damaged.bin") + ": inconsistent or corrupted data\n"},
        {dir.file("fifo"), "interfaces.ifTable.ifEntry",
         "ERROR: unknown table id: interfaces.ifTable.ifEntry\n",
         "Error accessing " + dir.file("fifo.bin") + ": not a regular file\n"},
        {dir.file("absent"), "interfaces.ifTable.ifEntry",
         "ERROR: unknown table id: interfaces.ifTable.ifEntry\n",
         "Error accessing " + dir.file("absent.bin") + ": No such file or directory\n"},
    };
    for (const auto& c : cases) {
        const ProgramResult r =
            run_program(kRowscan, {"-table", c.table, "-fields", twenty_names, "-node", "n"},
                        {"MIBDBV2=" + c.base});
        EXPECT_EQ(r.status, 1) << c.base;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.message + c.reason);
    }
}

TEST_F(RowscanTest, TextTableWithTypedWidthsAndAlignment) {
    for (const char* version : kVersions) {
        const ProgramResult r =
            run({"-node", node, "-table", kIfEntry, "-fields", "Index=1,Descr=2"}, version);
        ASSERT_EQ(r.status, 0) << version << r.err;
        std::string expected = title_line("User Specified MIB Table for", node);
        expected += fmt("%11.11s", "Index") + "  " + fmt("%-48.48s", "Descr") + "\n";
        const char* names[] = {"lo",   "eth0", "eth1", "eth2", "eth3", "eth4",
                               "eth5", "eth6", "eth7", "ppp0", "tun0", "vlan100"};
        for (int i = 0; i < 12; ++i) {
            expected +=
                fmt("%11.11s", std::to_string(i + 1)) + "\t" + fmt("%-48.48s", names[i]) + "\n";
        }
        EXPECT_EQ(r.out, expected) << version;
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(RowscanTest, GivenWidthsLabelsAndNamedColumns) {
    // Speed: max(12, 5) right-aligned; ifDescr resolved by name under the numeric table.
    const ProgramResult r =
        run({"-node", node, "-c", "public", "-t", "Links", "-appname", "x y", "-table", kIfEntry,
             "-fields", "Speed=5:12,ifDescr:4", "-inst", "2,10"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, title_line("Links", node) + fmt("%12.12s", "Speed") + "  " +
                         fmt("%-7.7s", "ifDescr") + "\n" + fmt("%12.12s", "1000000000") + "\t" +
                         fmt("%-7.7s", "eth0") + "\n" + fmt("%12.12s", "2048000") + "\t" +
                         fmt("%-7.7s", "ppp0") + "\n");
}

TEST_F(RowscanTest, TitleCentring) {
    // Node and title of 77 characters give one space of padding; 79 and more give none.
    for (const size_t total : {77u, 78u, 79u, 90u}) {
        const std::string title(total - node.size(), 'T');
        const ProgramResult r =
            run({"-node", node, "-title", title, "-table", kIfEntry, "-fields", "1", "-inst", "1"});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string pad = total <= 78 ? " " : "";
        EXPECT_EQ(r.out.substr(0, r.out.find(node) + node.size() + 2),
                  "\n" + pad + title + " " + node + "\n\n")
            << total;
    }
}

TEST_F(RowscanTest, HolesCleaningAndMultilineValues) {
    for (const char* version : kVersions) {
        const ProgramResult r = run({"-node", node, "-c", "special", "-table", kSpecialTable,
                                     "-fields", "1,Text=2,Count=3:6"},
                                    version);
        ASSERT_EQ(r.status, 0) << version << r.err;
        auto line = [](const std::string& a, const std::string& b, const std::string& c) {
            return fmt("%-40.40s", a) + "\t" + fmt("%-40.40s", b) + "\t" + fmt("%-6.6s", c) + "\n";
        };
        std::string expected = title_line("User Specified MIB Table for", node);
        expected += fmt("%-40.40s", "1") + "  " + fmt("%-40.40s", "Text") + "  " +
                    fmt("%-6.6s", "Count") + "\n";
        expected += line("1", "plain", "100");
        expected += line("2", "tab here", "<NO VALUE>");
        expected += line("3", "two\nlines", "300");
        expected += line("4", "it's a \\ <b>&amp; \"q\"", "400");
        expected += line("5", "last", "500");
        EXPECT_EQ(r.out, expected) << version;
    }
}

TEST_F(RowscanTest, ScriptEscaping) {
    const ProgramResult r = run({"-node", node, "-c", "special", "-js", "-table", kSpecialTable,
                                 "-fields", "T=2:30", "-inst", "3,4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, title_line("User Specified MIB Table for", node) + fmt("%-30.30s", "T") +
                         "\n" + fmt("%-30.30s", "two<br>\\\nlines") + "\n" +
                         fmt("%-30.30s", "it\\'s a \\\\ <b>&amp; \"q\"") + "\n");
}

TEST_F(RowscanTest, HtmlWithTheDefaultWrappers) {
    for (const char* version : kVersions) {
        const ProgramResult r = run({"-node", node, "-html", "-table", kIfEntry, "-fields",
                                     "Index=1,Descr=2", "-inst", "1,3"},
                                    version);
        ASSERT_EQ(r.status, 0) << version << r.err;
        EXPECT_EQ(r.out,
                  "<TH NOWRAP>Index</TH><TH NOWRAP>Descr</TH></TR>"
                  "<TR><TD NOWRAP>1</TD><TD NOWRAP>lo</TD></TR>"
                  "<TR><TD NOWRAP>3</TD><TD NOWRAP>eth1</TD></TR></TABLE>")
            << version;
    }
}

TEST_F(RowscanTest, HtmlWithCustomWrappersEscapesAgentTextAndLabels) {
    const ProgramResult r =
        run({"-node", node, "-c", "special", "-html", "-htmlFmt",
             "<table>%s</table>,<tr>%s</tr>\n,<th>%s</th>,<td>%s</td>", "-table", kSpecialTable,
             "-fields", "a<b=1,Text=2", "-inst", "1,4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "<th>a&lt;b</th><th>Text</th></tr>\n"
              "<tr><td>1</td><td>plain</td></tr>\n"
              "<tr><td>4</td><td>it&#39;s a \\ &lt;b&gt;&amp;amp; &quot;q&quot;</td></tr>\n"
              "</table>");
    // With "-js" as well the backslash and the line break are escaped for a script string.
    const ProgramResult js =
        run({"-node", node, "-c", "special", "-html", "-js", "-htmlFmt", ",,,[%s]", "-table",
             kSpecialTable, "-fields", "2", "-inst", "3,4"});
    ASSERT_EQ(js.status, 0) << js.err;
    EXPECT_EQ(js.out, "2[two<br>\\\nlines][it&#39;s a \\\\ &lt;b&gt;&amp;amp; &quot;q&quot;]");
    // "-htmlFmt" without "-html" changes nothing.
    const ProgramResult text = run(
        {"-node", node, "-htmlFmt", "%d", "-table", kIfEntry, "-fields", "Index=1", "-inst", "1"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, title_line("User Specified MIB Table for", node) + fmt("%11.11s", "Index") +
                            "\n" + fmt("%11.11s", "1") + "\n");
}

TEST_F(RowscanTest, HtmlHoleAndPacketDump) {
    for (const char* version : kVersions) {
        const ProgramResult r = run({"-node", node, "-c", "special", "-html", "-d", "-table",
                                     kSpecialTable, "-fields", "1,3", "-inst", "2"},
                                    version);
        ASSERT_EQ(r.status, 0) << version << r.err;
        EXPECT_EQ(r.out,
                  "<TH NOWRAP>1</TH><TH NOWRAP>3</TH></TR>"
                  "<TR><TD NOWRAP>2</TD><TD NOWRAP>&lt;NO VALUE&gt;</TD></TR></TABLE>");
        // "-d" dumps the datagrams on standard error and changes nothing else.
        EXPECT_NE(r.err.find(node), std::string::npos) << r.err;
    }
}

TEST_F(RowscanTest, InstanceModePresentAndMissing) {
    for (const char* version : kVersions) {
        const ProgramResult some = run(
            {"-node", node, "-table", kIfEntry, "-fields", "Index=1", "-inst", "2,99,12"}, version);
        EXPECT_EQ(some.status, 0) << version << some.err;
        EXPECT_EQ(some.out, title_line("User Specified MIB Table for", node) +
                                fmt("%11.11s", "Index") + "\n" + fmt("%11.11s", "2") + "\n" +
                                fmt("%11.11s", "12") + "\n");

        const ProgramResult none = run(
            {"-node", node, "-table", kIfEntry, "-fields", "Index=1", "-inst", "99,98"}, version);
        EXPECT_EQ(none.status, 1) << version;
        EXPECT_EQ(none.out, title_line("User Specified MIB Table for", node) +
                                fmt("%11.11s", "Index") + "\n");
        EXPECT_EQ(none.err, "rowscan: requested table was empty or incomplete\n");
    }
}

TEST_F(RowscanTest, StringInstancesAreEncodedAsUnsignedBytes) {
    for (const char* version : kVersions) {
        const ProgramResult r = run({"-node", node, "-table", kNamedTable, "-fields",
                                     "Status=2,Address=4", "-inst", "eth1,caf\xe9"},
                                    version);
        ASSERT_EQ(r.status, 0) << version << r.err;
        const std::string rows = r.out.substr(r.out.find("Address"));
        EXPECT_NE(rows.find("10.0.4.1"), std::string::npos) << rows;
        EXPECT_NE(rows.find("10.0.6.1"), std::string::npos) << rows;
        EXPECT_EQ(rows.find("10.0.3.1"), std::string::npos) << rows;
    }
}

TEST_F(RowscanTest, PrefixModeShowsOnlyMatchingRows) {
    const struct {
        const char* instances;
        std::vector<std::string> addresses;
    } cases[] = {
        {"eth*", {"10.0.3.1", "10.0.4.1"}},
        {"eth1,e*", {"10.0.4.1", "10.0.2.1", "10.0.3.1"}},
        {"zz*", {}},
        {"*", {"10.0.6.1", "10.0.1.1", "10.0.2.1", "10.0.3.1", "10.0.4.1", "10.0.5.1"}},
    };
    for (const char* version : kVersions) {
        for (const auto& c : cases) {
            const ProgramResult r = run({"-node", node, "-table", kNamedTable, "-fields",
                                         "Status=2:6,Address=4", "-inst", c.instances},
                                        version);
            // Rows outside every prefix are still counted: the table had rows.
            ASSERT_EQ(r.status, 0) << c.instances << r.err;
            std::string expected = title_line("User Specified MIB Table for", node) +
                                   fmt("%-6.6s", "Status") + "  " + fmt("%-40.40s", "Address") +
                                   "\n";
            std::string rows;
            for (const auto& address : c.addresses) {
                const std::string status =
                    address == "10.0.3.1" || address == "10.0.6.1" ? "2" : "1";
                rows += fmt("%-6.6s", status) + "  " + fmt("%-40.40s", address) + "\n";
            }
            // Rows come in table order, whichever prefix they matched.
            if (std::string(c.instances) == "eth1,e*") {
                rows = fmt("%-6.6s", "1") + "  " + fmt("%-40.40s", "10.0.2.1") + "\n" +
                       fmt("%-6.6s", "2") + "  " + fmt("%-40.40s", "10.0.3.1") + "\n" +
                       fmt("%-6.6s", "1") + "  " + fmt("%-40.40s", "10.0.4.1") + "\n";
            }
            EXPECT_EQ(r.out, expected + rows) << version << " " << c.instances;
        }
    }
}

TEST_F(RowscanTest, ManyPrefixes) {
    std::string instances;
    for (int k = 0; k < 40; ++k) instances += "x" + std::to_string(k) + "*,";
    instances += "eth1*";
    const ProgramResult r =
        run({"-node", node, "-table", kNamedTable, "-fields", "A=4:8", "-inst", instances});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, title_line("User Specified MIB Table for", node) + "A       \n10.0.4.1\n");
}

TEST_F(RowscanTest, EmptyTable) {
    const ProgramResult r =
        run({"-node", node, "-table", ".1.3.6.1.4.1.99999.8.1", "-fields", "L=1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "No table information returned from: " + node);
}

TEST_F(RowscanTest, UnreachableNode) {
    const std::string dead = "127.0.0.1:" + std::to_string(SnmpSim::silent_udp_port());
    const std::vector<std::string> env = {"ZORVSNMP_TIMEOUT_MS=100", "ZORVSNMP_RETRIES=0"};
    for (const char* version : kVersions) {
        const ProgramResult table =
            run({"-node", dead, "-table", kIfEntry, "-fields", "Index=1"}, version, env);
        EXPECT_EQ(table.status, 1);
        EXPECT_EQ(table.out, title_line("User Specified MIB Table for", dead) +
                                 fmt("%11.11s", "Index") + "\n");
        EXPECT_EQ(table.err.rfind("rowscan: could not get SNMP table: ", 0), 0u) << table.err;
        EXPECT_NE(table.err.back(), '\n');

        const ProgramResult entry =
            run({"-node", dead, "-table", kIfEntry, "-fields", "Index=1", "-inst", "1,2"}, version,
                env);
        EXPECT_EQ(entry.status, 1);
        EXPECT_EQ(entry.err.rfind("Cannot get SNMP table\n", 0), 0u) << entry.err;
        EXPECT_EQ(entry.err.back(), '\n');
    }
}

// An agent that refuses GetBulk but answers GetNext: the whole-table request fails and the
// program walks the table itself, column by column.
TEST(RowscanWalkTest, FallbackWalkOfATableWithALongIdentifier) {
    // 80 sub-identifiers: longer than any fixed request buffer would hold.
    std::vector<uint32_t> entry = {1, 3, 6, 1, 4, 1, 99999};
    while (entry.size() < 80) entry.push_back(static_cast<uint32_t>(entry.size()));
    std::string table_text;
    for (const uint32_t id : entry) table_text += "." + std::to_string(id);
    FakeMib mib;
    for (uint32_t i = 1; i <= 2; ++i) {
        auto name = entry;
        name.push_back(1);
        name.push_back(i);
        mib.add(integer(name, static_cast<int32_t>(i)));
    }
    const FakeHandler answer = serve(mib);
    FakeAgent agent([&](const snmp::Message& request, int number) {
        if (request.pdu_type == 0xA5) {
            FakeAnswer refused;
            refused.error_status = 5;
            refused.error_index = 1;
            return FakeReply{{}, {encode_response(request, refused)}};
        }
        return answer(request, number);
    });
    const ProgramResult r =
        run_program(kRowscan, {"-node", agent.endpoint(), "-table", table_text, "-fields", "N=1:2"},
                    {"ZORVSNMP_VERSION=2c", "ZORVSNMP_TIMEOUT_MS=300", "ZORVSNMP_RETRIES=0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(r.out.find("N \n") + 3), "1 \n2 \n");
}

TEST(RowscanWalkTest, FallbackWalkWithAShorterColumnAndAStuckAgent) {
    FakeMib mib;
    const std::vector<uint32_t> entry = {1, 3, 6, 1, 4, 1, 99999, 5, 1, 1};
    for (uint32_t i = 1; i <= 3; ++i) {
        auto name = entry;
        name.push_back(1);
        name.push_back(i);
        mib.add(integer(name, static_cast<int32_t>(i * 10)));
        if (i <= 2) {
            name[entry.size()] = 2;
            mib.add(octets(name, "row" + std::to_string(i)));
        }
    }
    const FakeHandler answer = serve(mib);
    FakeAgent agent([&](const snmp::Message& request, int number) {
        if (request.pdu_type == 0xA5 || (request.version == 0 && number == 0)) {
            FakeAnswer refused;
            refused.error_status = 5;
            refused.error_index = 1;
            return FakeReply{{}, {encode_response(request, refused)}};
        }
        return answer(request, number);
    });
    for (const char* version : kVersions) {
        const ProgramResult r = run_program(kRowscan,
                                            {"-node", agent.endpoint(), "-table",
                                             ".1.3.6.1.4.1.99999.5.1.1", "-fields", "N=1:3,S=2:10"},
                                            {std::string("ZORVSNMP_VERSION=") + version,
                                             "ZORVSNMP_TIMEOUT_MS=300", "ZORVSNMP_RETRIES=0"});
        ASSERT_EQ(r.status, 0) << version << r.err;
        const std::string rows = r.out.substr(r.out.find("S         \n") + 11);
        EXPECT_EQ(rows, "10 \trow1      \n20 \trow2      \n30 \t<NO VALUE>\n") << version;
    }

    // An agent whose GetNext does not move forward ends the walk instead of looping.
    FakeAgent stuck([&](const snmp::Message& request, int) {
        if (request.pdu_type == 0xA5) {
            FakeAnswer refused;
            refused.error_status = 5;
            refused.error_index = 1;
            return FakeReply{{}, {encode_response(request, refused)}};
        }
        FakeAnswer same;
        auto name = entry;
        name.push_back(1);
        name.push_back(1);
        same.bindings.push_back(integer(name, 7));
        return FakeReply{{}, {encode_response(request, same)}};
    });
    const ProgramResult r = run_program(
        kRowscan,
        {"-node", stuck.endpoint(), "-table", ".1.3.6.1.4.1.99999.5.1.1", "-fields", "N=1:3"},
        {"ZORVSNMP_VERSION=2c", "ZORVSNMP_TIMEOUT_MS=300", "ZORVSNMP_RETRIES=0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(r.out.find("N  \n") + 4), "7  \n");
}

}  // namespace
