// Column widths, alignments and printers by object type.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "mib/mib.h"
#include "tests/support/fresh_state.h"
#include "tests/support/mib_builder.h"

using namespace testing_support;

namespace {

class ColumnFormat : public FreshState {};

using Ids = std::vector<uint32_t>;

struct Layout {
    int32_t width;
    std::string format;
    ValuePrinter printer;
    EnumEntry* enums;
};

Layout layout(const Ids& ids, int32_t requested) {
    Layout l{requested, "", nullptr, nullptr};
    const char* format = nullptr;
    const int32_t result = column_format(ids.data(), static_cast<int32_t>(ids.size()), &l.width,
                                         &l.printer, &format, &l.enums);
    EXPECT_EQ(result, l.width);
    l.format = format;
    return l;
}

Ids if_column(uint32_t column) {
    return {1, 3, 6, 1, 2, 1, 2, 2, 1, column};
}

TEST_F(ColumnFormat, StandardColumns) {
    Mib = build_standard_mib2_tree();
    const Ids if_x_entry = {1, 3, 6, 1, 2, 1, 31, 1, 1, 1};
    struct Case {
        const char* what;
        Ids ids;
        int32_t requested;
        int32_t width;
        const char* format;
        ValuePrinter printer;
    } cases[] = {
        {"ifIndex", if_column(1), -7, 11, "%11.11s", print_integer},
        {"ifDescr", if_column(2), -7, 48, "%-48.48s", print_octet_string},
        {"ifType", if_column(3), 0, 16, "%-16.16s", print_integer},  // softwareLoopback
        {"ifIndex wider", if_column(1), -20, 20, "%20.20s", print_integer},
        {"ifIndex narrow", if_column(1), 5, 5, "%5.5s", print_integer},
        {"ifDescr narrow", if_column(2), 5, 5, "%-5.5s", print_octet_string},
        {"ifSpeed", if_column(5), 0, 10, "%10.10s", print_gauge},
        {"ifLastChange", if_column(9), 0, 34, "%-34.34s", print_time_ticks},
        {"ifInOctets", if_column(10), 0, 10, "%10.10s", print_counter},
        {"ifSpecific", if_column(22), 0, 40, "%-40.40s", print_object_id},
        {"ifInMulticastPkts", {1, 3, 6, 1, 2, 1, 31, 1, 1, 1, 2}, 0, 40, "%-40.40s", render_by_tag},
        {"ifHighSpeed", {1, 3, 6, 1, 2, 1, 31, 1, 1, 1, 15}, 0, 40, "%-40.40s", render_by_tag},
        {"ipAdEntAddr", {1, 3, 6, 1, 2, 1, 4, 20, 1, 1}, 0, 15, "%-15.15s", print_ip_address},
        {"column 99 of ifEntry", if_column(99), 0, 40, "%-40.40s", render_by_tag},
        {"no node", {9, 9}, -3, 40, "%-40.40s", render_by_tag},
        {"most negative width", if_column(1), INT32_MIN, INT32_MAX, "%2147483647.2147483647s",
         print_integer},
    };
    for (const Case& c : cases) {
        const Layout l = layout(c.ids, c.requested);
        EXPECT_EQ(l.width, c.width) << c.what;
        EXPECT_EQ(l.format, c.format) << c.what;
        EXPECT_EQ(l.printer, c.printer) << c.what;
    }
    EXPECT_NE(layout(if_column(3), 0).enums, nullptr);
    EXPECT_EQ(layout(if_column(1), 0).enums, nullptr);
}

TEST_F(ColumnFormat, EveryTypeCode) {
    struct Case {
        int32_t type;
        int32_t width;
        bool right;
    } cases[] = {
        {0, 40, false},  {1, 40, false},  {2, 48, false},  {3, 11, true},   {4, 48, false},
        {5, 15, false},  {6, 10, true},   {7, 10, true},   {8, 34, false},  {9, 48, false},
        {10, 4, false},  {11, 40, false}, {12, 40, false}, {13, 40, false}, {14, 40, false},
        {15, 18, false}, {16, 40, false}, {17, 40, false}, {18, 40, false}, {19, 40, false},
        {20, 40, false}, {-1, 40, false},
    };
    EnumEntry longest{nullptr, 2, const_cast<char*>("sevenchars")};
    EnumEntry list{&longest, 1, const_cast<char*>("abc")};
    for (const Case& c : cases) {
        EXPECT_EQ(default_column_width(c.type, nullptr), c.width) << c.type;
        EXPECT_EQ(column_right_aligned(c.type, nullptr), c.right) << c.type;
        // Named values make every column left-aligned; only integers take their width.
        EXPECT_FALSE(column_right_aligned(c.type, &list)) << c.type;
        EXPECT_EQ(default_column_width(c.type, &list), c.type == 3 ? 10 : c.width) << c.type;
    }
}

TEST_F(ColumnFormat, LongestEnumLabel) {
    EXPECT_EQ(longest_enum_label(nullptr), 0);
    EnumEntry empty{nullptr, 3, const_cast<char*>("")};
    EnumEntry unnamed{&empty, 2, nullptr};
    EnumEntry a{&unnamed, 1, const_cast<char*>("four")};
    EXPECT_EQ(longest_enum_label(&a), 4);
    EXPECT_EQ(longest_enum_label(&empty), 0);
}

TEST_F(ColumnFormat, CoercedTypesChangeTheLayout) {
    Mib = build_standard_mib2_tree();
    MibNode* descr = find_by_labels(Mib,
                                    "iso.org.dod.internet.mgmt.mib-2.interfaces.ifTable."
                                    "ifEntry.ifDescr");
    descr->type = MIB_TYPE_COUNTER;
    const Layout l = layout(if_column(2), 0);
    EXPECT_EQ(l.width, 10);
    EXPECT_EQ(l.format, "%10.10s");
    EXPECT_EQ(l.printer, print_octet_string);  // the printer chosen at load stays
}

}  // namespace
