// Linking parse records into the tree: default roots, order, duplicates, left-overs, syntax
// mapping, the file entry points and the tree texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mib/compiler/compiler_internal.h"
#include "tests/support/test_support.h"

namespace {

struct Linked {
    MibNode* tree = nullptr;
    std::vector<NodeFacts> facts;
    bool parsed = false;
    std::string messages;
    std::string warnings;
    Linked() = default;
    Linked(const Linked&) = delete;
    ~Linked() { release_mib_tree(tree); }
};

// Compiles `text` as it stands: any number of modules.
void compile_modules(std::string text, Linked& out) {
    FILE* stream = fmemopen(text.data(), text.size(), "r");
    clear_compile_messages();
    testing_support::StderrCapture capture;
    ParseNode* list = parse_mib_stream(stream);
    out.parsed = list != nullptr;
    if (list) out.tree = link_parse_nodes(list, &out.facts);
    out.warnings = capture.finish();
    out.messages = compile_messages();
    std::fclose(stream);
}

void compile(const std::string& source, Linked& out) {
    compile_modules("TEST-MIB DEFINITIONS ::= BEGIN\n" + source + "\nEND\n", out);
}

const MibNode* child_named(const MibNode* node, const char* label) {
    for (const MibNode* child = node ? node->child : nullptr; child; child = child->peer) {
        if (std::strcmp(child->label, label) == 0) return child;
    }
    return nullptr;
}

std::vector<std::string> children(const MibNode* node) {
    std::vector<std::string> out;
    for (const MibNode* child = node->child; child; child = child->peer) {
        out.push_back(std::string(child->label) + "(" + std::to_string(child->subid) + ")");
    }
    return out;
}

std::string oid_of(const MibNode* tree, const char* label) {
    char text[kOidTextSize] = "";
    oid_text_of_label(tree, tree, label, text);
    return text;
}

std::string oid_definitions(int first, int last, const char* parent) {
    std::string out;
    for (int i = first; i <= last; ++i) {
        out += "c" + std::to_string(i) + " OBJECT IDENTIFIER ::= { " + parent + " " +
               std::to_string(i) + " }\n";
    }
    return out;
}

TEST(CompilerLinker, DefaultTreeHasTheFourteenStandardNodes) {
    Linked linked;
    compile("x OBJECT IDENTIFIER ::= { enterprises 9 }", linked);
    ASSERT_NE(linked.tree, nullptr);
    EXPECT_STREQ(linked.tree->label, "iso");
    EXPECT_EQ(linked.tree->peer, nullptr);
    const MibNode* internet =
        child_named(child_named(child_named(linked.tree, "org"), "dod"), "internet");
    ASSERT_NE(internet, nullptr);
    EXPECT_EQ(children(internet),
              (std::vector<std::string>{"directory(1)", "mgmt(2)", "experimental(3)", "private(4)",
                                        "security(5)", "snmpV2(6)"}));
    EXPECT_EQ(children(child_named(internet, "snmpV2")),
              (std::vector<std::string>{"snmpDomains(1)", "snmpProxys(2)", "snmpModules(3)"}));
    EXPECT_EQ(oid_of(linked.tree, "x"), "1.3.6.1.4.1.9");
    EXPECT_EQ(oid_of(linked.tree, "snmpModules"), "1.3.6.1.6.3");
    EXPECT_EQ(oid_of(linked.tree, "iso"), "1");
    EXPECT_EQ(oid_of(linked.tree, "nowhere"), "");
}

TEST(CompilerLinker, HangsDefinitionsUnderTheirParentsInSubidOrder) {
    Linked linked;
    compile(
        "system OBJECT IDENTIFIER ::= { mib-2 1 }\n"  // before its parent
        "mib-2 OBJECT IDENTIFIER ::= { mgmt 1 }\n"
        "c OBJECT IDENTIFIER ::= { system 3 }\n"
        "a OBJECT IDENTIFIER ::= { system 1 }\n"
        "b OBJECT IDENTIFIER ::= { system 2 }\n"
        "same1 OBJECT IDENTIFIER ::= { system 2 }\n"
        "same2 OBJECT IDENTIFIER ::= { system 2 }\n"
        "snmpDomains OBJECT IDENTIFIER ::= { snmpV2 1 }\n"
        "mib-2 OBJECT IDENTIFIER ::= { mgmt 1 }",
        linked);
    ASSERT_NE(linked.tree, nullptr) << linked.messages;
    EXPECT_EQ(linked.messages, "");
    EXPECT_EQ(linked.warnings, "");
    EXPECT_EQ(oid_of(linked.tree, "system"), "1.3.6.1.2.1.1");
    const MibNode* system = child_named(
        child_named(child_named(child_named(child_named(child_named(linked.tree, "org"), "dod"),
                                            "internet"),
                                "mgmt"),
                    "mib-2"),
        "system");
    ASSERT_NE(system, nullptr);
    EXPECT_STREQ(system->parent->label, "mib-2");
    // Equal sub-identifiers: later records are linked first (reverse source order), and each
    // new node goes after those with the same sub-identifier.
    EXPECT_EQ(children(system),
              (std::vector<std::string>{"a(1)", "same2(2)", "same1(2)", "b(2)", "c(3)"}));
}

TEST(CompilerLinker, DuplicateLabelsRefuseTheTreeAndSayWhy) {
    // The second: a name(number) arc keeps its place beside its module's own definition.
    for (const char* text :
         {"x OBJECT IDENTIFIER ::= { mgmt 5 }\nx OBJECT IDENTIFIER ::= { mgmt 6 }",
          "x OBJECT IDENTIFIER ::= { mgmt 5 }\ny OBJECT IDENTIFIER ::= { mgmt x(6) 1 }"}) {
        Linked linked;
        compile(text, linked);
        EXPECT_TRUE(linked.parsed);
        EXPECT_EQ(linked.tree, nullptr);
        EXPECT_EQ(
            linked.messages,
            "Error: Two child nodes of mgmt, x(5) and x(6), have the same label.\nOnly one of "
            "them can be loaded at a time.\nUnload/reload MIBs as required to get the desired "
            "node into the tree.\n");
    }
}

TEST(CompilerLinker, DefaultNodesAreLinkedChildrenFirstAndIsoLast) {
    Linked linked;
    compile(
        "a OBJECT IDENTIFIER ::= { iso 10 }\na OBJECT IDENTIFIER ::= { iso 11 }\n"
        "b OBJECT IDENTIFIER ::= { mgmt 10 }\nb OBJECT IDENTIFIER ::= { mgmt 11 }\n"
        "c OBJECT IDENTIFIER ::= { enterprises 10 }\nc OBJECT IDENTIFIER ::= { enterprises 11 }\n"
        "d OBJECT IDENTIFIER ::= { snmpModules 10 }\nd OBJECT IDENTIFIER ::= { snmpModules 11 }\n",
        linked);
    EXPECT_EQ(linked.tree, nullptr);
    const size_t enterprises = linked.messages.find("of enterprises");
    const size_t modules = linked.messages.find("of snmpModules");
    const size_t mgmt = linked.messages.find("of mgmt");
    const size_t iso = linked.messages.find("of iso");
    ASSERT_NE(iso, std::string::npos) << linked.messages;
    EXPECT_LT(enterprises, modules);
    EXPECT_LT(modules, mgmt);
    EXPECT_LT(mgmt, iso);
}

TEST(CompilerLinker, LeftOversAreListedAndTheRestIsStillATree) {
    Linked linked;
    compile(
        "x OBJECT IDENTIFIER ::= { mgmt 1 }\n"
        "lost OBJECT IDENTIFIER ::= { nowhere 4 }\n"
        "t OBJECT-TYPE SYNTAX Counter32 MAX-ACCESS read-only STATUS current ::= { lost 1 }\n"
        "early OBJECT IDENTIFIER ::= { a 1 }",
        linked);
    ASSERT_NE(linked.tree, nullptr);
    EXPECT_EQ(oid_of(linked.tree, "x"), "1.3.6.1.2.1");
    // By the chain the parent's label hashes to (the sum of its characters: lost 66, a 97,
    // nowhere 120), then latest first: neither the order of the text nor its reverse.
    EXPECT_EQ(linked.warnings,
              "Warning: The mib description doesn't seem to be consistent.\n Some nodes couldn't "
              "be linked under the \"iso\" tree.\n These nodes are left:\n"
              "Left-over node t ::= { lost 1 } (199)\n"
              "Left-over node early ::= { a 1 } (0)\n"
              "Left-over node lost ::= { nowhere 4 } (0)\n");
}

// The node at a dotted path, the last step chosen by label when siblings share a number.
const MibNode* node_at(const MibNode* tree, const std::string& oid, const char* label) {
    std::vector<uint32_t> path;
    for (size_t at = 0; at < oid.size();) {
        const size_t dot = oid.find('.', at);
        path.push_back(static_cast<uint32_t>(std::stoul(oid.substr(at, dot - at))));
        at = dot == std::string::npos ? oid.size() : dot + 1;
    }
    const MibNode* node = tree && tree->subid == path[0] ? tree : nullptr;
    for (size_t i = 1; node && i < path.size(); ++i) {
        const MibNode* found = nullptr;
        for (const MibNode* c = node->child; c && !found; c = c->peer) {
            if (c->subid == path[i] && (i + 1 < path.size() || std::strcmp(c->label, label) == 0))
                found = c;
        }
        node = found;
    }
    return node && std::strcmp(node->label, label) == 0 ? node : nullptr;
}

TEST(CompilerLinker, BareNumbersInValuesAreNodesIdentifiedByTheirNumber) {
    Linked linked;
    compile(
        "acme OBJECT IDENTIFIER ::= { enterprises 99 }\n"
        "named OBJECT IDENTIFIER ::= { acme 5 }\n"
        "a OBJECT-TYPE SYNTAX Counter32 MAX-ACCESS read-only STATUS current\n"
        "  ::= { enterprises 10418 16 }\n"
        "n1 NOTIFICATION-TYPE STATUS current ::= { a 2 0 }\n"
        "n2 NOTIFICATION-TYPE STATUS current ::= { a 3 0 }\n"
        "n3 NOTIFICATION-TYPE STATUS current ::= { a 2 1 }\n"
        "b OBJECT IDENTIFIER ::= { acme 5 7 }\n"
        "c OBJECT IDENTIFIER ::= { 1 3 6 1 4 1 99 8 }\n"
        "d OBJECT IDENTIFIER ::= { 0 0 }",
        linked);
    ASSERT_NE(linked.tree, nullptr) << linked.messages;
    EXPECT_EQ(linked.messages, "");
    EXPECT_EQ(linked.warnings,
              "Warning: The mib description doesn't seem to be consistent.\n Some nodes couldn't "
              "be linked under the \"iso\" tree.\n These nodes are left:\n"
              "Left-over node d ::= { 0 0 } (0)\n");
    const struct {
        const char* oid;
        const char* label;
    } cases[] = {
        {"1.3.6.1.4.1.10418", "10418"},     {"1.3.6.1.4.1.10418.16", "a"},
        {"1.3.6.1.4.1.10418.16.2", "2"},    {"1.3.6.1.4.1.10418.16.2.0", "n1"},
        {"1.3.6.1.4.1.10418.16.2.1", "n3"}, {"1.3.6.1.4.1.10418.16.3.0", "n2"},
        {"1.3.6.1.4.1.99.5.7", "b"},        {"1.3.6.1.4.1.99.8", "c"},
    };
    for (const auto& c : cases) EXPECT_NE(node_at(linked.tree, c.oid, c.label), nullptr) << c.oid;
    EXPECT_EQ(children(node_at(linked.tree, "1.3.6.1.4.1.10418.16", "a")),
              (std::vector<std::string>{"2(2)", "3(3)"}));
    EXPECT_EQ(node_at(linked.tree, "1.3.6.1.4.1.10418.16", "a")->type, 18);
    // Where a named node stands, a bare number is that node.
    EXPECT_EQ(children(node_at(linked.tree, "1.3.6.1.4.1.99", "acme")),
              (std::vector<std::string>{"named(5)", "c(8)"}));
}

// A name(number) arc stands where its value puts it: at a definition of its label it is that
// node; away from the one its module sees it is told and keeps its place. A bare label after a
// label states no number: it is the definition its module sees.
TEST(CompilerLinker, NamedArcsStandWhereTheirValuesPutThem) {
    Linked linked;
    compile_modules(
        "A-MIB DEFINITIONS ::= BEGIN\nIMPORTS enterprises FROM SNMPv2-SMI;\n"
        "acme OBJECT IDENTIFIER ::= { enterprises 5 }\n"
        "lldp MODULE-IDENTITY ::= { iso std(0) iso8802(8802) 2 }\n"
        "x OBJECT IDENTIFIER ::= { iso org(3) dod(6) internet(1) private(4) enterprises(1) 7 }\n"
        "END\n"
        "B-MIB DEFINITIONS ::= BEGIN\nIMPORTS enterprises FROM SNMPv2-SMI;\n"
        "y OBJECT-TYPE SYNTAX INTEGER MAX-ACCESS read-only STATUS current\n"
        "  ::= { private acme(6) 1 }\nEND\n"
        "C-MIB DEFINITIONS ::= BEGIN\nIMPORTS acme FROM A-MIB;\n"
        "z OBJECT IDENTIFIER ::= { experimental acme(7) 2 }\n"
        "w OBJECT IDENTIFIER ::= { enterprises acme(5) 3 }\n"
        "v OBJECT IDENTIFIER ::= { enterprises acme 4 }\nEND\n",
        linked);
    ASSERT_NE(linked.tree, nullptr) << linked.messages;
    EXPECT_EQ(linked.messages, "");
    EXPECT_EQ(linked.warnings,
              "Warning: acme(7) in C-MIB stands at 1.3.6.1.3.7, but the acme that C-MIB sees is "
              "at 1.3.6.1.4.1.5; the arc keeps its place\n"
              "Warning: acme is defined at 3 places: 1.3.6.1.4.1.5 (A-MIB), 1.3.6.1.4.6 "
              "(B-MIB) and 1.3.6.1.3.7 (C-MIB); each module's references keep to its own or "
              "imported definition\n");
    const struct {
        const char* oid;
        const char* label;
    } cases[] = {
        {"1.0", "std"},           {"1.0.8802", "iso8802"}, {"1.0.8802.2", "lldp"},
        {"1.3.6.1.4.1.7", "x"},   {"1.3.6.1.4.6.1", "y"},  {"1.3.6.1.3.7.2", "z"},
        {"1.3.6.1.4.1.5.3", "w"}, {"1.3.6.1.3.7", "acme"}, {"1.3.6.1.4.1.5.4", "v"},
    };
    for (const auto& c : cases) EXPECT_NE(node_at(linked.tree, c.oid, c.label), nullptr) << c.oid;
}

TEST(CompilerLinker, ALabelAtTwoPlacesKeepsEachModulesObjectsWhereTheyStand) {
    const std::string sys =
        "SYS-MIB DEFINITIONS ::= BEGIN\nIMPORTS mgmt FROM SNMPv2-SMI;\n"
        "Status ::= INTEGER { up(1), down(2) }\n"
        "system OBJECT IDENTIFIER ::= { mgmt 1 }\n"
        "sysState OBJECT-TYPE SYNTAX Status MAX-ACCESS read-only STATUS current\n"
        "  ::= { system 2 }\nEND\n";
    const std::string ups =
        "UPS-MIB DEFINITIONS ::= BEGIN\nIMPORTS enterprises FROM SNMPv2-SMI;\n"
        "Status ::= OCTET STRING\n"
        "products OBJECT IDENTIFIER ::= { enterprises 318 }\n"
        "system OBJECT IDENTIFIER ::= { products 3 }\n"
        "upsState OBJECT-TYPE SYNTAX Status MAX-ACCESS read-only STATUS current\n"
        "  ::= { system 2 }\nEND\n";
    const std::string user =
        "USER-MIB DEFINITIONS ::= BEGIN\nIMPORTS system, Status FROM UPS-MIB;\n"
        "userState OBJECT-TYPE SYNTAX Status MAX-ACCESS read-only STATUS current\n"
        "  ::= { system 9 }\nEND\n";
    for (const std::string& text : {sys + ups + user, ups + user + sys}) {
        Linked linked;
        compile_modules(text, linked);
        ASSERT_NE(linked.tree, nullptr) << linked.messages;
        EXPECT_EQ(linked.messages, "");
        EXPECT_NE(linked.warnings.find("Warning: system is defined at 2 places: "),
                  std::string::npos)
            << linked.warnings;
        EXPECT_NE(linked.warnings.find("1.3.6.1.2.1 (SYS-MIB)"), std::string::npos);
        EXPECT_NE(linked.warnings.find("1.3.6.1.4.1.318.3 (UPS-MIB)"), std::string::npos);
        EXPECT_EQ(std::count(linked.warnings.begin(), linked.warnings.end(), '\n'), 1);
        const MibNode* sys_state = node_at(linked.tree, "1.3.6.1.2.1.2", "sysState");
        ASSERT_NE(sys_state, nullptr);
        EXPECT_EQ(sys_state->type, 3);
        ASSERT_NE(sys_state->enums, nullptr);
        const MibNode* ups_state = node_at(linked.tree, "1.3.6.1.4.1.318.3.2", "upsState");
        ASSERT_NE(ups_state, nullptr);
        EXPECT_EQ(ups_state->type, 2);
        EXPECT_EQ(ups_state->enums, nullptr);
        const MibNode* user_state = node_at(linked.tree, "1.3.6.1.4.1.318.3.9", "userState");
        ASSERT_NE(user_state, nullptr);
        EXPECT_EQ(user_state->type, 2);
    }
}

TEST(CompilerLinker, SyntaxMapsToTypeCodes) {
    const struct {
        const char* syntax;
        int32_t type;
    } cases[] = {
        {"OBJECT IDENTIFIER", 1},
        {"OCTET STRING", 2},
        {"INTEGER", 3},
        {"Integer32", 3},
        {"NetworkAddress", 5},
        {"IpAddress", 5},
        {"Counter", 6},
        {"Gauge", 7},
        {"TimeTicks", 8},
        {"Opaque", 9},
        {"NULL", 10},
        {"Counter64", 11},
        {"BITS", 12},
        {"NsapAddress", 13},
        {"UInteger32", 14},
        {"Counter32", 18},
        {"Gauge32", 19},
        {"Unsigned32", 19},
        {"SomeType", 0},
        {"SEQUENCE OF E", 0},
    };
    for (const auto& c : cases) {
        Linked linked;
        compile(std::string("o OBJECT-TYPE SYNTAX ") + c.syntax +
                    " ACCESS read-write STATUS mandatory DESCRIPTION \"d\" ::= { mgmt 1 }",
                linked);
        ASSERT_NE(linked.tree, nullptr) << c.syntax << linked.messages;
        char path[kOidTextSize] = "";
        oid_text_of_label(linked.tree, linked.tree, "o", path);
        const MibNode* mgmt = child_named(
            child_named(child_named(child_named(linked.tree, "org"), "dod"), "internet"), "mgmt");
        const MibNode* o = child_named(mgmt, "o");
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->type, c.type) << c.syntax;
        EXPECT_EQ(o->access, MIB_ACCESS_READ_WRITE);
        EXPECT_STREQ(o->description, "d");
        EXPECT_EQ(o->printer, nullptr);
    }
}

std::string dotted(const std::vector<uint32_t>& oid) {
    std::string text;
    for (const uint32_t subid : oid) text += (text.empty() ? "" : ".") + std::to_string(subid);
    return text;
}

// A node's facts in one line: modules, convention, hint, sizes, INDEX, AUGMENTS.
std::string facts_text(const std::vector<NodeFacts>& facts, const std::string& oid) {
    for (const NodeFacts& f : facts) {
        if (dotted(f.oid) != oid) continue;
        std::string text;
        for (const std::string& module : f.modules) text += module + " ";
        text += "syntax=" + f.syntax + " hint=" + f.hint + " sizes=";
        for (const SizeRange& r : f.sizes)
            text += std::to_string(r.min) + "-" + std::to_string(r.max) + ",";
        text += " index=";
        for (const auto& index : f.index) text += dotted(index) + ",";
        if (f.implied) text += " implied";
        if (!f.augments.empty()) text += " augments=" + dotted(f.augments);
        return text;
    }
    return "none";
}

TEST(CompilerLinker, FactsOfRowsStringsAndConventions) {
    const std::string row =
        "t OBJECT IDENTIFIER ::= { enterprises 9 }\n"
        "Base ::= TEXTUAL-CONVENTION DISPLAY-HINT \"1x:\" STATUS current DESCRIPTION \"b\"\n"
        "  SYNTAX OCTET STRING (SIZE (6))\n"
        "Mid ::= TEXTUAL-CONVENTION STATUS current DESCRIPTION \"m\" SYNTAX Base\n"
        "Text ::= TEXTUAL-CONVENTION DISPLAY-HINT \"255a\" STATUS current DESCRIPTION \"t\"\n"
        "  SYNTAX OCTET STRING (SIZE (0..255))\n"
        "Plain ::= TEXTUAL-CONVENTION DISPLAY-HINT SYNTAX INTEGER\n"
        "tEntry OBJECT-TYPE SYNTAX TEntry ACCESS not-accessible STATUS mandatory\n"
        "  INDEX { tIndex, IMPLIED tName } ::= { t 1 }\n"
        "tIndex OBJECT-TYPE SYNTAX Plain ACCESS read-only STATUS mandatory ::= { tEntry 1 }\n"
        "tName OBJECT-TYPE SYNTAX Text (SIZE (4 | 8..9)) ACCESS read-only STATUS mandatory\n"
        "  ::= { tEntry 2 }\n"
        "tMac OBJECT-TYPE SYNTAX Mid ACCESS read-only STATUS mandatory ::= { tEntry 3 }\n"
        "tXEntry OBJECT-TYPE SYNTAX TXEntry ACCESS not-accessible STATUS mandatory\n"
        "  AUGMENTS { tEntry } ::= { t 2 }\n";
    const struct {
        std::string text;
        std::string oid;
        std::string facts;
    } cases[] = {
        {row, "1.3.6.1.4.1.9.1",
         "TEST-MIB syntax= hint= sizes= index=1.3.6.1.4.1.9.1.1,1.3.6.1.4.1.9.1.2, implied"},
        {row, "1.3.6.1.4.1.9.2", "TEST-MIB syntax= hint= sizes= index= augments=1.3.6.1.4.1.9.1"},
        {row, "1.3.6.1.4.1.9.1.1", "TEST-MIB syntax=Plain hint= sizes= index="},
        // The object's own SIZE before its convention's; a hint through a chain of two.
        {row, "1.3.6.1.4.1.9.1.2", "TEST-MIB syntax=Text hint=255a sizes=4-4,8-9, index="},
        {row, "1.3.6.1.4.1.9.1.3", "TEST-MIB syntax=Mid hint=1x: sizes=6-6, index="},
        // An INDEX with an object defined nowhere, or with a type, is left out whole.
        {"e OBJECT-TYPE SYNTAX E ACCESS not-accessible STATUS mandatory\n"
         "  INDEX { a, nowhere } ::= { enterprises 1 }\n"
         "a OBJECT-TYPE SYNTAX INTEGER ACCESS read-only STATUS mandatory ::= { e 1 }\n"
         "f OBJECT-TYPE SYNTAX E ACCESS not-accessible STATUS mandatory\n"
         "  INDEX { INTEGER } ::= { enterprises 2 }",
         "1.3.6.1.4.1.1", "TEST-MIB syntax= hint= sizes= index="},
        // The INDEX object of the row's own module, not another module's of that label.
        {"A-MIB DEFINITIONS ::= BEGIN\ni OBJECT IDENTIFIER ::= { enterprises 1 }\nEND\n"
         "B-MIB DEFINITIONS ::= BEGIN\nb OBJECT IDENTIFIER ::= { enterprises 2 }\n"
         "i OBJECT IDENTIFIER ::= { b 1 }\ne OBJECT-TYPE SYNTAX E ACCESS not-accessible STATUS "
         "mandatory\n"
         "  INDEX { i } ::= { enterprises 3 }\nEND\n",
         "1.3.6.1.4.1.3", "B-MIB syntax= hint= sizes= index=1.3.6.1.4.1.2.1,"},
        // One node that two modules define lists both.
        {"A-MIB DEFINITIONS ::= BEGIN\ni OBJECT IDENTIFIER ::= { enterprises 1 }\nEND\n"
         "B-MIB DEFINITIONS ::= BEGIN\ni OBJECT IDENTIFIER ::= { enterprises 1 }\nEND\n",
         "1.3.6.1.4.1.1", "A-MIB B-MIB syntax= hint= sizes= index="},
    };
    for (const auto& c : cases) {
        Linked linked;
        if (c.text.find("DEFINITIONS") != std::string::npos) {
            compile_modules(c.text, linked);
        } else {
            compile(c.text, linked);
        }
        ASSERT_NE(linked.tree, nullptr) << linked.messages;
        EXPECT_EQ(facts_text(linked.facts, c.oid), c.facts) << c.text;
        EXPECT_TRUE(
            std::is_sorted(linked.facts.begin(), linked.facts.end(),
                           [](const NodeFacts& a, const NodeFacts& b) { return a.oid < b.oid; }));
    }
}

TEST(CompilerLinker, DeepTreesLinkWithoutRecursionByListLength) {
    std::string source = "n0 OBJECT IDENTIFIER ::= { enterprises 1 }\n";
    for (int i = 1; i < 3000; ++i) {
        source += "n" + std::to_string(i) + " OBJECT IDENTIFIER ::= { n" + std::to_string(i - 1) +
                  " 1 }\n";
    }
    source += oid_definitions(1, 3000, "n0");
    Linked linked;
    compile(source, linked);
    ASSERT_NE(linked.tree, nullptr);
    char path[kOidTextSize] = "";
    oid_text_of_label(linked.tree, linked.tree, "n2999", path);
    EXPECT_EQ(std::strlen(path), 255u);  // cut at its capacity
    EXPECT_EQ(std::string(path).substr(0, 12), "1.3.6.1.4.1.");
}

TEST(CompilerTreeText, OidTextInParseListFollowsParentLabels) {
    std::string text =
        "M DEFINITIONS ::= BEGIN\na OBJECT IDENTIFIER ::= { mgmt 4 }\n"
        "b OBJECT IDENTIFIER ::= { a 5 }\nloop1 OBJECT IDENTIFIER ::= { loop2 1 }\n"
        "loop2 OBJECT IDENTIFIER ::= { loop1 2 }\nEND\n";
    FILE* stream = fmemopen(text.data(), text.size(), "r");
    ParseNode* list = parse_mib_stream(stream);
    std::fclose(stream);
    char path[kOidTextSize] = "";
    EXPECT_EQ(oid_text_in_parse_list(list, "b", path), 1);
    EXPECT_STREQ(path, "4.5");
    char missing[kOidTextSize] = "";
    EXPECT_EQ(oid_text_in_parse_list(list, "zz", missing), 0);
    char cycle[kOidTextSize] = "";
    EXPECT_EQ(oid_text_in_parse_list(list, "loop1", cycle), 1);  // ends despite the cycle
    release_parse_nodes(list);
}

TEST(CompilerTreeText, PrintChildrenIndentsEachLevel) {
    Linked linked;
    compile("a OBJECT IDENTIFIER ::= { enterprises 1 }\nb OBJECT IDENTIFIER ::= { a 2 }", linked);
    const MibNode* private_node = child_named(
        child_named(child_named(child_named(linked.tree, "org"), "dod"), "internet"), "private");
    testing_support::StdoutCapture capture;
    print_children(private_node, 0);
    EXPECT_EQ(capture.finish(),
              "Children of private(4)\n  enterprises\n  Children of enterprises(1)\n    a\n"
              "    Children of a(1)\n      b\n      Children of b(2)\n");
}

TEST(CompilerFiles, CompileMibFileEntryPoints) {
    testing_support::TempDir dir;
    const std::string good = dir.file("good.mib");
    testing_support::write_file(
        good, "G DEFINITIONS ::= BEGIN\ng OBJECT IDENTIFIER ::= { mgmt 3 }\nEND\n");
    const std::string bad = dir.file("bad.mib");
    testing_support::write_file(bad,
                                "B DEFINITIONS ::= BEGIN\ng OBJECT IDENTIFIER ::= mgmt\nEND\n");

    set_prefix_line_count(1);
    MibNode* tree = compile_mib_file(good.c_str());
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(oid_of(tree, "g"), "1.3.6.1.2.3");
    EXPECT_EQ(default_compiler_state().prefix_lines, 0);
    release_mib_tree(tree);

    EXPECT_EQ(compile_mib_file(bad.c_str()), nullptr);
    EXPECT_STREQ(
        compile_messages(),
        "Expected \"{\"(mgmt): On or around line 2\nBad OBJECT IDENTIFIER: On or around "
        "line 2\nBad parse of: OBJECT IDENTIFIER: On or around line 2\nMib table is bad.\n");

    EXPECT_EQ(compile_mib_file(dir.path().c_str()), nullptr);
    EXPECT_STREQ(compile_messages(), "");
    EXPECT_EQ(compile_mib_file(dir.file("missing.mib").c_str()), nullptr);

    tree = compile_mib_file_quietly(good.c_str());
    ASSERT_NE(tree, nullptr);
    release_mib_tree(tree);
    clear_compile_messages();
    EXPECT_EQ(compile_mib_file_quietly(bad.c_str()), nullptr);
    EXPECT_EQ(std::string(compile_messages()).find("Mib table is bad"), std::string::npos);
    EXPECT_EQ(compile_mib_file_quietly(dir.file("missing.mib").c_str()), nullptr);
}

}  // namespace
