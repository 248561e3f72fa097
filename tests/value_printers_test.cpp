// The value printers' exact text in both forms, dispatch by tag, and the printers chosen by type.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mib/mib.h"
#include "tests/support/fresh_state.h"
#include "tests/support/mib_builder.h"

using namespace testing_support;

namespace {

class ValuePrinters : public FreshState {};

using Bytes = std::vector<uint8_t>;

// A value and the storage it points into.
struct Value {
    MibValue value{};
    Bytes bytes;
    std::vector<uint32_t> ids;
    MibVariable variable{nullptr, &value};

    static Value octets(int32_t tag, Bytes b) {
        Value v;
        v.value.tag = tag;
        v.bytes = std::move(b);
        return v;
    }
    static Value number(int32_t tag, uint32_t n) {
        Value v;
        v.value.tag = tag;
        v.value.data.uinteger = n;
        return v;
    }
    static Value counter64(uint64_t n) {
        Value v;
        v.value.tag = ASN_COUNTER64;
        v.value.data.counter64 = n;
        return v;
    }
    static Value oid(std::vector<uint32_t> ids) {
        Value v;
        v.value.tag = ASN_OBJECT_ID;
        v.ids = std::move(ids);
        return v;
    }
    // Points the value at its storage (after any copy or move).
    const MibVariable* get() {
        variable.value = &value;
        if (value.tag == ASN_OBJECT_ID) {
            value.data.string.length = static_cast<int32_t>(ids.size());
            value.data.string.ids = ids.data();
        } else if (!bytes.empty()) {
            // Only `string` is written here: a number's live member is never read as a pointer.
            value.data.string.length = static_cast<int32_t>(bytes.size());
            value.data.string.bytes = bytes.data();
        }
        return &variable;
    }
};

std::string print(ValuePrinter printer, Value v, int32_t form, const EnumEntry* enums = nullptr) {
    std::vector<char> buffer(32768, '\x7f');
    printer(buffer.data(), 32768, v.get(), enums, form);
    return buffer.data();
}

Bytes text_of(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

struct Case {
    const char* what;
    ValuePrinter printer;
    Value value;
    std::string labelled;
    std::string bare;
};

EnumEntry down{nullptr, 2, const_cast<char*>("down")};
EnumEntry up_down{&down, 1, const_cast<char*>("up")};

TEST_F(ValuePrinters, BothFormsOfEveryPrinter) {
    const std::string dump_000102 =
        "     0:  00 01 02 " + repeat("-- ", 13) + "    " + std::string(16, '.') + "\n";
    Bytes a_to_q;
    for (char c = 'A'; c <= 'Q'; ++c) a_to_q.push_back(static_cast<uint8_t>(c));
    const std::string dump_a_to_q =
        "     0:  41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 "
        "    ABCDEFGHIJKLMNOP\n"
        "    16:  51 " +
        repeat("-- ", 15) + "    Q" + std::string(15, '.') + "\n";
    Bytes not_text_17 = a_to_q;
    not_text_17[0] = 0x01;
    const std::string empty_dump = repeat("-- ", 16) + "    " + std::string(16, '.') + "\n";

    std::vector<Case> cases = {
        {"text", print_octet_string, Value::octets(ASN_OCTET_STRING, text_of("abc")),
         "OCTET STRING- (ascii):\tabc", "abc"},
        {"text with white space", print_octet_string,
         Value::octets(ASN_OCTET_STRING, text_of("a b\tc\r\n")),
         "OCTET STRING- (ascii):\ta b\tc\r\n", "a b\tc\r\n"},
        {"trailing NUL", print_octet_string, Value::octets(ASN_OCTET_STRING, {0x61, 0x62, 0x63, 0}),
         "OCTET STRING- (ascii):\tabc.", "abc."},
        {"inner NUL", print_octet_string, Value::octets(ASN_OCTET_STRING, {0x61, 0, 0x62}),
         "OCTET STRING-   (hex): length = 3\n     0:  61 00 62 " + repeat("-- ", 13) + "    a.b" +
             std::string(13, '.') + "\n",
         "61 00 62 "},
        {"lone NUL", print_octet_string, Value::octets(ASN_OCTET_STRING, {0}),
         "OCTET STRING-   (hex): length = 1\n     0:  00 " + repeat("-- ", 15) + "    " +
             std::string(16, '.') + "\n",
         "00 "},
        {"high byte", print_octet_string, Value::octets(ASN_OCTET_STRING, {0x61, 0xE9}),
         "OCTET STRING-   (hex): length = 2\n     0:  61 e9 " + repeat("-- ", 14) + "    a" +
             std::string(15, '.') + "\n",
         "61 E9 "},
        {"hex", print_octet_string, Value::octets(ASN_OCTET_STRING, {0, 1, 2}),
         "OCTET STRING-   (hex): length = 3\n" + dump_000102, "00 01 02 "},
        {"seventeen", print_octet_string, Value::octets(ASN_OCTET_STRING, not_text_17),
         "OCTET STRING-   (hex): length = 17\n     0:  01 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e "
         "4f 50     .BCDEFGHIJKLMNOP\n    16:  51 " +
             repeat("-- ", 15) + "    Q" + std::string(15, '.') + "\n",
         "01 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 "},
        {"empty", print_octet_string, Value::octets(ASN_OCTET_STRING, {}),
         "OCTET STRING- (ascii):\t", ""},
        {"second kind", print_octet_string2, Value::octets(ASN_OCTET_STRING, {0, 1, 2}),
         "OCTET STRING-   (hex): length = 3\n" + dump_000102, "00 01 02 "},
        {"display text", print_display_string, Value::octets(ASN_OCTET_STRING, text_of("abc")),
         "DISPLAY STRING- (ascii):  abc", "abc"},
        {"display stops at NUL", print_display_string,
         Value::octets(ASN_OCTET_STRING, {0x61, 0x62, 0x63, 0, 0x01}),
         "DISPLAY STRING- (ascii):  abc", "abc"},
        {"display lone NUL", print_display_string, Value::octets(ASN_OCTET_STRING, {0}),
         "DISPLAY STRING- (ascii):  ", ""},
        {"display hex", print_display_string, Value::octets(ASN_OCTET_STRING, {0x01, 0x02, 0x03}),
         "DISPLAY STRING-   (hex):       0:  01 02 03 " + repeat("-- ", 13) + "    " +
             std::string(16, '.') + "\n",
         "01 02 03 "},
        {"opaque", print_opaque, Value::octets(ASN_OPAQUE, a_to_q),
         "DISPLAY STRING-   (hex):  " + dump_a_to_q,
         "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 "},
        {"empty opaque", print_opaque, Value::octets(ASN_OPAQUE, {}),
         "DISPLAY STRING-   (hex):  " + empty_dump, ""},
        {"nsap", print_nsap_address, Value::octets(ASN_NSAP_ADDRESS, {0, 1, 2}),
         "NSAPADDRESS-   (hex):  " + dump_000102, "00 01 02 "},
        {"ticks 0", print_time_ticks, Value::number(ASN_TIME_TICKS, 0), "Timeticks: (0) 0:00:00.00",
         "(0) 0:00:00.00"},
        {"ticks one day", print_time_ticks, Value::number(ASN_TIME_TICKS, 8640000),
         "Timeticks: (8640000) 1 day, 0:00:00.00", "(8640000) 1 day, 0:00:00.00"},
        {"ticks most", print_time_ticks, Value::number(ASN_TIME_TICKS, 4294967295u),
         "Timeticks: (4294967295) 497 days, 2:27:52.95", "(4294967295) 497 days, 2:27:52.95"},
        {"ticks", print_time_ticks, Value::number(ASN_TIME_TICKS, 123456789),
         "Timeticks: (123456789) 14 days, 6:56:07.89", "(123456789) 14 days, 6:56:07.89"},
        {"integer", print_integer, Value::number(ASN_INTEGER, static_cast<uint32_t>(-1)),
         "INTEGER: -1", "-1"},
        {"unsigned", print_unsigned_integer, Value::number(ASN_UINTEGER, 4294967295u),
         "INTEGER: 4294967295", "4294967295"},
        {"gauge", print_gauge, Value::number(ASN_GAUGE, 4294967295u), "Gauge: 4294967295",
         "4294967295"},
        {"gauge given a counter", print_gauge, Value::number(ASN_COUNTER, 7), "Counter: 7", "7"},
        {"counter", print_counter, Value::number(ASN_COUNTER, 4294967295u), "Counter: 4294967295",
         "4294967295"},
        {"counter64", print_counter, Value::counter64(~0ull), "Counter: 18446744073709551615",
         "18446744073709551615"},
        {"ip", print_ip_address, Value::octets(ASN_IP_ADDRESS, {10, 0, 0, 1}),
         "IpAddress:\t10.0.0.1", "10.0.0.1"},
        {"ip, more bytes", print_ip_address, Value::octets(ASN_IP_ADDRESS, {255, 254, 0, 1, 9}),
         "IpAddress:\t255.254.0.1", "255.254.0.1"},
        {"short ip", print_ip_address, Value::octets(ASN_IP_ADDRESS, {10, 0}), "IpAddress:\t0A 00 ",
         "0A 00 "},
        {"network address", print_network_address, Value::octets(ASN_IP_ADDRESS, {10, 0, 0, 1}),
         "IpAddress:\t10.0.0.1", "10.0.0.1"},
        {"null", print_null, Value::number(ASN_NULL, 0), "NULL", "NULL"},
        {"bad tag", render_by_tag, Value::number(0x80, 0), "Variable has bad type",
         "Variable has bad type"},
        {"bad tag, typed printer", print_integer, Value::number(0x80, 0), "Variable has bad type",
         "Variable has bad type"},
        {"string to an integer printer", print_integer,
         Value::octets(ASN_OCTET_STRING, text_of("up")), "OCTET STRING- (ascii):\tup", "up"},
    };
    for (Case& c : cases) {
        EXPECT_EQ(print(c.printer, c.value, 0), c.labelled) << c.what;
        EXPECT_EQ(print(c.printer, c.value, 1), c.bare) << c.what;
        // The generic printer gives the same text for every value whose own printer is the
        // one for its tag.
        if (c.printer == print_octet_string || c.printer == print_time_ticks ||
            c.printer == print_counter || c.printer == print_null) {
            EXPECT_EQ(print(render_by_tag, c.value, 0), c.labelled) << c.what;
        }
    }
}

TEST_F(ValuePrinters, Enumerations) {
    struct EnumCase {
        ValuePrinter printer;
        int32_t tag;
        uint32_t value;
        const EnumEntry* enums;
        std::string labelled, bare;
    } cases[] = {
        {print_integer, ASN_INTEGER, 2, &up_down, "INTEGER: down", "down"},
        {print_integer, ASN_INTEGER, 1, &up_down, "INTEGER: up", "up"},
        {print_integer, ASN_INTEGER, 3, &up_down, "INTEGER: 3", "3"},
        {render_by_tag, ASN_INTEGER, 2, &up_down, "INTEGER: down", "down"},
        {print_unsigned_integer, ASN_UINTEGER, 2, &up_down, "INTEGER: down", "down"},
        {render_by_tag, ASN_UINTEGER, 4294967295u, &up_down, "INTEGER: 4294967295", "4294967295"},
        // Only integers have named values.
        {print_gauge, ASN_GAUGE, 2, &up_down, "Gauge: 2", "2"},
    };
    for (const EnumCase& c : cases) {
        EXPECT_EQ(print(c.printer, Value::number(c.tag, c.value), 0, c.enums), c.labelled);
        EXPECT_EQ(print(c.printer, Value::number(c.tag, c.value), 1, c.enums), c.bare);
    }
    // The first equal entry wins; an entry without a label gives the number.
    EnumEntry second{nullptr, 2, const_cast<char*>("second")};
    EnumEntry first{&second, 2, const_cast<char*>("first")};
    EXPECT_EQ(print(print_integer, Value::number(ASN_INTEGER, 2), 1, &first), "first");
    EnumEntry unnamed{nullptr, 2, nullptr};
    EXPECT_EQ(print(print_integer, Value::number(ASN_INTEGER, 2), 1, &unnamed), "2");
}

TEST_F(ValuePrinters, ObjectIdentifiersUseTheTree) {
    Mib = build_standard_mib2_tree();
    const Value sys_descr = Value::oid({1, 3, 6, 1, 2, 1, 1, 1, 0});
    EXPECT_EQ(print(print_object_id, sys_descr, 0),
              "OBJECT IDENTIFIER:\t.iso.org.dod.internet.mgmt.mib-2.system.sysDescr.0");
    EXPECT_EQ(print(print_object_id, sys_descr, 1),
              ".iso.org.dod.internet.mgmt.mib-2.system.sysDescr.0");
    EXPECT_EQ(print(render_by_tag, Value::oid({2, 5}), 1), ".2.5");
    EXPECT_EQ(print(render_by_tag, Value::oid({}), 1), ".");
}

TEST_F(ValuePrinters, MissingValuesAreBadTypes) {
    char buffer[64];
    const MibVariable nothing{nullptr, nullptr};
    render_by_tag(buffer, sizeof buffer, &nothing, nullptr, 0);
    EXPECT_STREQ(buffer, "Variable has bad type");
    print_integer(buffer, sizeof buffer, nullptr, nullptr, 1);
    EXPECT_STREQ(buffer, "Variable has bad type");
    // A negative length or missing data reads as an empty string.
    MibValue broken{};
    broken.tag = ASN_OCTET_STRING;
    broken.data.string.length = -5;
    const MibVariable v{nullptr, &broken};
    print_octet_string(buffer, sizeof buffer, &v, nullptr, 1);
    EXPECT_STREQ(buffer, "");
    broken.data.string.length = 5;
    print_octet_string(buffer, sizeof buffer, &v, nullptr, 1);
    EXPECT_STREQ(buffer, "");
}

TEST(PrinterForType, AttachTable) {
    const std::vector<std::pair<int32_t, ValuePrinter>> table = {
        {0, nullptr},
        {1, print_object_id},
        {2, print_octet_string},
        {3, print_integer},
        {4, print_network_address},
        {5, print_ip_address},
        {6, print_counter},
        {7, print_gauge},
        {8, print_time_ticks},
        {9, print_opaque},
        {10, print_null},
        {11, nullptr},
        {12, nullptr},
        {13, nullptr},
        {14, nullptr},
        {15, print_octet_string2},
        {16, print_display_string},
        {17, nullptr},
        {18, nullptr},
        {19, nullptr},
        {20, nullptr},
        {-1, nullptr},
    };
    for (const auto& [type, printer] : table) EXPECT_EQ(printer_for_type(type), printer) << type;
}

TEST(PrinterForType, AttachedPrintersFollowTheType) {
    MibNode* tree = build_standard_mib2_tree();
    MibNode* descr = find_by_labels(tree, "iso.org.dod.internet.mgmt.mib-2.system.sysDescr");
    ASSERT_NE(descr, nullptr);
    EXPECT_EQ(descr->printer, print_octet_string);
    MibNode* hc = find_by_labels(
        tree, "iso.org.dod.internet.mgmt.mib-2.ifMIB.ifMIBObjects.ifXTable.ifXEntry.ifHCInOctets");
    ASSERT_NE(hc, nullptr);
    EXPECT_EQ(hc->printer, nullptr);
    release_mib_tree(tree);
}

TEST(AsnTagForType, EveryCode) {
    const int32_t expected[] = {0,    0x06, 0x04, 0x02, 0x40, 0x40, 0x41, 0x42, 0x43, 0x44, 0x05,
                                0x46, 0,    0x45, 0x47, 0x04, 0x04, 0,    0,    0,    0};
    for (int32_t type = 0; type <= 20; ++type)
        EXPECT_EQ(asn_tag_for_type(type), expected[type]) << type;
    EXPECT_EQ(asn_tag_for_type(-1), 0);
}

}  // namespace
