// The printers' text helpers, and capacities: nothing is ever written past the capacity given.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mib/mib.h"
#include "tests/support/fresh_state.h"
#include "tests/support/mib_builder.h"

using namespace testing_support;

namespace {

class Capacities : public FreshState {};

using Bytes = std::vector<uint8_t>;

TEST(TextTest, Bytes) {
    struct Case {
        Bytes bytes;
        bool octet, display;
    } cases[] = {
        {{}, true, true},
        {{'a', 'b', 'c'}, true, true},
        {{'a', ' ', '\t', '\n', '\v', '\f', '\r'}, true, true},
        {{'a', 0}, true, true},
        {{0}, false, true},
        {{0, 'a'}, false, false},
        {{'a', 0, 0}, false, false},
        {{0x7F}, false, false},
        {{0x80}, false, false},
        {{'a', 0xFF}, false, false},
        {{0x1B}, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bytes_are_text(c.bytes.data(), c.bytes.size(), false), c.octet);
        EXPECT_EQ(bytes_are_text(c.bytes.data(), c.bytes.size(), true), c.display);
    }
}

TEST(TextBytes, DotsForEveryOtherByte) {
    const Bytes b = {'a', 0, '\t', 0x7F, 0x80, 0xFF, 'z'};
    char buffer[16];
    EXPECT_EQ(text_bytes(buffer, sizeof buffer, b.data(), b.size()), 7u);
    EXPECT_STREQ(buffer, "a.\t...z");
}

TEST(TicksText, Forms) {
    struct Case {
        uint32_t ticks;
        const char* text;
    } cases[] = {
        {0, "0:00:00.00"},
        {99, "0:00:00.99"},
        {6000, "0:01:00.00"},
        {360000, "1:00:00.00"},
        {8639999, "23:59:59.99"},
        {8640000, "1 day, 0:00:00.00"},
        {17280000, "2 days, 0:00:00.00"},
        {123456789, "14 days, 6:56:07.89"},
        {4294967295u, "497 days, 2:27:52.95"},
    };
    for (const Case& c : cases) {
        char buffer[kTicksTextSize];
        ticks_text(buffer, sizeof buffer, c.ticks);
        EXPECT_STREQ(buffer, c.text);
    }
}

// Runs `write` with every capacity from 0 to the full length and one more, in a buffer followed
// by a guard region. Each result must be a prefix of the full text, NUL-terminated within the
// capacity, with nothing written after it.
template <class Write>
void check_capacities(const std::string& what, Write write, bool whole_lines = false) {
    std::vector<char> full_buffer(65536);
    write(full_buffer.data(), static_cast<int32_t>(full_buffer.size()));
    const std::string full = full_buffer.data();
    for (int32_t capacity = 0; capacity <= static_cast<int32_t>(full.size()) + 1; ++capacity) {
        std::vector<char> buffer(static_cast<size_t>(capacity) + 64, '\x7f');
        write(buffer.data(), capacity);
        for (size_t i = static_cast<size_t>(capacity); i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], '\x7f') << what << ": wrote past capacity " << capacity;
        if (capacity == 0) continue;
        const size_t n = strnlen(buffer.data(), static_cast<size_t>(capacity));
        ASSERT_LT(n, static_cast<size_t>(capacity)) << what << ": no NUL in " << capacity;
        const std::string got(buffer.data(), n);
        ASSERT_EQ(full.compare(0, n, got), 0) << what << ": not a prefix at " << capacity;
        if (whole_lines && n > 0 && full.size() > n) {
            // The header before the first dump line may be cut anywhere; the dump only at a line.
            const size_t header = full.find("     0:  ");
            ASSERT_TRUE(got.back() == '\n' || n <= header) << what << ": cut within a line";
        }
    }
}

struct Sample {
    const char* what;
    ValuePrinter printer;
    int32_t tag;
    Bytes bytes;
    uint64_t number;
};

TEST_F(Capacities, PrintersNeverPassTheirCapacity) {
    Mib = build_standard_mib2_tree();
    Bytes dump_bytes;
    for (int i = 0; i < 40; ++i) dump_bytes.push_back(static_cast<uint8_t>(i * 7));
    static EnumEntry label{nullptr, 5, const_cast<char*>("aVeryLongEnumerationLabel")};
    const Sample samples[] = {
        {"text", print_octet_string, ASN_OCTET_STRING, {'h', 'e', 'l', 'l', 'o'}, 0},
        {"dump", print_octet_string, ASN_OCTET_STRING, dump_bytes, 0},
        {"display dump", print_display_string, ASN_OCTET_STRING, dump_bytes, 0},
        {"display text", print_display_string, ASN_OCTET_STRING, {'h', 'i'}, 0},
        {"opaque", print_opaque, ASN_OPAQUE, dump_bytes, 0},
        {"empty opaque", print_opaque, ASN_OPAQUE, {}, 0},
        {"nsap", print_nsap_address, ASN_NSAP_ADDRESS, dump_bytes, 0},
        {"ip", print_ip_address, ASN_IP_ADDRESS, {192, 168, 100, 200}, 0},
        {"short ip", print_ip_address, ASN_IP_ADDRESS, {192, 168}, 0},
        {"ticks", print_time_ticks, ASN_TIME_TICKS, {}, 4294967295u},
        {"integer", print_integer, ASN_INTEGER, {}, 0x80000000u},
        {"enum", print_integer, ASN_INTEGER, {}, 5},
        {"unsigned", print_unsigned_integer, ASN_UINTEGER, {}, 4294967295u},
        {"gauge", print_gauge, ASN_GAUGE, {}, 4294967295u},
        {"counter", print_counter, ASN_COUNTER, {}, 4294967295u},
        {"counter64", print_counter, ASN_COUNTER64, {}, ~0ull},
        {"null", print_null, ASN_NULL, {}, 0},
        {"bad", render_by_tag, 0x80, {}, 0},
    };
    for (const Sample& s : samples) {
        for (int32_t form = 0; form <= 1; ++form) {
            MibValue value{};
            value.tag = s.tag;
            if (s.bytes.empty() && s.tag != ASN_OPAQUE) {
                value.data.counter64 = s.number;
            } else {
                value.data.string.length = static_cast<int32_t>(s.bytes.size());
                value.data.string.bytes = s.bytes.data();
            }
            const MibVariable variable{nullptr, &value};
            const bool dump = form == 0 && s.bytes.size() > 20;
            check_capacities(
                s.what,
                [&](char* buffer, int32_t capacity) {
                    s.printer(buffer, capacity, &variable, &label, form);
                },
                dump);
        }
    }
    const uint32_t ids[] = {1, 3, 6, 1, 2, 1, 1, 1, 0, 4000000000u};
    MibValue oid{};
    oid.tag = ASN_OBJECT_ID;
    oid.data.string.length = 10;
    oid.data.string.ids = ids;
    const MibVariable variable{nullptr, &oid};
    for (int32_t form = 0; form <= 1; ++form)
        check_capacities("oid", [&](char* buffer, int32_t capacity) {
            print_object_id(buffer, capacity, &variable, nullptr, form);
        });
}

TEST_F(Capacities, NegativeCapacityWritesNothing) {
    char buffer[8] = "xxxxxxx";
    MibValue value{};
    value.tag = ASN_NULL;
    const MibVariable variable{nullptr, &value};
    print_null(buffer, -1, &variable, nullptr, 0);
    render_by_tag(buffer, INT32_MIN, &variable, nullptr, 0);
    EXPECT_STREQ(buffer, "xxxxxxx");
}

TEST_F(Capacities, HelpersCutAtWholeUnits) {
    const Bytes b = {1, 2, 3, 4, 5};
    char buffer[128];
    EXPECT_EQ(hex_bytes(buffer, 8, b.data(), b.size()), 6u);
    EXPECT_STREQ(buffer, "01 02 ");
    EXPECT_EQ(hex_bytes(buffer, 3, b.data(), b.size()), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(text_bytes(buffer, 3, reinterpret_cast<const uint8_t*>("abcdef"), 6), 2u);
    EXPECT_STREQ(buffer, "ab");
    // A dump line is 78 characters.
    EXPECT_EQ(hex_dump(buffer, 78, b.data(), b.size()), 0u);
    EXPECT_EQ(hex_dump(buffer, 79, b.data(), b.size()), 78u);
    EXPECT_EQ(std::string(buffer).back(), '\n');
    EXPECT_EQ(ticks_text(buffer, 5, 4294967295u), 4u);
    EXPECT_STREQ(buffer, "497 ");
    EXPECT_EQ(hex_bytes(nullptr, 0, b.data(), b.size()), 0u);
}

TEST_F(Capacities, LargeDumpStaysWithinTheCallersBuffer) {
    // A 20000-byte value dumps to 97500 characters; the callers' 32768 holds whole lines.
    Bytes big(20000, 0xAB);
    MibValue value{};
    value.tag = ASN_OPAQUE;
    value.data.string.length = static_cast<int32_t>(big.size());
    value.data.string.bytes = big.data();
    const MibVariable variable{nullptr, &value};
    std::vector<char> buffer(32768 + 64, '\x7f');
    print_opaque(buffer.data(), 32768, &variable, nullptr, 0);
    const std::string text = buffer.data();
    EXPECT_LT(text.size(), 32768u);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ((text.size() - std::strlen("DISPLAY STRING-   (hex):  ")) % 78, 0u);
    EXPECT_EQ(buffer[32768], '\x7f');
}

}  // namespace
