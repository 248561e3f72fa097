// Object identifier texts in the named and numeric grammars, against a standard mib-2 tree.
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

class ParseOidText : public FreshState {};
class ParseOidNames : public FreshState {};

using Ids = std::vector<uint32_t>;

// The standard tree with an enterprise "acme" (9999) and its child "widgets" (1).
MibNode* build_tree() {
    MibNode* tree = build_standard_mib2_tree();
    MibNode* enterprises = find_by_labels(tree, "iso.org.dod.internet.private.enterprises");
    add_node(add_node(enterprises, "acme", 9999), "widgets", 1);
    attach_printers(tree);
    return tree;
}

// Writes the tree as the MIB database of this process.
void install_database(const TempDir& dir) {
    MibNode* tree = build_tree();
    const std::string base = dir.file("mib");
    ASSERT_EQ(write_mib_file((base + ".bin").c_str(), tree), 0);
    release_mib_tree(tree);
    setenv("MIBDBV2", base.c_str(), 1);
}

struct Parsed {
    int result;
    Ids ids;
    std::string err;
};

template <class Parser>
Parsed parse_with(Parser parser, const char* text, int32_t capacity = 64) {
    std::vector<uint32_t> ids(static_cast<size_t>(capacity > 0 ? capacity : 0) + 1, 0xDEADBEEF);
    int32_t count = capacity;
    StderrCapture capture;
    const int result = parser(text, ids.data(), &count);
    Parsed p{result, {}, capture.finish()};
    EXPECT_EQ(ids.back(), 0xDEADBEEF) << "wrote past the capacity for " << text;
    if (count >= 0 && count <= capacity) p.ids.assign(ids.begin(), ids.begin() + count);
    return p;
}

Ids concat(Ids a, const Ids& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Ids kMib2 = {1, 3, 6, 1, 2, 1};
const Ids kEnterprises = {1, 3, 6, 1, 4, 1};

struct TextCase {
    const char* text;
    int result;  // parse_oid_text: 0 or -1
    Ids ids;
    const char* err;
};

TEST_F(ParseOidText, NamedAndNumericTextsAgainstTheTree) {
    TempDir dir;
    install_database(dir);
    const std::vector<TextCase> cases = {
        {"system.sysDescr.0", 0, {1, 3, 6, 1, 2, 1, 1, 1, 0}, ""},
        {"SYSTEM.SysDescr.0", 0, {1, 3, 6, 1, 2, 1, 1, 1, 0}, ""},
        {"interfaces.ifTable.ifEntry.2", 0, {1, 3, 6, 1, 2, 1, 2, 2, 1, 2}, ""},
        {"ifEntry.2", -1, {}, ""},
        {".iso.org.dod.internet.mgmt.mib-2.system", 0, {1, 3, 6, 1, 2, 1, 1}, ""},
        {".1.3.6.1.2.1.1", 0, {1, 3, 6, 1, 2, 1, 1}, ""},
        {"1.3.6.1.2.1.1", 0, concat(kMib2, {1, 3, 6, 1, 2, 1, 1}), ""},
        {"1.3.6.1.2.1.1.", 0, {1, 3, 6, 1, 2, 1, 1}, ""},
        {"sysDescr.0", -1, {}, ""},
        {"acme.widgets.7", 0, concat(kEnterprises, {9999, 1, 7}), ""},
        {"ACME", 0, concat(kEnterprises, {9999}), ""},
        {"system.99.5", 0, concat(kMib2, {1, 99, 5}), ""},
        {"system.99.foo", -1, {}, ""},
        {"system.1x", -1, {}, ""},
        {"12ab", -1, {}, ""},
        {"", -1, {}, ""},
        {".", -1, {}, ""},
        {"system..1", -1, {}, ""},
        {"1..3", -1, {}, ""},
        {"1 3 6", 0, {1, 3, 6}, ""},
        {"1. 3. 6", 0, {1, 3, 6}, ""},
        {"1 .3", -1, {}, ""},
        {"-1", 0, {4294967295u}, ""},
        {"4294967295", 0, concat(kMib2, {4294967295u}), ""},
        {"4294967296", -1, {}, "Sub-identifier too large: 4294967296\n"},
        {"system.00000000000000000000099", 0, concat(kMib2, {1, 99}), ""},
    };
    for (const TextCase& c : cases) {
        const Parsed p = parse_with(parse_oid_text, c.text);
        EXPECT_EQ(p.result, c.result) << c.text;
        if (c.result == 0) {
            EXPECT_EQ(p.ids, c.ids) << c.text;
        }
        EXPECT_EQ(p.err, c.err) << c.text;
    }
}

TEST_F(ParseOidText, TooManyRelativeNumbersFallBackToAbsolute) {
    TempDir dir;
    install_database(dir);
    std::string text;
    Ids expected;
    for (uint32_t i = 1; i <= 59; ++i) {
        text += (i > 1 ? "." : "") + std::to_string(i);
        expected.push_back(i);
    }
    const Parsed p = parse_with(parse_oid_text, text.c_str());
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.ids, expected);
    EXPECT_EQ(p.err, "Object identifier too long\n");
}

TEST_F(ParseOidText, WithoutADatabaseOnlyNumbersResolve) {
    TempDir dir;
    setenv("MIBDBV2", dir.file("absent").c_str(), 1);
    EXPECT_EQ(parse_with(parse_oid_text, "1.3.6").ids, (Ids{1, 3, 6}));
    EXPECT_EQ(parse_with(parse_oid_text, "system.1").result, -1);
}

TEST_F(ParseOidNames, CapacityCountsThePrefixAndEveryElement) {
    Mib = build_tree();
    struct Case {
        const char* text;
        int32_t capacity;
        int result;
        const char* err;
    } cases[] = {
        {"system", 5, 0, "Object identifier too long\n"},
        {"system", 6, 0, "Object identifier too long\n"},
        {"system", 7, 1, ""},
        {"system.sysDescr.0", 8, 0, "Object identifier too long\n"},
        {"system.sysDescr.0", 9, 1, ""},
        {".1.3.6", 3, 1, ""},
        {".1.3.6", 2, 0, "Object identifier too long\n"},
        {".1.3.6", 0, 0, "Object identifier too long\n"},
        {"nosuch", 6, 0, ""},  // an unknown label fails before the capacity is looked at
        {"", 0, 0, "Object identifier too long\n"},
    };
    for (const Case& c : cases) {
        const Parsed p = parse_with(parse_oid_names, c.text, c.capacity);
        EXPECT_EQ(p.result, c.result) << c.text << " in " << c.capacity;
        EXPECT_EQ(p.err, c.err) << c.text << " in " << c.capacity;
    }
}

TEST_F(ParseOidNames, LongLabelsMatchNothing) {
    Mib = build_tree();
    MibNode* system = find_by_labels(Mib, "iso.org.dod.internet.mgmt.mib-2.system");
    const std::string label127(127, 'q');
    add_node(system, label127, 50);
    EXPECT_EQ(parse_with(parse_oid_names, ("system." + label127).c_str()).ids,
              concat(kMib2, {1, 50}));
    EXPECT_EQ(parse_with(parse_oid_names, ("system." + label127 + "q").c_str()).result, 0);
    EXPECT_EQ(parse_with(parse_oid_names, ("system." + std::string(5000, 'x')).c_str()).result, 0);
}

TEST_F(ParseOidNames, NumberNeverSelectsEnterprises) {
    Mib = build_tree();
    MibNode* enterprises = find_by_labels(Mib, "iso.org.dod.internet.private.enterprises");
    add_node(enterprises, "42", 42);
    EXPECT_EQ(parse_with(parse_oid_names, "42").ids, concat(kMib2, {42}));
}

TEST_F(ParseOidNames, FirstOfTwoMatchingSiblingsWins) {
    Mib = build_tree();
    MibNode* system = find_by_labels(Mib, "iso.org.dod.internet.mgmt.mib-2.system");
    add_node(system, "twin", 70);
    add_node(system, "TWIN", 71);
    EXPECT_EQ(parse_with(parse_oid_names, "system.Twin").ids, concat(kMib2, {1, 70}));
}

TEST_F(ParseOidNames, WithoutMib2OnlyNumbersFollow) {
    MibNode* first = nullptr;
    add_top_level_node(first, "iso", 1);
    Mib = first;
    EXPECT_EQ(parse_with(parse_oid_names, "7.8").ids, concat(kMib2, {7, 8}));
    EXPECT_EQ(parse_with(parse_oid_names, "system").result, 0);
    release_mib_tree(Mib);
    Mib = nullptr;
    EXPECT_EQ(parse_with(parse_oid_names, ".1.3").ids, (Ids{1, 3}));
}

TEST(ParseOidDigits, Grammar) {
    struct Case {
        const char* text;
        int32_t capacity;
        int result;
        Ids ids;
    } cases[] = {
        {"1.3.6", 64, 0, {1, 3, 6}},
        {".1.3.6", 64, 0, {1, 3, 6}},
        {"  .1.3.6.", 64, 0, {1, 3, 6}},
        {"1 3 6", 64, 0, {1, 3, 6}},
        {"1.\t3 6  ", 64, 0, {1, 3, 6}},
        {"+7", 64, 0, {7}},
        {"-1", 64, 0, {4294967295u}},
        {"-4294967295", 64, 0, {1}},
        {"1.-3", 64, -1, {}},
        {"4294967295", 64, 0, {4294967295u}},
        {"4294967296", 64, -1, {}},
        {"1..3", 64, -1, {}},
        {"1 .3", 64, -1, {}},
        {"1.3a", 64, -1, {}},
        {"", 64, -1, {}},
        {".", 64, -1, {}},
        {"  ", 64, -1, {}},
        {"-", 64, -1, {}},
        {"0x10", 64, -1, {}},
        {"1.3.6", 3, 0, {1, 3, 6}},
        {"1.3.6", 2, -1, {}},
        {"1", 0, -1, {}},
    };
    for (const Case& c : cases) {
        const Parsed p = parse_with(parse_oid_digits, c.text, c.capacity);
        EXPECT_EQ(p.result, c.result) << c.text;
        if (c.result == 0) {
            EXPECT_EQ(p.ids, c.ids) << c.text;
        }
        EXPECT_EQ(p.err, "") << c.text;
    }
}

TEST(OidTextIsNumeric, DigitsAndDotsOnly) {
    EXPECT_EQ(oid_text_is_numeric(""), 1);
    EXPECT_EQ(oid_text_is_numeric("1.3.6"), 1);
    EXPECT_EQ(oid_text_is_numeric(".."), 1);
    EXPECT_EQ(oid_text_is_numeric("1.3a"), 0);
    EXPECT_EQ(oid_text_is_numeric(" 1"), 0);
}

TEST(LabelsEqual, IgnoresCaseOnly) {
    EXPECT_TRUE(labels_equal("ifEntry", "IFENTRY"));
    EXPECT_TRUE(labels_equal("", ""));
    EXPECT_FALSE(labels_equal("ifEntry", "ifEntr"));
    EXPECT_FALSE(labels_equal("if", "ifEntry"));
    EXPECT_FALSE(labels_equal("mib-2", "mib_2"));
}

}  // namespace
