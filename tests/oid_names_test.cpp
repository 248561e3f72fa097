// From sub-identifiers to nodes, label paths, short names and name-and-value lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "mib/mib.h"
#include "tests/support/fresh_state.h"
#include "tests/support/mib_builder.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

class FormatOid : public FreshState {};
class FindNode : public FreshState {};
class PrintOidLine : public FreshState {};
class FormatOidNumeric : public FreshState {};
class FormatOidWithHelperTree : public FreshState {};
class NamedValue : public FreshState {};

using Ids = std::vector<uint32_t>;

// parent's children under mgmt.
MibNode* build_tree() {
    MibNode* tree = build_standard_mib2_tree();
    add_node(find_by_labels(tree, "iso.org.dod.internet.private.enterprises"), "acme", 9999);
    add_node(find_by_labels(tree, "iso.org.dod.internet.mgmt"), "mibx", 7);
    attach_printers(tree);
    return tree;
}

std::string formatted(const Ids& ids, MibNode** node = nullptr, size_t capacity = 32768) {
    std::vector<char> buffer(capacity + 16, '\x7f');
    MibNode* n = format_oid(buffer.data(), capacity, ids.data(), static_cast<int32_t>(ids.size()));
    if (node) *node = n;
    EXPECT_EQ(buffer[capacity], '\x7f');
    return capacity ? buffer.data() : "";
}

TEST_F(FormatOid, LabelsThenNumbers) {
    Mib = build_tree();
    struct Case {
        Ids ids;
        const char* text;
        const char* node;  // label of the node returned, or null
    } cases[] = {
        {{1, 3, 6, 1, 2, 1, 1, 1, 0},
         ".iso.org.dod.internet.mgmt.mib-2.system.sysDescr.0",
         "sysDescr"},
        {{1, 3, 6, 1, 4, 1, 99999, 1, 2},
         ".iso.org.dod.internet.private.enterprises.99999.1.2",
         "enterprises"},
        {{5, 3, 6}, ".5.3.6", nullptr},
        {{1}, ".iso", "iso"},
        {{1, 3, 6, 1, 2, 1, 2, 2, 1, 4294967295u},
         ".iso.org.dod.internet.mgmt.mib-2.interfaces."
         "ifTable.ifEntry.4294967295",
         "ifEntry"},
        {{}, ".", nullptr},
    };
    for (const Case& c : cases) {
        MibNode* node = nullptr;
        EXPECT_EQ(formatted(c.ids, &node), c.text);
        if (c.node) {
            ASSERT_NE(node, nullptr) << c.text;
            EXPECT_STREQ(node->label, c.node);
        } else {
            EXPECT_EQ(node, nullptr) << c.text;
        }
    }
    release_mib_tree(Mib);
    Mib = nullptr;
    EXPECT_EQ(formatted({1, 3, 6}), ".1.3.6");
}

TEST_F(FormatOid, CutAtTheCapacity) {
    Mib = build_tree();
    const Ids ids = {1, 3, 6, 1, 2, 1, 1, 1, 0};
    const std::string full = formatted(ids);
    for (size_t capacity = 0; capacity <= full.size() + 1; ++capacity) {
        MibNode* node = nullptr;
        const std::string text = formatted(ids, &node, capacity);
        EXPECT_EQ(text, full.substr(0, capacity ? capacity - 1 : 0));
        EXPECT_STREQ(node->label, "sysDescr");  // the node is found whatever the room
    }
}

TEST_F(PrintOidLine, CutAt255Characters) {
    Mib = build_tree();
    const Ids sys_descr = {1, 3, 6, 1, 2, 1, 1, 1, 0};
    Ids long_ids(100, 123456);
    StdoutCapture capture;
    print_oid_line(sys_descr.data(), static_cast<int32_t>(sys_descr.size()));
    print_oid_line(long_ids.data(), static_cast<int32_t>(long_ids.size()));
    const std::string out = capture.finish();
    const std::string first = ".iso.org.dod.internet.mgmt.mib-2.system.sysDescr.0\n";
    ASSERT_EQ(out.substr(0, first.size()), first);
    const std::string second = out.substr(first.size());
    EXPECT_EQ(second.size(), 256u);
    EXPECT_EQ(second.substr(0, 8), ".123456.");
    EXPECT_EQ(second.back(), '\n');
}

TEST_F(FormatOidNumeric, DotBeforeEveryNumber) {
    setenv("MIBDBV2", "/nonexistent/mib", 1);
    const Ids ids = {1, 3, 6, 4294967295u};
    EXPECT_STREQ(format_oid_numeric(ids.data(), 3), ".1.3.6");
    EXPECT_STREQ(format_oid_numeric(ids.data(), 4), ".1.3.6.4294967295");
    EXPECT_STREQ(format_oid_numeric(ids.data(), 0), "");
    // 4000 sub-identifiers of 11 characters do not fit in 32768: cut, never overflowed.
    const Ids many(4000, 4294967295u);
    EXPECT_EQ(std::string(format_oid_numeric(many.data(), 4000)).size(), 32767u);
}

TEST_F(FormatOidWithHelperTree, SharesTheProgramsTree) {
    TempDir dir;
    ASSERT_EQ(install_standard_mib2_database(dir.file("mib")), 0);
    const Ids ids = {1, 3, 6, 1, 2, 1, 1, 5, 0};
    EXPECT_STREQ(format_oid_with_helper_tree(ids.data(), 9),
                 ".iso.org.dod.internet.mgmt.mib-2.system.sysName.0");
}

TEST_F(FindNode, DeepestExactAndDepth) {
    Mib = build_tree();
    const Ids if_descr_3 = {1, 3, 6, 1, 2, 1, 2, 2, 1, 2, 3};
    MibNode* deepest = find_node_deepest(if_descr_3.data(), 11, Mib);
    ASSERT_NE(deepest, nullptr);
    EXPECT_STREQ(deepest->label, "ifDescr");
    EXPECT_EQ(node_depth(deepest), 10);
    EXPECT_EQ(find_node_exact(if_descr_3.data(), 11, Mib), nullptr);
    EXPECT_EQ(find_node_exact(if_descr_3.data(), 10, Mib), deepest);
    EXPECT_EQ(find_node_exact(if_descr_3.data(), 0, Mib), nullptr);
    EXPECT_EQ(find_node_deepest(if_descr_3.data(), 0, Mib), nullptr);
    EXPECT_EQ(node_depth(nullptr), 0);
    const Ids unknown = {9, 9};
    EXPECT_EQ(find_node_deepest(unknown.data(), 2, Mib), nullptr);

    char buffer[128];
    EXPECT_EQ(oid_to_labels(if_descr_3.data(), 11, Mib, buffer, sizeof buffer), deepest);
    EXPECT_STREQ(buffer, "iso.org.dod.internet.mgmt.mib-2.interfaces.ifTable.ifEntry.ifDescr.3");
    EXPECT_EQ(oid_to_labels(unknown.data(), 2, Mib, buffer, sizeof buffer), nullptr);
    EXPECT_STREQ(buffer, "9.9");
}

// A value and its variable for the name-and-value operations.
struct Variable {
    Ids ids;
    std::string text;
    MibValue value{};
    ObjectId name{};
    MibVariable variable{};

    Variable(Ids i, std::string t) : ids(std::move(i)), text(std::move(t)) {
        value.tag = ASN_OCTET_STRING;
        value.data.string.length = static_cast<int32_t>(text.size());
        value.data.string.bytes = reinterpret_cast<const uint8_t*>(text.data());
        name = {static_cast<int32_t>(ids.size()), ids.data()};
        variable = {&name, &value};
    }
    int32_t count() const { return static_cast<int32_t>(ids.size()); }
};

std::string named(const Variable& v, const char* prefix, int form = 1) {
    char buffer[512];
    format_named_value(buffer, sizeof buffer, v.ids.data(), v.count(), &v.variable, prefix, form);
    return buffer;
}

TEST_F(NamedValue, ShortNames) {
    Mib = build_tree();
    struct Case {
        Ids ids;
        const char* prefix;
        std::string line;
    } cases[] = {
        {{1, 3, 6, 1, 2, 1, 1, 1, 0}, nullptr, "system.sysDescr.0 : x"},
        {{1, 3, 6, 1, 4, 1, 9999, 3}, nullptr, "acme.3 : x"},
        {{1, 3, 6, 1, 3, 1}, nullptr, ".iso.org.dod.internet.experimental.1 : x"},
        {{1, 3, 6, 1, 2, 7, 5}, nullptr, ".5 : x"},  // mibx.5 loses 31 characters
        {{1, 3, 6, 1, 2, 1}, nullptr, " : x"},
        {{1, 3, 6, 1, 4, 1}, nullptr, " : x"},
        {{1, 3, 6, 1, 2, 1, 1, 1, 0}, ".iso.org.dod.internet.mgmt.mib-2.system", "sysDescr.0 : x"},
        {{1, 3, 6, 1, 2, 1, 1}, ".iso.org.dod.internet.mgmt.mib-2.system", " : x"},
        {{1, 3, 6, 1, 3, 1}, ".iso.org.dod", "internet.experimental.1 : x"},
        {{1, 3, 6, 1, 3, 1}, ".nomatch", ".iso.org.dod.internet.experimental.1 : x"},
        {{7, 7}, nullptr, ".7.7 : x"},
    };
    for (const Case& c : cases) {
        const Variable v(c.ids, "x");
        EXPECT_EQ(named(v, c.prefix), c.line);
    }
}

TEST_F(NamedValue, ValueTextByNodePrinter) {
    Mib = build_tree();
    Variable descr({1, 3, 6, 1, 2, 1, 1, 1, 0}, "Router");
    EXPECT_EQ(named(descr, nullptr, 0), "system.sysDescr.0 : OCTET STRING- (ascii):\tRouter");

    // An integer value under ifType: the node's printer with its enumerations.
    Variable type({1, 3, 6, 1, 2, 1, 2, 2, 1, 3, 1}, "");
    type.value.tag = ASN_INTEGER;
    type.value.data.integer = 6;
    EXPECT_EQ(named(type, nullptr), "interfaces.ifTable.ifEntry.ifType.1 : ethernetCsmacd");
    char buffer[64];
    format_node_value(buffer, sizeof buffer, type.ids.data(), type.count(), &type.variable, 0);
    EXPECT_STREQ(buffer, "INTEGER: ethernetCsmacd");

    // No node: the generic printer.
    Variable lost({9, 1}, "");
    lost.value.tag = ASN_GAUGE;
    lost.value.data.uinteger = 3;
    EXPECT_EQ(named(lost, nullptr, 0), ".9.1 : Gauge: 3");
}

TEST_F(NamedValue, ShowWritesOneLine) {
    Mib = build_tree();
    const Variable descr({1, 3, 6, 1, 2, 1, 1, 1, 0}, "Router");
    StdoutCapture capture;
    show_named_value(descr.ids.data(), descr.count(), &descr.variable, 1);
    show_node_value(descr.ids.data(), descr.count(), &descr.variable, 1);
    EXPECT_EQ(capture.finish(), "system.sysDescr.0 : Router\nRouter\n");
}

TEST_F(NamedValue, VariableOperationsRefreshAndUseTheName) {
    TempDir dir;
    ASSERT_EQ(install_standard_mib2_database(dir.file("mib")), 0);
    const Variable descr({1, 3, 6, 1, 2, 1, 1, 1, 0}, "Router");
    char buffer[128];
    format_var(buffer, sizeof buffer, &descr.variable, 1);
    EXPECT_STREQ(buffer, "system.sysDescr.0 : Router");
    format_var_value(buffer, sizeof buffer, &descr.variable, 0);
    EXPECT_STREQ(buffer, "OCTET STRING- (ascii):\tRouter");
    format_var_prefixed(buffer, sizeof buffer, &descr.variable, 1,
                        ".iso.org.dod.internet.mgmt.mib-2.system.sysDescr");
    EXPECT_STREQ(buffer, "0 : Router");
    StdoutCapture capture;
    show_var(&descr.variable, 1);
    EXPECT_EQ(capture.finish(), "system.sysDescr.0 : Router\n");
}

TEST_F(NamedValue, NameAndValueShareTheCapacity) {
    Mib = build_tree();
    const Variable descr({1, 3, 6, 1, 2, 1, 1, 1, 0}, std::string(100, 'v'));
    const std::string full = "system.sysDescr.0 : " + std::string(100, 'v');
    for (int32_t capacity = 0; capacity <= static_cast<int32_t>(full.size()) + 1; ++capacity) {
        std::vector<char> buffer(static_cast<size_t>(capacity) + 32, '\x7f');
        format_named_value(buffer.data(), capacity, descr.ids.data(), descr.count(),
                           &descr.variable, nullptr, 1);
        for (size_t i = static_cast<size_t>(capacity); i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], '\x7f') << "past capacity " << capacity;
        if (capacity > 0) {
            EXPECT_EQ(std::string(buffer.data()),
                      full.substr(0, static_cast<size_t>(capacity - 1)));
        }
    }
}

}  // namespace
