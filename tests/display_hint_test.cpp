// DISPLAY-HINT rendering and index decoding: tables of hints and instances, well formed and not.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mib/display_hint.h"
#include "mib/index_decode.h"
#include "mib/render_value.h"
#include "tests/support/fresh_state.h"

using testing_support::FreshState;

namespace {

using Bytes = std::vector<uint8_t>;
const std::optional<std::string> kRefused;  // the caller falls back to its plain rendering

TEST(DisplayHintTest, OctetStrings) {
    const Bytes date = {0x07, 0xC8, 5, 26, 13, 30, 15, 0, '-', 4, 0};
    struct Case {
        const char* hint;
        Bytes bytes;
        std::optional<std::string> text;
    } cases[] = {
        {"1x:", {0x00, 0x12, 0x79, 0x62, 0xF9, 0x40}, "00:12:79:62:f9:40"},
        {"2d-1d-1d,1d:1d:1d.1d,1a1d:1d", date, "1992-5-26,13:30:15.0,-4:0"},
        // No time zone: the specifications left are ignored, the last separator dropped.
        {"2d-1d-1d,1d:1d:1d.1d,1a1d:1d", Bytes(date.begin(), date.begin() + 8),
         "1992-5-26,13:30:15.0"},
        {"255a", {'e', 't', 'h', '0', ' ', '\t'}, "eth0 \t"},
        {"1d.1d.1d.1d", {192, 0, 2, 1}, "192.0.2.1"},
        {"1d.1d.1d.1d", {192, 0, 2, 1, 7}, "192.0.2.17"},  // the last one again, no separator
        {"1d.", {10, 0, 0, 1, 2}, "10.0.0.1.2"},
        {"4d", {0, 0, 1, 0}, "256"},
        {"4d", {0, 0, 1, 0, 0xFF}, "256255"},
        {"8d", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "18446744073709551615"},
        {"2x", {0xAB, 0xCD, 0x01}, "abcd01"},
        {"1o ", {8, 255}, "10 377"},
        {"1x:", {}, ""},
        {"2x:2x:2x:2x:2x:2x:2x:2x%4d",
         {0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0x02, 0x12, 0x79, 0xFF, 0xFE, 0x62, 0xF9, 0x40, 0, 0, 0, 3},
         "fe80:0000:0000:0000:0212:79ff:fe62:f940%3"},
        // Repeat counts: separators between, the terminator after, neither at the end.
        {"*1x:/", {3, 0x0A, 0x0B, 0x0C, 2, 0x0D, 0x0E}, "0a:0b:0c/0d:0e"},
        {"*1x:/", {3, 0x0A, 0x0B}, "0a:0b"},
        {"*1x:/1a", {0, 'A'}, "/A"},
        {"*1d.", {2, 1, 2, 1, 9}, "1.2.9"},
        {"1a0a-1a", {'a', 'b'}, "a-b"},
        // UTF-8: whole characters copied; a character split by the octet length is refused.
        {"255t", {'c', 0xC3, 0xA9, ' ', 0xE2, 0x82, 0xAC}, "c\xC3\xA9 \xE2\x82\xAC"},
        {"2t", {0xC3, 0xA9, 'x', 0xC3, 0xA9}, kRefused},
        // Bytes the hint cannot show.
        {"255a", {'a', 0}, kRefused},
        {"255a", {'a', 0x1B}, kRefused},
        {"255a", {'a', 0xE9}, kRefused},
        {"255t", {0xC3}, kRefused},
        {"255t", {0xC0, 0xAF}, kRefused},              // overlong
        {"255t", {0xED, 0xA0, 0x80}, kRefused},        // surrogate
        {"255t", {0xF4, 0x90, 0x80, 0x80}, kRefused},  // above U+10FFFF
        {"255t", {0xC2, 0x85}, kRefused},              // C1 control
        {"255t", {'a', 0}, kRefused},
        // Malformed hints.
        {"", {1}, kRefused},
        {"x", {1}, kRefused},
        {"1", {1}, kRefused},
        {"1q", {1}, kRefused},
        {"*", {1}, kRefused},
        {"*x", {1}, kRefused},
        {"1x::", {1}, kRefused},
        {"1x:/", {1}, kRefused},  // a terminator needs a repeat indicator
        {"9d", {1}, kRefused},
        {"1x\x01", {1}, kRefused},
        {"1d.0d", {1, 2}, kRefused},  // never uses the value up
        {"99999999999x", {1, 2}, "0102"},
    };
    for (const Case& c : cases) {
        std::string out = "<";
        const bool done = render_octet_hint(out, c.hint, c.bytes.data(), c.bytes.size());
        EXPECT_EQ(done ? std::optional(out.substr(1)) : std::nullopt, c.text) << c.hint;
        if (!done) {
            EXPECT_EQ(out, "<") << c.hint;
        }
    }
}

TEST(DisplayHintTest, Integers) {
    struct Case {
        const char* hint;
        int64_t value;
        std::optional<std::string> text;
    } cases[] = {
        {"d", 1234, "1234"},
        {"d-2", 1234, "12.34"},
        {"d-2", 5, "0.05"},
        {"d-2", -5, "-0.05"},
        {"d-2", -1234, "-12.34"},
        {"d-0", 7, "7"},
        {"d-3", 0, "0.000"},
        {"x", 255, "ff"},
        {"x", -255, "-ff"},
        {"o", 8, "10"},
        {"b", 5, "101"},
        {"b", 0, "0"},
        {"d", INT64_MIN, "-9223372036854775808"},
        {"d-1", 4294967295, "429496729.5"},
        {"", 1, kRefused},
        {"d-", 1, kRefused},
        {"d-x", 1, kRefused},
        {"x-1", 1, kRefused},
        {"dd", 1, kRefused},
        {"d-65", 1, kRefused},
        {"1x:", 1, kRefused},
        {"d 2", 1, kRefused},
    };
    for (const Case& c : cases) {
        std::string out;
        const bool done = render_integer_hint(out, c.hint, c.value);
        EXPECT_EQ(done ? std::optional(out) : std::nullopt, c.text) << c.hint << " " << c.value;
        EXPECT_EQ(integer_hint_valid(c.hint), c.text.has_value()) << c.hint;
    }
}

IndexComponent component(IndexKind kind, uint32_t fixed_size = 0, bool implied = false,
                         std::string_view hint = {}, int32_t type = MIB_TYPE_OTHER) {
    IndexComponent c;
    c.kind = kind;
    c.fixed_size = fixed_size;
    c.implied = implied;
    c.syntax.type = type;
    c.syntax.hint = hint;
    return c;
}

class IndexDecodeTest : public FreshState {};

TEST_F(IndexDecodeTest, Instances) {
    EnumEntry inet_ipv6{nullptr, 2, const_cast<char*>("ipv6")};
    EnumEntry inet_ipv4{&inet_ipv6, 1, const_cast<char*>("ipv4")};
    IndexComponent inet_type = component(IndexKind::kInetAddressType);
    inet_type.syntax.enums = &inet_ipv4;
    const IndexComponent integer = component(IndexKind::kInteger, 0, false, {}, MIB_TYPE_INTEGER);
    const IndexComponent gauge = component(IndexKind::kUnsigned, 0, false, {}, MIB_TYPE_GAUGE);
    const IndexComponent ip = component(IndexKind::kIpAddress);
    const IndexComponent network = component(IndexKind::kNetworkAddress);
    const IndexComponent oid = component(IndexKind::kObjectId);
    const IndexComponent implied_oid = component(IndexKind::kObjectId, 0, true);
    const IndexComponent string = component(IndexKind::kOctetString);
    const IndexComponent mac = component(IndexKind::kOctetString, 6, false, "1x:");
    const IndexComponent implied_text = component(IndexKind::kOctetString, 0, true, "255a");
    const IndexComponent address = component(IndexKind::kInetAddress);
    const std::vector<IndexComponent> net_to_physical = {integer, inet_type, address};

    struct Case {
        const char* what;
        std::vector<IndexComponent> components;
        std::vector<uint32_t> instance;
        unsigned flags;
        std::vector<std::string> cells;
    } cases[] = {
        {"integer", {integer}, {7}, kRenderPlain, {"7"}},
        {"unsigned", {gauge}, {4294967295u}, kRenderPlain, {"4294967295"}},
        {"ip address and integer",
         {ip, integer},
         {192, 0, 2, 1, 5},
         kRenderPlain,
         {"192.0.2.1", "5"}},
        {"network address",
         {integer, network},
         {2, 1, 10, 0, 0, 1},
         kRenderPlain,
         {"2", "10.0.0.1"}},
        {"network address of another kind",
         {network, integer},
         {2, 10, 0, 0, 1, 3},
         kRenderPlain,
         {".2.10.0.0.1", "3"}},
        {"address type and address, plain",
         net_to_physical,
         {3, 1, 4, 192, 0, 2, 9},
         kRenderPlain,
         {"3", "ipv4", "C0 00 02 09 "}},
        {"address type and address, hinted",
         net_to_physical,
         {3, 1, 4, 192, 0, 2, 9},
         kRenderHint,
         {"3", "ipv4", "192.0.2.9"}},
        {"ipv6 address, hinted",
         net_to_physical,
         {3, 2, 16, 0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
         kRenderHint,
         {"3", "ipv6", "fe80:0000:0000:0000:0000:0000:0000:0001"}},
        {"two address pairs, each by its own type",
         {inet_type, address, gauge, inet_type, address, gauge},
         {1, 4, 10, 0, 0, 1, 22, 2, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 5000},
         kRenderHint,
         {"ipv4", "10.0.0.1", "22", "ipv6", "0000:0000:0000:0000:0000:0000:0000:0001", "5000"}},
        {"numbers for labels",
         net_to_physical,
         {3, 1, 4, 192, 0, 2, 9},
         kRenderHint | kRenderNumeric,
         {"3", "1", "192.0.2.9"}},
        {"length-prefixed string",
         {string, integer},
         {3, 'a', 'b', 'c', 9},
         kRenderPlain,
         {"abc", "9"}},
        {"empty string", {string, integer}, {0, 9}, kRenderPlain, {"", "9"}},
        {"fixed-size string",
         {mac, integer},
         {0, 0x12, 0x79, 0x62, 0xF9, 0x40, 2},
         kRenderHint,
         {"00:12:79:62:f9:40", "2"}},
        {"implied string",
         {integer, implied_text},
         {1, 'u', 's', 'e', 'r'},
         kRenderHint,
         {"1", "user"}},
        {"implied empty string", {integer, implied_text}, {1}, kRenderHint, {"1", ""}},
        {"identifier", {oid, integer}, {3, 1, 3, 6, 4}, kRenderPlain, {".1.3.6", "4"}},
        {"implied identifier",
         {integer, implied_oid},
         {2, 1, 3, 6, 1},
         kRenderPlain,
         {"2", ".1.3.6.1"}},
        // Extent unknown: the rest of the instance in that cell and every later one.
        {"missing component", {integer, integer}, {5}, kRenderPlain, {"5", ""}},
        {"short ip address", {ip, integer}, {10, 0, 0}, kRenderPlain, {".10.0.0", ".10.0.0"}},
        {"length beyond the instance",
         {integer, string, integer},
         {1, 9, 'a', 'b'},
         kRenderPlain,
         {"1", ".9.97.98", ".9.97.98"}},
        {"short fixed-size string", {mac}, {0, 1, 2}, kRenderHint, {".0.1.2"}},
        {"empty instance", {integer}, {}, kRenderPlain, {""}},
        // Extent known, content wrong: that cell alone.
        {"octet above 255", {string, integer}, {2, 'a', 256, 4}, kRenderPlain, {".2.97.256", "4"}},
        {"ip octet above 255",
         {ip, integer},
         {10, 0, 300, 1, 4},
         kRenderPlain,
         {".10.0.300.1", "4"}},
        {"negative integer",
         {integer, integer},
         {2147483648u, 4},
         kRenderPlain,
         {".2147483648", "4"}},
        {"address size against its type",
         net_to_physical,
         {3, 1, 3, 10, 0, 0},
         kRenderHint,
         {"3", "ipv4", ".3.10.0.0"}},
        {"implied string octet above 255", {implied_text}, {'a', 999}, kRenderPlain, {".97.999"}},
        // Left over: the last component takes the rest, undecoded.
        {"left over", {integer, integer}, {1, 2, 3}, kRenderPlain, {"1", ".2.3"}},
        {"left over after a string", {string}, {1, 'a', 'b'}, kRenderPlain, {".1.97.98"}},
    };
    std::vector<IndexValue> values;
    for (const Case& c : cases) {
        decode_index(c.instance.data(), c.instance.size(), c.components, values);
        ASSERT_EQ(values.size(), c.components.size()) << c.what;
        std::vector<std::string> cells;
        for (size_t k = 0; k < values.size(); ++k) {
            std::string cell;
            render_index_value(cell, c.instance.data(), values[k], c.components[k], c.flags);
            cells.push_back(cell);
        }
        EXPECT_EQ(cells, c.cells) << c.what;
    }
}

TEST(IndexComponentTest, FromNodeFacts) {
    struct Case {
        int32_t type;
        const char* convention;
        uint32_t fixed_size;
        std::optional<IndexKind> kind;
        uint32_t kept_size;
    } cases[] = {
        {MIB_TYPE_INTEGER, "", 0, IndexKind::kInteger, 0},
        {MIB_TYPE_INTEGER, "InetAddressType", 0, IndexKind::kInetAddressType, 0},
        {MIB_TYPE_GAUGE32, "", 0, IndexKind::kUnsigned, 0},
        {MIB_TYPE_IP_ADDRESS, "NetworkAddress", 0, IndexKind::kNetworkAddress, 0},
        {MIB_TYPE_OCTET_STRING, "PhysAddress", 6, IndexKind::kOctetString, 6},
        {MIB_TYPE_OCTET_STRING, "InetAddress", 4, IndexKind::kInetAddress, 0},
        {MIB_TYPE_OBJECT_ID, "", 0, IndexKind::kObjectId, 0},
        {MIB_TYPE_COUNTER64, "", 0, std::nullopt, 0},
        {MIB_TYPE_NULL, "", 0, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        MibNode node{};
        node.type = c.type;
        const auto made = index_component_for(node, c.convention, "1x:", c.fixed_size, true);
        ASSERT_EQ(made.has_value(), c.kind.has_value()) << c.type << c.convention;
        if (!made) continue;
        EXPECT_EQ(made->kind, *c.kind) << c.type << c.convention;
        EXPECT_EQ(made->fixed_size, c.kept_size) << c.type << c.convention;
        EXPECT_TRUE(made->implied);
        // An InetAddress takes its hint from its type's value, never its own.
        EXPECT_EQ(made->syntax.hint, *c.kind == IndexKind::kInetAddress ? "" : "1x:");
    }
}

TEST(RenderValueTest, PlainIsThePrinterText) {
    const uint8_t nul_ended[] = {'u', 'p', 0};
    MibValue display{ASN_OCTET_STRING, {}};
    display.data.string.length = 3;
    display.data.string.bytes = nul_ended;
    std::string out;
    // A display string ends at its NUL; the same bytes as a plain string are not text.
    render_value(out, display, {MIB_TYPE_DISPLAY_STRING, nullptr, "255a"}, kRenderHint);
    out += '|';
    render_value(out, display, {MIB_TYPE_OCTET_STRING, nullptr, {}}, kRenderPlain);
    out += '|';
    MibValue gauge{ASN_GAUGE, {}};
    gauge.data.uinteger = 1234;
    render_value(out, gauge, {MIB_TYPE_GAUGE, nullptr, "d-2"}, kRenderPlain);
    out += '|';
    render_value(out, gauge, {MIB_TYPE_GAUGE, nullptr, "d-2"}, kRenderHint);
    out += '|';
    render_value(out, gauge, {MIB_TYPE_GAUGE, nullptr, "d-2"}, kRenderHint | kRenderLabelled);
    EXPECT_EQ(out, "up|up.|1234|12.34|Gauge: 1234");
}

}  // namespace
