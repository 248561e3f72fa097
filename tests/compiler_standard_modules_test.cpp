// Our standard definitions text followed by IANAifType-MIB, RFC1213-MIB, IF-MIB and SNMPv2-MIB as
// the net-snmp package ships them, compiled in one stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "mib/compiler/compiler_internal.h"
#include "mib/mib_file.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::read_file;

const char* const kModules[] = {"IANAifType-MIB", "RFC1213-MIB", "IF-MIB", "SNMPv2-MIB"};

// The folder of the standard modules in the build, fetched when missing; empty when they cannot
// be had.
std::string modules_dir() {
    const std::string dir = ZORV_STANDARD_MIBS_DIR;
    if (!fs::exists(dir + "/IF-MIB.mib")) {
        const std::string fetch = std::string(ZORV_SOURCE_DIR) + "/scripts/fetch-standard-mibs '" +
                                  dir + "' >/dev/null 2>&1";
        if (std::system(fetch.c_str()) != 0) return "";
    }
    return fs::exists(dir + "/IF-MIB.mib") ? dir : "";
}

#define REQUIRE_MODULES(dir)                                                                   \
    const std::string dir = modules_dir();                                                     \
    if (dir.empty())                                                                           \
    GTEST_SKIP() << "the standard modules are not here and scripts/fetch-standard-mibs could " \
                    "not fetch them from the npm registry"

std::string prefix_text() {
    return read_file(std::string(ZORV_SOURCE_DIR) + "/mibs/snmpv2mib.txt");
}

int count_lines(const std::string& text) {
    int lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

struct Compiled {
    MibNode* tree = nullptr;
    std::string messages;
    std::string warnings;
    Compiled() = default;
    Compiled(const Compiled&) = delete;
    ~Compiled() { release_mib_tree(tree); }
};

// Compiles the prefix followed by `modules`.
void compile_after_prefix(const std::string& modules, Compiled& out) {
    const std::string prefix = prefix_text();
    std::string text = prefix + modules;
    FILE* stream = fmemopen(text.data(), text.size(), "r");
    clear_compile_messages();
    set_prefix_line_count(count_lines(prefix));
    testing_support::StderrCapture capture;
    ParseNode* list = parse_mib_stream(stream);
    if (list) out.tree = link_parse_nodes(list);
    out.warnings = capture.finish();
    out.messages = compile_messages();
    set_prefix_line_count(0);
    std::fclose(stream);
}

// Compiles the prefix followed by the first `count` standard modules.
void compile_standard(const std::string& dir, int count, Compiled& out) {
    std::string text;
    for (int i = 0; i < count; ++i) text += read_file(dir + "/" + kModules[i] + ".mib") + "\n";
    compile_after_prefix(text, out);
}

int count_nodes(const MibNode* node) {
    int count = 0;
    std::vector<const MibNode*> pending{node};
    while (!pending.empty()) {
        const MibNode* n = pending.back();
        pending.pop_back();
        for (; n; n = n->peer) {
            ++count;
            if (n->child) pending.push_back(n->child);
        }
    }
    return count;
}

const MibNode* find_label(const MibNode* node, const std::string& label) {
    std::vector<const MibNode*> pending{node};
    while (!pending.empty()) {
        const MibNode* n = pending.back();
        pending.pop_back();
        for (; n; n = n->peer) {
            if (label == n->label) return n;
            if (n->child) pending.push_back(n->child);
        }
    }
    return nullptr;
}

std::string oid_of(const MibNode* tree, const std::string& label) {
    char text[kOidTextSize] = "";
    oid_text_of_label(tree, tree, label.c_str(), text);
    return text;
}

std::string enum_text(const EnumEntry* entry) {
    std::string out;
    for (; entry; entry = entry->next) {
        out += std::string(entry->label) + "(" + std::to_string(entry->value) + ") ";
    }
    return out;
}

// A plain reading of module text for the test's own expectations: words and punctuation, with
// comments and quoted texts left out.
std::vector<std::string> words_of(const std::string& text) {
    std::vector<std::string> out;
    std::string word;
    auto flush = [&] {
        if (!word.empty()) out.push_back(word);
        word.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            flush();
            i = text.find('"', i + 1);
            if (i == std::string::npos) break;
        } else if (c == '-' && word.empty() && i + 1 < text.size() && text[i + 1] == '-') {
            i = text.find('\n', i);
            if (i == std::string::npos) break;
        } else if (std::strchr("{}(),;", c)) {
            flush();
            out.push_back(std::string(1, c));
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            flush();
        } else {
            word.push_back(c);
        }
    }
    flush();
    return out;
}

// The "name(number)" entries of a braced list starting at words[i] == "{".
std::string enums_at(const std::vector<std::string>& words, size_t i) {
    std::string out;
    for (++i; i + 3 < words.size() && words[i] != "}"; ++i) {
        if (words[i] == ",") continue;
        out += words[i] + "(" + words[i + 2] + ") ";
        i += 3;
    }
    return out;
}

struct Expected {
    std::string module;
    std::string name;
    std::string parent;
    uint32_t subid;
    int32_t type;
    int32_t access;
    std::string enums;
};

int32_t expected_type(const std::string& syntax) {
    static const std::map<std::string, int32_t> types = {
        {"INTEGER", 3},        {"Integer32", 3},
        {"OCTET", 2},          {"OBJECT", 1},
        {"DisplayString", 2},  {"PhysAddress", 2},
        {"OwnerString", 2},    {"Counter32", 18},
        {"Gauge32", 19},       {"Counter64", 11},
        {"Counter", 6},        {"Gauge", 7},
        {"TimeTicks", 8},      {"TimeStamp", 8},
        {"IpAddress", 5},      {"NetworkAddress", 5},
        {"SEQUENCE", 0},       {"TruthValue", 3},
        {"RowStatus", 3},      {"TestAndIncr", 3},
        {"InterfaceIndex", 3}, {"InterfaceIndexOrZero", 3},
        {"IANAifType", 3},     {"AutonomousType", 1},
        {"Unsigned32", 19},
    };
    const auto found = types.find(syntax);
    if (found != types.end()) return found->second;
    return syntax.size() > 5 && syntax.substr(syntax.size() - 5) == "Entry" ? 0 : -1;
}

int32_t expected_access(const std::string& word) {
    static const std::map<std::string, int32_t> codes = {
        {"read-only", 0},   {"read-write", 1},     {"write-only", 2},
        {"read-create", 3}, {"not-accessible", 4}, {"accessible-for-notify", 4}};
    const auto found = codes.find(word);
    return found == codes.end() ? -1 : found->second;
}

// Every OBJECT-TYPE of the modules, a later module's definition of the same node replacing an
// earlier one (the linker keeps the later record of two equal definitions).
std::map<std::string, Expected> expected_objects(const std::string& dir) {
    const std::string iana = read_file(dir + "/IANAifType-MIB.mib");
    const std::vector<std::string> iana_words = words_of(iana);
    std::map<std::string, std::string> convention_enums = {
        {"TruthValue", "true(1) false(2) "},
        {"RowStatus",
         "active(1) notInService(2) notReady(3) createAndGo(4) createAndWait(5) destroy(6) "}};
    for (size_t i = 0; i + 4 < iana_words.size(); ++i) {
        if (iana_words[i] == "IANAifType" && iana_words[i + 1] == "::=") {
            size_t j = i;
            while (iana_words[j] != "SYNTAX") ++j;
            convention_enums["IANAifType"] = enums_at(iana_words, j + 2);
        }
    }
    std::map<std::string, Expected> out;
    for (const char* module : {"RFC1213-MIB", "IF-MIB", "SNMPv2-MIB"}) {
        const std::vector<std::string> w = words_of(read_file(dir + "/" + module + ".mib"));
        for (size_t i = 1; i + 1 < w.size(); ++i) {
            if (w[i] != "OBJECT-TYPE" || w[i + 1] != "SYNTAX") continue;
            Expected e;
            e.module = module;
            e.name = w[i - 1];
            size_t j = i + 2;
            const std::string syntax = w[j];
            e.type = expected_type(syntax);
            if (syntax == "INTEGER" && w[j + 1] == "{") e.enums = enums_at(w, j + 1);
            if (convention_enums.count(syntax)) e.enums = convention_enums[syntax];
            while (w[j] != "ACCESS" && w[j] != "MAX-ACCESS") ++j;
            e.access = expected_access(w[j + 1]);
            while (w[j] != "::=") ++j;
            e.parent = w[j + 2];
            e.subid = static_cast<uint32_t>(std::stoul(w[j + 3]));
            out[e.parent + "." + e.name] = e;
        }
    }
    return out;
}

TEST(CompilerStandardModules, MessagesCountLinesFromTheUserModuleAfterThePrefix) {
    const std::string prefix = prefix_text();
    std::string text = prefix + "USER-MIB DEFINITIONS ::= BEGIN\nx OBJECT-TYPE ACCESS\nEND\n";
    FILE* stream = fmemopen(text.data(), text.size(), "r");
    clear_compile_messages();
    set_prefix_line_count(count_lines(prefix));
    EXPECT_EQ(parse_mib_stream(stream), nullptr);
    std::fclose(stream);
    EXPECT_STREQ(
        compile_messages(),
        "Bad format for OBJECT TYPE(ACCESS): On or around line 2\nBad parse of: OBJECT-TYPE: On "
        "or around line 2\n");
    // An error inside the prefix text names it.
    std::string broken = prefix;
    broken.insert(broken.find("END\n"), "Broken ::= Nowhere\n");
    stream = fmemopen(broken.data(), broken.size(), "r");
    clear_compile_messages();
    set_prefix_line_count(count_lines(broken));
    EXPECT_EQ(parse_mib_stream(stream), nullptr);
    std::fclose(stream);
    const std::string expected =
        "Textual convention doesn't map to real type(Nowhere): On or around line " +
        std::to_string(count_lines(prefix)) + " of the snmpv2mib file.\n";
    EXPECT_EQ(std::string(compile_messages()).substr(0, expected.size()), expected);
    set_prefix_line_count(0);
}

TEST(CompilerStandardModules, CompileInOneStreamWithoutMessagesOrLeftOvers) {
    REQUIRE_MODULES(dir);
    Compiled compiled;
    compile_standard(dir, 4, compiled);
    ASSERT_NE(compiled.tree, nullptr) << compiled.messages;
    EXPECT_EQ(compiled.messages, "");
    EXPECT_EQ(compiled.warnings, "");
}

TEST(CompilerStandardModules, EveryObjectTypeLandsWithItsTypeAccessAndEnumerations) {
    REQUIRE_MODULES(dir);
    Compiled compiled;
    compile_standard(dir, 4, compiled);
    ASSERT_NE(compiled.tree, nullptr) << compiled.messages;
    const auto objects = expected_objects(dir);
    std::map<std::string, int> per_module;
    for (const auto& [key, e] : objects) {
        ASSERT_NE(e.type, -1) << e.name;
        ASSERT_NE(e.access, -1) << e.name;
        const MibNode* parent = find_label(compiled.tree, e.parent);
        ASSERT_NE(parent, nullptr) << e.parent;
        const MibNode* node = nullptr;
        for (const MibNode* c = parent->child; c; c = c->peer) {
            if (e.name == c->label) node = c;
        }
        ASSERT_NE(node, nullptr) << e.name;
        EXPECT_EQ(node->subid, e.subid) << e.name;
        EXPECT_EQ(node->type, e.type) << e.name;
        EXPECT_EQ(node->access, e.access) << e.name;
        EXPECT_EQ(enum_text(node->enums), e.enums) << e.name;
        ++per_module[e.module];
    }
    // The objects each module is last to define.
    EXPECT_EQ(per_module["RFC1213-MIB"], 130);
    EXPECT_EQ(per_module["IF-MIB"], 66);
    EXPECT_EQ(per_module["SNMPv2-MIB"], 47);
}

TEST(CompilerStandardModules, SpotChecks) {
    REQUIRE_MODULES(dir);
    Compiled compiled;
    compile_standard(dir, 4, compiled);
    ASSERT_NE(compiled.tree, nullptr) << compiled.messages;
    const struct {
        const char* label;
        const char* oid;
        int32_t type;
        int32_t access;
        const char* enums;  // null: not checked
    } cases[] = {
        {"sysDescr", "1.3.6.1.2.1.1.1", 2, 0, ""},
        {"sysObjectID", "1.3.6.1.2.1.1.2", 1, 0, ""},
        {"sysUpTime", "1.3.6.1.2.1.1.3", 8, 0, ""},
        {"sysContact", "1.3.6.1.2.1.1.4", 2, 1, ""},
        {"sysName", "1.3.6.1.2.1.1.5", 2, 1, ""},
        {"sysLocation", "1.3.6.1.2.1.1.6", 2, 1, ""},
        {"sysServices", "1.3.6.1.2.1.1.7", 3, 0, ""},
        {"sysORLastChange", "1.3.6.1.2.1.1.8", 8, 0, ""},
        {"sysORTable", "1.3.6.1.2.1.1.9", 0, 4, ""},
        {"sysOREntry", "1.3.6.1.2.1.1.9.1", 0, 4, ""},
        {"sysORIndex", "1.3.6.1.2.1.1.9.1.1", 3, 4, ""},
        {"sysORID", "1.3.6.1.2.1.1.9.1.2", 1, 0, ""},
        {"sysORUpTime", "1.3.6.1.2.1.1.9.1.4", 8, 0, ""},
        {"ifNumber", "1.3.6.1.2.1.2.1", 3, 0, ""},
        {"ifTable", "1.3.6.1.2.1.2.2", 0, 4, ""},
        {"ifEntry", "1.3.6.1.2.1.2.2.1", 0, 4, ""},
        {"ifIndex", "1.3.6.1.2.1.2.2.1.1", 3, 0, ""},
        {"ifDescr", "1.3.6.1.2.1.2.2.1.2", 2, 0, ""},
        {"ifType", "1.3.6.1.2.1.2.2.1.3", 3, 0, nullptr},
        {"ifMtu", "1.3.6.1.2.1.2.2.1.4", 3, 0, ""},
        {"ifSpeed", "1.3.6.1.2.1.2.2.1.5", 19, 0, ""},
        {"ifPhysAddress", "1.3.6.1.2.1.2.2.1.6", 2, 0, ""},
        {"ifAdminStatus", "1.3.6.1.2.1.2.2.1.7", 3, 1, "up(1) down(2) testing(3) "},
        {"ifOperStatus", "1.3.6.1.2.1.2.2.1.8", 3, 0,
         "up(1) down(2) testing(3) unknown(4) dormant(5) notPresent(6) lowerLayerDown(7) "},
        {"ifLastChange", "1.3.6.1.2.1.2.2.1.9", 8, 0, ""},
        {"ifInOctets", "1.3.6.1.2.1.2.2.1.10", 18, 0, ""},
        {"ifOutQLen", "1.3.6.1.2.1.2.2.1.21", 19, 0, ""},
        {"ifSpecific", "1.3.6.1.2.1.2.2.1.22", 1, 0, ""},
        {"ifXTable", "1.3.6.1.2.1.31.1.1", 0, 4, ""},
        {"ifName", "1.3.6.1.2.1.31.1.1.1.1", 2, 0, ""},
        {"ifHCInOctets", "1.3.6.1.2.1.31.1.1.1.6", 11, 0, ""},
        {"ifHighSpeed", "1.3.6.1.2.1.31.1.1.1.15", 19, 0, ""},
        {"ifPromiscuousMode", "1.3.6.1.2.1.31.1.1.1.16", 3, 1, "true(1) false(2) "},
        {"ifAlias", "1.3.6.1.2.1.31.1.1.1.18", 2, 1, ""},
        {"ifCounterDiscontinuityTime", "1.3.6.1.2.1.31.1.1.1.19", 8, 0, ""},
        {"ifStackStatus", "1.3.6.1.2.1.31.1.2.1.3", 3, 3,
         "active(1) notInService(2) notReady(3) createAndGo(4) createAndWait(5) destroy(6) "},
        {"ifTestId", "1.3.6.1.2.1.31.1.3.1.1", 3, 1, ""},
        {"ifTestType", "1.3.6.1.2.1.31.1.3.1.3", 1, 1, ""},
        {"ifRcvAddressType", "1.3.6.1.2.1.31.1.4.1.3", 3, 3,
         "other(1) volatile(2) nonVolatile(3) "},
        {"ifTableLastChange", "1.3.6.1.2.1.31.1.5", 8, 0, ""},
        {"ifCompliance3", "1.3.6.1.2.1.31.2.2.3", 0, 0, ""},
        {"linkDown", "1.3.6.1.6.3.1.1.5.3", 0, 0, ""},
        {"linkUp", "1.3.6.1.6.3.1.1.5.4", 0, 0, ""},
        {"coldStart", "1.3.6.1.6.3.1.1.5.1", 0, 0, ""},
        {"snmpTrapOID", "1.3.6.1.6.3.1.1.4.1", 1, 4, ""},
        {"snmpSetSerialNo", "1.3.6.1.6.3.1.1.6.1", 3, 1, ""},
        {"snmpInPkts", "1.3.6.1.2.1.11.1", 18, 0, ""},
        {"snmpEnableAuthenTraps", "1.3.6.1.2.1.11.30", 3, 1, "enabled(1) disabled(2) "},
        {"atPhysAddress", "1.3.6.1.2.1.3.1.1.2", 2, 1, ""},
        {"ipForwarding", "1.3.6.1.2.1.4.1", 3, 1, "forwarding(1) not-forwarding(2) "},
        {"ipAdEntAddr", "1.3.6.1.2.1.4.20.1.1", 5, 0, ""},
        {"ipRouteDest", "1.3.6.1.2.1.4.21.1.1", 5, 1, ""},
        {"icmpInMsgs", "1.3.6.1.2.1.5.1", 6, 0, ""},
        {"tcpMaxConn", "1.3.6.1.2.1.6.4", 3, 0, ""},
        {"udpLocalAddress", "1.3.6.1.2.1.7.5.1.1", 5, 0, ""},
        {"egpNeighState", "1.3.6.1.2.1.8.5.1.1", 3, 0, nullptr},
        {"ianaifType", "1.3.6.1.2.1.30", 0, 0, ""},
        {"ifMIB", "1.3.6.1.2.1.31", 0, 0, ""},
        {"snmpMIB", "1.3.6.1.6.3.1", 0, 0, ""},
        {"transmission", "1.3.6.1.2.1.10", 0, 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(oid_of(compiled.tree, c.label), c.oid) << c.label;
        const MibNode* node = find_label(compiled.tree, c.label);
        ASSERT_NE(node, nullptr) << c.label;
        EXPECT_EQ(node->type, c.type) << c.label;
        EXPECT_EQ(node->access, c.access) << c.label;
        if (c.enums) {
            EXPECT_EQ(enum_text(node->enums), c.enums) << c.label;
        }
    }
    const MibNode* if_type = find_label(compiled.tree, "ifType");
    const std::string if_types = enum_text(if_type->enums);
    EXPECT_EQ(if_types.substr(0, 35), "other(1) regular1822(2) hdh1822(3) ");
    EXPECT_NE(if_types.find(" ethernetCsmacd(6) "), std::string::npos);
    EXPECT_NE(if_types.find(" ieee80211(71) "), std::string::npos);
    int count = 0;
    for (const EnumEntry* e = if_type->enums; e; e = e->next) ++count;
    EXPECT_GT(count, 250);
    const MibNode* descr = find_label(compiled.tree, "sysDescr");
    ASSERT_NE(descr->description, nullptr);
    EXPECT_EQ(std::string(descr->description).substr(0, 24), "A textual description of");
}

TEST(CompilerStandardModules, NodeCountsPerModule) {
    REQUIRE_MODULES(dir);
    int counts[5];
    for (int modules = 0; modules <= 4; ++modules) {
        Compiled compiled;
        compile_standard(dir, modules, compiled);
        ASSERT_NE(compiled.tree, nullptr) << modules;
        counts[modules] = count_nodes(compiled.tree);
    }
    // The prefix, then the nodes each module adds in stream order (IF-MIB's two notifications
    // wait under snmpTraps until SNMPv2-MIB defines it).
    EXPECT_EQ(counts[0], 23);
    EXPECT_EQ(counts[1] - counts[0], 1);
    EXPECT_EQ(counts[2] - counts[1], 199);
    EXPECT_EQ(counts[3] - counts[2], 63);
    EXPECT_EQ(counts[4] - counts[3], 35);
    std::printf(
        "nodes: prefix %d, IANAifType-MIB +%d, RFC1213-MIB +%d, IF-MIB +%d, SNMPv2-MIB +%d, total "
        "%d\n",
        counts[0], counts[1] - counts[0], counts[2] - counts[1], counts[3] - counts[2],
        counts[4] - counts[3], counts[4]);
}

TEST(CompilerStandardModules, IdentifiersAgreeWithSmidump) {
    REQUIRE_MODULES(dir);
    if (std::system("command -v smidump >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "smidump (Debian smitools) is not installed";
    }
    testing_support::TempDir temp;
    const std::string out = temp.file("identifiers.txt");
    std::string command = "cd '" + dir + "' && SMIPATH=. smidump -k -u -f identifiers";
    for (const char* module : kModules) command += std::string(" ") + module + ".mib";
    command += " >'" + out + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()) & 0xff, 0);
    Compiled compiled;
    compile_standard(dir, 4, compiled);
    ASSERT_NE(compiled.tree, nullptr);
    int compared = 0;
    std::istringstream lines(read_file(out));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string module, label, kind, oid;
        fields >> module >> label >> kind >> oid;
        if (oid.empty()) continue;  // types have no identifier
        EXPECT_EQ(oid_of(compiled.tree, label), oid) << label;
        ++compared;
    }
    EXPECT_GT(compared, 350);
}

// FNV-1a, enough to tell two databases apart.
uint64_t fingerprint(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

// Constructs of real-world modules, one small module each: each compiles alone and in one stream
// with the others, quietly, and every node stands where its author put it.
struct ExpectedNode {
    const char* label;
    const char* oid;
    int32_t type;
    int32_t access;
    const char* enums;
};

struct Construct {
    const char* module;
    std::vector<ExpectedNode> nodes;
};

const Construct kConstructs[] = {
    // name(number) arcs define the nodes they name; a deprecated OBJECT-IDENTITY is no error
    {R"(LLDP-LIKE-MIB DEFINITIONS ::= BEGIN
IMPORTS MODULE-IDENTITY, OBJECT-TYPE, Integer32 FROM SNMPv2-SMI;
lldpLikeMIB MODULE-IDENTITY LAST-UPDATED "200505060000Z" ORGANIZATION "o" CONTACT-INFO "c"
    DESCRIPTION "d" ::= { iso std(0) iso8802(8802) ieee802dot1(1) ieee802dot1mibs(1) 2 }
lldpLikeObjects OBJECT IDENTIFIER ::= { lldpLikeMIB 1 }
lldpLikeHold OBJECT-TYPE SYNTAX Integer32 (2..10) MAX-ACCESS read-write STATUS current
    DESCRIPTION "h" DEFVAL { 4 } ::= { lldpLikeObjects 2 }
lldpLikeOld OBJECT-IDENTITY STATUS deprecated DESCRIPTION "o" ::= { lldpLikeObjects old(9) 1 }
END
)",
     {{"ieee802dot1mibs", "1.0.8802.1.1", 0, 0, ""},
      {"lldpLikeMIB", "1.0.8802.1.1.2", 0, 0, ""},
      {"lldpLikeHold", "1.0.8802.1.1.2.1.2", 3, 1, ""},
      {"lldpLikeOld", "1.0.8802.1.1.2.1.9.1", 0, 0, ""}}},
    // marks end words wherever they stand
    {R"(TIGHT-MIB DEFINITIONS::=BEGIN
IMPORTS enterprises,OBJECT-TYPE FROM SNMPv2-SMI;
tight OBJECT IDENTIFIER::={enterprises 77}
TightEntry::=SEQUENCE{tightIndex INTEGER,tightName OCTET STRING}
tightTable OBJECT-TYPE SYNTAX SEQUENCE OF TightEntry MAX-ACCESS not-accessible STATUS current
    DESCRIPTION"t"::={tight 1}
tightEntry OBJECT-TYPE SYNTAX TightEntry MAX-ACCESS not-accessible STATUS current
    INDEX{tightIndex}::={tightTable 1}
tightIndex OBJECT-TYPE SYNTAX INTEGER(1..10|20..30)MAX-ACCESS read-only STATUS current
    ::={tightEntry 1}
tightName OBJECT-TYPE SYNTAX OCTET STRING(SIZE(0..255))MAX-ACCESS read-write STATUS current
    DEFVAL{"a}b{"}::={tightEntry 2}
END
)",
     {{"tightTable", "1.3.6.1.4.1.77.1", 0, 4, ""},
      {"tightEntry", "1.3.6.1.4.1.77.1.1", 0, 4, ""},
      {"tightIndex", "1.3.6.1.4.1.77.1.1.1", 3, 0, ""},
      {"tightName", "1.3.6.1.4.1.77.1.1.2", 2, 1, ""}}},
    // keywords are enumeration labels before "(number)"
    {R"(ENUM-LIKE-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises FROM SNMPv2-SMI;
enumRoot OBJECT IDENTIFIER ::= { enterprises 78 }
EnumState ::= TEXTUAL-CONVENTION STATUS current DESCRIPTION "s"
    SYNTAX INTEGER { current(1), deprecated(6), obsolete(7) }
enumStatus OBJECT-TYPE SYNTAX EnumState MAX-ACCESS read-only STATUS current ::= { enumRoot 1 }
enumAccess OBJECT-TYPE SYNTAX INTEGER { read-only(1), mandatory(2), other(3) }
    MAX-ACCESS read-write STATUS current ::= { enumRoot 2 }
END
)",
     {{"enumStatus", "1.3.6.1.4.1.78.1", 3, 0, "current(1) deprecated(6) obsolete(7) "},
      {"enumAccess", "1.3.6.1.4.1.78.2", 3, 1, "read-only(1) mandatory(2) other(3) "}}},
    // bare numbers are nodes identified by their number under their parent
    {R"(DOCS-LIKE-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises, Counter32 FROM SNMPv2-SMI;
docsLikeMIB OBJECT IDENTIFIER ::= { enterprises 10418 16 }
docsLikeCold NOTIFICATION-TYPE OBJECTS { docsLikeCount } STATUS current DESCRIPTION "c"
    ::= { docsLikeMIB 2 0 }
docsLikeWarm NOTIFICATION-TYPE OBJECTS { docsLikeCount } STATUS current DESCRIPTION "w"
    ::= { docsLikeMIB 3 0 }
docsLikeCount OBJECT-TYPE SYNTAX Counter32 MAX-ACCESS read-only STATUS current
    ::= { docsLikeMIB 1 5 }
END
)",
     {{"docsLikeMIB", "1.3.6.1.4.1.10418.16", 0, 0, ""},
      {"docsLikeCold", "1.3.6.1.4.1.10418.16.2.0", 0, 0, ""},
      {"docsLikeWarm", "1.3.6.1.4.1.10418.16.3.0", 0, 0, ""},
      {"docsLikeCount", "1.3.6.1.4.1.10418.16.1.5", 18, 0, ""}}},
    // keywords inside quoted texts are words of the text
    {R"(TEXT-LIKE-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises FROM SNMPv2-SMI;
TeLikeAs ::= TEXTUAL-CONVENTION DISPLAY-HINT "d" STATUS current DESCRIPTION "An AS."
    REFERENCE "the SYNTAX of an AS is OCTET STRING ::= { 1 }" SYNTAX Unsigned32 (0..65535)
textRoot OBJECT IDENTIFIER ::= { enterprises 79 }
textAs OBJECT-TYPE SYNTAX TeLikeAs MAX-ACCESS read-only STATUS current ::= { textRoot 1 }
textCompliance MODULE-COMPLIANCE STATUS current DESCRIPTION "every ::= { x } here"
    MODULE MANDATORY-GROUPS { textGroup } ::= { textRoot 2 }
textGroup OBJECT-GROUP OBJECTS { textAs } STATUS current DESCRIPTION "g"
    REFERENCE "see ::= and DESCRIPTION x" ::= { textRoot 3 }
textEvent NOTIFICATION-TYPE OBJECTS { textAs } STATUS current DESCRIPTION "n"
    REFERENCE "OBJECTS are listed ::= here" ::= { textRoot 4 }
END
)",
     {{"textAs", "1.3.6.1.4.1.79.1", 19, 0, ""},
      {"textCompliance", "1.3.6.1.4.1.79.2", 0, 0, ""},
      {"textGroup", "1.3.6.1.4.1.79.3", 0, 0, ""},
      {"textEvent", "1.3.6.1.4.1.79.4", 0, 0, ""}}},
    // a module without IMPORTS whose products the next module's arc must not follow
    {R"(VENDOR1-MIB DEFINITIONS ::= BEGIN
vendor1 OBJECT IDENTIFIER ::= { iso org(3) dod(6) internet(1) private(4) enterprises(1) 111 }
products OBJECT IDENTIFIER ::= { vendor1 1 }
END
)",
     {{"vendor1", "1.3.6.1.4.1.111", 0, 0, ""}}},
    // a name(number) arc stands where its value puts it, whoever else defines its label
    {R"(VENDOR2-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises FROM SNMPv2-SMI;
switch OBJECT IDENTIFIER ::= { enterprises vendor2(222) products(1) 2 }
END
)",
     {{"vendor2", "1.3.6.1.4.1.222", 0, 0, ""}, {"switch", "1.3.6.1.4.1.222.1.2", 0, 0, ""}}},
    // a convention of the same name as the next module's
    {R"(A-STATUS-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises, OBJECT-TYPE FROM SNMPv2-SMI TEXTUAL-CONVENTION FROM SNMPv2-TC;
Status ::= TEXTUAL-CONVENTION STATUS current DESCRIPTION "a" SYNTAX INTEGER { up(1), down(2) }
aRoot OBJECT IDENTIFIER ::= { enterprises 332 }
aState OBJECT-TYPE SYNTAX Status MAX-ACCESS read-only STATUS current DESCRIPTION "s"
    ::= { aRoot 1 }
END
)",
     {{"aState", "1.3.6.1.4.1.332.1", 3, 0, "up(1) down(2) "}}},
    // a convention used before its module defines it is that module's own
    {R"(B-STATUS-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises, OBJECT-TYPE FROM SNMPv2-SMI TEXTUAL-CONVENTION FROM SNMPv2-TC;
bRoot OBJECT IDENTIFIER ::= { enterprises 333 }
bState OBJECT-TYPE SYNTAX Status MAX-ACCESS read-only STATUS current DESCRIPTION "s"
    ::= { bRoot 1 }
Status ::= TEXTUAL-CONVENTION STATUS current DESCRIPTION "b" SYNTAX INTEGER { on(1), off(2) }
END
)",
     {{"bState", "1.3.6.1.4.1.333.1", 3, 0, "on(1) off(2) "}}},
};

// The node at dotted `oid` labelled `label`, or null.
const MibNode* node_at(const MibNode* tree, const std::string& oid, const std::string& label) {
    const MibNode* node = nullptr;
    const MibNode* level = tree;
    std::istringstream parts(oid);
    std::string part;
    while (std::getline(parts, part, '.')) {
        const uint32_t subid = static_cast<uint32_t>(std::stoul(part));
        const MibNode* found = nullptr;
        for (const MibNode* n = level; n && !found; n = n->peer) {
            if (n->subid == subid && (parts.peek() != EOF || n->label == label)) found = n;
        }
        if (!found) return nullptr;
        node = found;
        level = node->child;
    }
    return node;
}

// smidump's reading of the constructs, each module in a file of its own: "label oid enums" for
// every node it places, enums "-" when it has none.
std::vector<std::string> smidump_nodes(const std::string& standard_dir) {
    testing_support::TempDir temp;
    std::string names;
    for (const Construct& construct : kConstructs) {
        const std::string text = construct.module;
        const std::string name = text.substr(0, text.find(' '));
        testing_support::write_file(temp.file(name), text);
        names += " " + name;
    }
    testing_support::write_file(temp.file("nodes.py"), R"(import sys
mibs = {}
for path in sys.argv[1:]:
    scope = {}
    exec(open(path).read(), scope)
    mibs[scope["MIB"]["moduleName"]] = scope["MIB"]
def enums(t):
    if "name" in t:
        t = mibs.get(t.get("module"), {}).get("typedefs", {}).get(t["name"], {})
    return "".join("%s(%s) " % (k, v["number"]) for k, v in t.items()
                   if isinstance(v, dict) and v.get("nodetype") == "namednumber")
for mib in mibs.values():
    for label, node in mib.get("nodes", {}).items():
        print(label, node["oid"], enums(node.get("syntax", {}).get("type", {})) or "-")
)");
    const std::string dir = temp.path().string();
    std::string command = "cd '" + dir + "' && for m in" + names + "; do SMIPATH=.:'" +
                          standard_dir +
                          "' smidump -k -f python $m >$m.py 2>/dev/null; done; python3 nodes.py";
    for (const Construct& construct : kConstructs) {
        const std::string text = construct.module;
        command += " " + text.substr(0, text.find(' ')) + ".py";
    }
    command += " >nodes.txt";
    std::vector<std::string> out;
    if (std::system(command.c_str()) != 0) return out;
    std::istringstream lines(read_file(temp.file("nodes.txt")));
    for (std::string line; std::getline(lines, line);) out.push_back(line);
    return out;
}

void expect_nodes(const Compiled& compiled, const Construct& construct) {
    for (const ExpectedNode& e : construct.nodes) {
        EXPECT_EQ(oid_of(compiled.tree, e.label), e.oid) << e.label;
        const MibNode* node = find_label(compiled.tree, e.label);
        ASSERT_NE(node, nullptr) << e.label;
        EXPECT_EQ(node->type, e.type) << e.label;
        EXPECT_EQ(node->access, e.access) << e.label;
        EXPECT_EQ(enum_text(node->enums), e.enums) << e.label;
    }
}

TEST(CompilerConstructs, EachCompilesAloneAndInOneStreamAsItsAuthorMeant) {
    std::string all;
    for (const Construct& construct : kConstructs) {
        Compiled compiled;
        compile_after_prefix(construct.module, compiled);
        ASSERT_NE(compiled.tree, nullptr) << construct.module << compiled.messages;
        EXPECT_EQ(compiled.messages, "") << construct.module;
        EXPECT_EQ(compiled.warnings, "") << construct.module;
        expect_nodes(compiled, construct);
        all += construct.module;
    }
    Compiled compiled;
    compile_after_prefix(all, compiled);
    ASSERT_NE(compiled.tree, nullptr) << compiled.messages;
    EXPECT_EQ(compiled.messages, "");
    EXPECT_EQ(compiled.warnings,
              "Warning: products is defined at 2 places: 1.3.6.1.4.1.111.1 (VENDOR1-MIB) and "
              "1.3.6.1.4.1.222.1 (VENDOR2-MIB); each module's references keep to its own or "
              "imported definition\n");
    for (const Construct& construct : kConstructs) expect_nodes(compiled, construct);

    // Every node smidump places is in the stream's tree at its place, with its enumerations.
    REQUIRE_MODULES(dir);
    if (std::system("command -v smidump >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "smidump (Debian smitools) is not installed";
    }
    const std::vector<std::string> peer = smidump_nodes(dir);
    EXPECT_GT(peer.size(), 20u);
    for (const std::string& line : peer) {
        std::istringstream fields(line);
        std::string label, oid, enums;
        fields >> label >> oid;
        std::getline(fields >> std::ws, enums);
        const MibNode* node = node_at(compiled.tree, oid, label);
        ASSERT_NE(node, nullptr) << line;
        EXPECT_EQ(enum_text(node->enums), enums == "-" ? "" : enums) << line;
    }
}

bool same_tree(const MibNode* a, const MibNode* b, std::string& where) {
    for (; a || b; a = a->peer, b = b->peer) {
        if (!a || !b) return where = "list length", false;
        where = a->label;
        if (std::strcmp(a->label, b->label) != 0 || a->subid != b->subid || a->type != b->type ||
            a->access != b->access || enum_text(a->enums) != enum_text(b->enums)) {
            return false;
        }
        const std::string da = a->description ? a->description : "";
        const std::string db = b->description ? b->description : "";
        if (da != db) return false;
        if (!same_tree(a->child, b->child, where)) return false;
    }
    return true;
}

// The database is byte for byte the one earlier versions wrote, and reads back equal.
TEST(CompilerStandardModules, CompiledTreeReadsBackEqualFromTheIntermediateFile) {
    REQUIRE_MODULES(dir);
    Compiled compiled;
    compile_standard(dir, 4, compiled);
    ASSERT_NE(compiled.tree, nullptr);
    testing_support::TempDir temp;
    const std::string path = temp.file("mib.dat");
    ASSERT_EQ(write_mib_file(path.c_str(), compiled.tree), 0) << mib_file_message(path.c_str());
    const std::string bytes = read_file(path);
    EXPECT_EQ(bytes.size(), 86376u);
    EXPECT_EQ(fingerprint(bytes), 0xf8abc1b23ecf0517ull);
    MibNode* read = read_mib_file(path.c_str());
    ASSERT_NE(read, nullptr) << mib_file_message(path.c_str());
    std::string where;
    EXPECT_TRUE(same_tree(compiled.tree, read, where)) << where;
    release_mib_tree(read);
}

}  // namespace
