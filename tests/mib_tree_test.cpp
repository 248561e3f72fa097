// The MIB tree records: release, printer attachment and the hand-built test trees.
#include <gtest/gtest.h>
#include <sanitizer/lsan_interface.h>

#include <cstring>

#include "mib/mib_tree.h"
#include "mib/value_format.h"
#include "tests/support/mib_builder.h"

using namespace testing_support;

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define ZORV_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZORV_LEAK_CHECK 1
#endif
#endif

// Non-zero when the sanitizer finds memory that nothing points to; 0 in plain builds.
int leaks_found() {
#ifdef ZORV_LEAK_CHECK
    return __lsan_do_recoverable_leak_check();
#else
    return 0;
#endif
}

// A top-level list of `peers` nodes, each with a few children, enumerations and descriptions.
MibNode* build_forest(int peers) {
    MibNode* first = nullptr;
    MibNode* last = nullptr;
    for (int i = 0; i < peers; ++i) {
        last = add_top_level_node(last ? last->peer : first, "top" + std::to_string(i), i,
                                  MIB_TYPE_INTEGER);
        add_enum(last, -1, "minus");
        add_enum(last, 1, "one");
        set_description(last, "a description");
        MibNode* child = add_node(last, "child", 1, MIB_TYPE_OCTET_STRING);
        add_node(child, "grandchild", 1, MIB_TYPE_COUNTER64);
        add_node(last, "second", 2);
    }
    return first;
}

TEST(MibTreeTest, ReleasingTheFirstTopLevelNodeReleasesEverything) {
    // Seen in the sanitizer build, where anything left over is a leak.
    release_mib_tree(build_forest(50));
    EXPECT_EQ(leaks_found(), 0);
    release_mib_tree(nullptr);
    release_enum_list(nullptr);
}

// Bare top-level nodes, many more than recursion per peer could survive.
MibNode* build_long_peer_list(int peers) {
    MibNode* first = nullptr;
    MibNode* last = nullptr;
    for (int i = 0; i < peers; ++i) {
        last = add_top_level_node(last ? last->peer : first, "p", i, i % 20);
    }
    return first;
}

TEST(MibTreeTest, LongPeerListsAndDeepChainsReleaseWithoutExhaustingTheStack) {
    release_mib_tree(build_long_peer_list(200000));
    MibNode* top = add_node(nullptr, "top", 1);
    MibNode* deep = top;
    for (int level = 0; level < 200000; ++level) deep = add_node(deep, "d", 1);
    release_mib_tree(top);
}

// A stand-in that no type selects, to see every printer replaced.
int not_a_printer(char*, int32_t, const MibVariable*, const EnumEntry*, int32_t) {
    return -1;
}

void expect_printers_by_type(const MibNode* node, int& count) {
    for (; node; node = node->peer, ++count) {
        EXPECT_EQ(node->printer, printer_for_type(node->type)) << node->label;
        expect_printers_by_type(node->child, count);
    }
}

void set_every_printer(MibNode* node, ValuePrinter printer) {
    for (; node; node = node->peer) {
        node->printer = printer;
        set_every_printer(node->child, printer);
    }
}

TEST(MibTreeTest, AttachPrintersChoosesByTypeOnPeersAndSubtrees) {
    MibNode* first = build_forest(3);
    for (int32_t type = -1; type <= 21; ++type)
        add_node(first, "t" + std::to_string(type), 9, type);
    set_every_printer(first, not_a_printer);
    attach_printers(first);
    int count = 0;
    expect_printers_by_type(first, count);
    EXPECT_EQ(count, 3 * 4 + 23);
    attach_printers(nullptr);
    release_mib_tree(first);
}

TEST(MibTreeTest, AttachPrintersWalksLongPeerListsInALoop) {
    MibNode* first = build_long_peer_list(200000);
    attach_printers(first);
    int count = 0;
    for (const MibNode* node = first; node; node = node->peer, ++count) {
        if (node->printer != printer_for_type(node->type)) ADD_FAILURE() << count;
    }
    EXPECT_EQ(count, 200000);
    release_mib_tree(first);
}

TEST(MibTreeTest, NewNodesAreEmptyAndTextsAreCopied) {
    MibNode* node = new_mib_node();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->child, nullptr);
    EXPECT_EQ(node->label[0], '\0');
    EXPECT_EQ(node->enums, nullptr);
    EXPECT_EQ(node->description, nullptr);
    EXPECT_EQ(node->printer, nullptr);
    node->description = copy_text(std::string_view("abc\0def", 7));
    ASSERT_NE(node->description, nullptr);
    EXPECT_EQ(std::memcmp(node->description, "abc\0def", 8), 0);
    release_mib_tree(node);
    char* empty = copy_text("");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], '\0');
    std::free(empty);
}

TEST(MibBuilderTest, StandardTreeHoldsTheKnownObjects) {
    MibNode* iso = build_standard_mib2_tree();
    struct Expected {
        const char* labels;
        const char* oid;
        int32_t type;
    } cases[] = {
        {"iso.org.dod.internet.mgmt.mib-2.system.sysDescr", "1.3.6.1.2.1.1.1", 2},
        {"iso.org.dod.internet.mgmt.mib-2.interfaces.ifTable.ifEntry.ifSpeed",
         "1.3.6.1.2.1.2.2.1.5", 7},
        {"iso.org.dod.internet.mgmt.mib-2.ifMIB.ifMIBObjects.ifXTable.ifXEntry.ifHCInOctets",
         "1.3.6.1.2.1.31.1.1.1.6", 11},
        {"iso.org.dod.internet.private.enterprises", "1.3.6.1.4.1", 0},
    };
    for (const Expected& e : cases) {
        const MibNode* node = find_by_labels(iso, e.labels);
        ASSERT_NE(node, nullptr) << e.labels;
        EXPECT_EQ(label_path(node), e.labels);
        EXPECT_EQ(numeric_path(node), e.oid);
        EXPECT_EQ(node->type, e.type);
    }
    const MibNode* oper = find_by_labels(
        iso, "iso.org.dod.internet.mgmt.mib-2.interfaces.ifTable.ifEntry.ifOperStatus");
    ASSERT_NE(oper->enums, nullptr);
    EXPECT_STREQ(oper->enums->label, "up");
    // Children stand in ascending sub-identifier order, whatever order they were added in.
    MibNode* parent = add_node(nullptr, "p", 1);
    add_node(parent, "c5", 5);
    add_node(parent, "c2", 2);
    add_node(parent, "c2b", 2);
    add_node(parent, "c9", 9);
    std::string order;
    for (const MibNode* c = parent->child; c; c = c->peer) order += std::string(c->label) + " ";
    EXPECT_EQ(order, "c2 c2b c5 c9 ");
    release_mib_tree(parent);
    release_mib_tree(iso);
}

}  // namespace
