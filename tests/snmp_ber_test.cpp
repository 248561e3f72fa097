// The BER codec and message decoder: what round-trips, and what a datagram may not contain.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/snmp/ber.h"
#include "runtime/snmp/message.h"
#include "runtime/snmp/node_address.h"

using namespace snmp;

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> out;
    for (int b : list) out.push_back(static_cast<uint8_t>(b));
    return out;
}

// A response message around one binding whose value is `value` (tag, length, contents).
std::vector<uint8_t> response_with_value(const std::vector<uint8_t>& value) {
    std::vector<uint8_t> vb = bytes({0x06, 0x03, 0x2B, 0x06, 0x01});
    vb.insert(vb.end(), value.begin(), value.end());
    auto wrap = [](uint8_t tag, std::vector<uint8_t> inner) {
        std::vector<uint8_t> out{tag};
        if (inner.size() < 128) {
            out.push_back(static_cast<uint8_t>(inner.size()));
        } else {
            out.push_back(0x82);
            out.push_back(static_cast<uint8_t>(inner.size() >> 8));
            out.push_back(static_cast<uint8_t>(inner.size()));
        }
        out.insert(out.end(), inner.begin(), inner.end());
        return out;
    };
    std::vector<uint8_t> pdu = bytes({0x02, 0x01, 0x07, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00});
    const auto list = wrap(0x30, wrap(0x30, vb));
    pdu.insert(pdu.end(), list.begin(), list.end());
    std::vector<uint8_t> msg = bytes({0x02, 0x01, 0x01, 0x04, 0x01, 'p'});
    const auto p = wrap(0xA2, pdu);
    msg.insert(msg.end(), p.begin(), p.end());
    return wrap(0x30, msg);
}

bool decodes(const std::vector<uint8_t>& datagram, Message& m) {
    return decode_message(datagram.data(), datagram.size(), m, nullptr);
}

}  // namespace

TEST(BerValueTest, EveryValueTagRoundTrips) {
    const uint32_t oid_value[] = {1, 3, 6, 1, 4, 1, 4294967295u, 0};
    const std::string text = "ab\0c";
    const uint8_t ip[] = {10, 0, 0, 1};
    struct Case {
        uint8_t tag;
        uint64_t number;
    };
    std::vector<Binding> in;
    const uint32_t name[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 2, 7};
    auto add = [&](uint8_t tag, auto setter) {
        Binding b{name, 11, tag, {}};
        setter(b.value);
        in.push_back(b);
    };
    for (int32_t v : {0, 1, -1, 127, 128, -128, -129, 2147483647, -2147483647 - 1}) {
        add(ASN_INTEGER, [v](MibValueData& d) { d.integer = v; });
    }
    for (uint8_t tag : {ASN_COUNTER, ASN_GAUGE, ASN_TIME_TICKS, ASN_UINTEGER}) {
        for (uint32_t v : {0u, 127u, 128u, 2147483648u, 4294967295u}) {
            add(tag, [v](MibValueData& d) { d.uinteger = v; });
        }
    }
    for (uint64_t v : {uint64_t{0}, uint64_t{1} << 63, ~uint64_t{0}, uint64_t{4294967296}}) {
        add(ASN_COUNTER64, [v](MibValueData& d) { d.counter64 = v; });
    }
    for (uint8_t tag : {ASN_OCTET_STRING, ASN_OPAQUE, ASN_NSAP_ADDRESS}) {
        add(tag, [&](MibValueData& d) {
            d.string.length = 4;
            d.string.bytes = reinterpret_cast<const uint8_t*>("ab\0c");
        });
    }
    add(ASN_IP_ADDRESS, [&](MibValueData& d) {
        d.string.length = 4;
        d.string.bytes = ip;
    });
    add(ASN_OBJECT_ID, [&](MibValueData& d) {
        d.string.length = 8;
        d.string.ids = oid_value;
    });
    for (uint8_t tag :
         {uint8_t(ASN_NULL), kTagNoSuchObject, kTagNoSuchInstance, kTagEndOfMibView}) {
        add(tag, [](MibValueData&) {});
    }
    // A long string forces long-form lengths all the way out.
    const std::string long_text(300, 'x');
    add(ASN_OCTET_STRING, [&](MibValueData& d) {
        d.string.length = 300;
        d.string.bytes = reinterpret_cast<const uint8_t*>(long_text.data());
    });

    Message m;
    m.version = kVersion1;
    m.community = "community";
    m.pdu_type = kPduResponse;
    m.request_id = 2000000000;
    m.error_status = 2;
    m.error_index = 3;
    m.bindings = in;
    BerWriter w(16);  // small on purpose: the writer must grow
    encode_message(m, w);
    Message out;
    const char* why = nullptr;
    ASSERT_TRUE(decode_message(w.data(), w.size(), out, &why)) << why;
    EXPECT_EQ(out.version, kVersion1);
    EXPECT_EQ(out.community, "community");
    EXPECT_EQ(out.pdu_type, kPduResponse);
    EXPECT_EQ(out.request_id, 2000000000);
    EXPECT_EQ(out.error_status, 2);
    EXPECT_EQ(out.error_index, 3);
    ASSERT_EQ(out.bindings.size(), in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        SCOPED_TRACE(i);
        const Binding& a = in[i];
        const Binding& b = out.bindings[i];
        EXPECT_EQ(b.tag, a.tag);
        EXPECT_EQ(std::vector<uint32_t>(b.name, b.name + b.name_length),
                  std::vector<uint32_t>(a.name, a.name + a.name_length));
        switch (a.tag) {
            case ASN_INTEGER:
                EXPECT_EQ(b.value.integer, a.value.integer);
                break;
            case ASN_COUNTER64:
                EXPECT_EQ(b.value.counter64, a.value.counter64);
                break;
            case ASN_OBJECT_ID:
                ASSERT_EQ(b.value.string.length, 8);
                EXPECT_EQ(std::vector<uint32_t>(b.value.string.ids, b.value.string.ids + 8),
                          std::vector<uint32_t>(oid_value, oid_value + 8));
                break;
            case ASN_OCTET_STRING:
            case ASN_OPAQUE:
            case ASN_NSAP_ADDRESS:
            case ASN_IP_ADDRESS:
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.value.string.bytes),
                                      static_cast<size_t>(b.value.string.length)),
                          std::string(reinterpret_cast<const char*>(a.value.string.bytes),
                                      static_cast<size_t>(a.value.string.length)));
                break;
            case ASN_NULL:
            case kTagNoSuchObject:
            case kTagNoSuchInstance:
            case kTagEndOfMibView:
                break;
            default:
                EXPECT_EQ(b.value.uinteger, a.value.uinteger);
                break;
        }
    }
}

TEST(BerValueTest, AcceptedEncodings) {
    struct Case {
        const char* what;
        std::vector<uint8_t> value;
        uint8_t tag;
        uint64_t expect;  // the value as unsigned 64 bits (integers sign-extended to 32)
    };
    const std::vector<Case> cases = {
        {"Counter64 maximum in 9 bytes",
         bytes({0x46, 0x09, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 0x46,
         ~uint64_t{0}},
        {"Counter32 maximum in 5 bytes", bytes({0x41, 0x05, 0, 0xFF, 0xFF, 0xFF, 0xFF}), 0x41,
         0xFFFFFFFFu},
        {"redundant leading zeros", bytes({0x42, 0x03, 0, 0, 5}), 0x42, 5},
        {"INTEGER with redundant sign byte", bytes({0x02, 0x05, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}),
         0x02, 0xFFFFFFFEu},
        {"long-form length", bytes({0x02, 0x81, 0x01, 0x2A}), 0x02, 42},
        {"four-byte long-form length", bytes({0x02, 0x84, 0, 0, 0, 1, 0x2A}), 0x02, 42},
        // Unsigned types without the zero byte that a first byte of 0x80 or more needs.
        {"Gauge32 maximum in 4 bytes", bytes({0x42, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}), 0x42,
         0xFFFFFFFFu},
        {"TimeTicks 0x80000000 in 4 bytes", bytes({0x43, 0x04, 0x80, 0, 0, 0}), 0x43, 0x80000000u},
        {"Counter32 255 in 1 byte", bytes({0x41, 0x01, 0xFF}), 0x41, 255},
        {"Counter64 maximum in 8 bytes",
         bytes({0x46, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 0x46, ~uint64_t{0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Message m;
        ASSERT_TRUE(decodes(response_with_value(c.value), m));
        ASSERT_EQ(m.bindings.size(), 1u);
        EXPECT_EQ(m.bindings[0].tag, c.tag);
        if (c.tag == 0x46) {
            EXPECT_EQ(m.bindings[0].value.counter64, c.expect);
        } else {
            EXPECT_EQ(m.bindings[0].value.uinteger, static_cast<uint32_t>(c.expect));
        }
    }
}

TEST(BerValueTest, RejectedValues) {
    struct Case {
        const char* what;
        std::vector<uint8_t> value;
    };
    const std::vector<Case> cases = {
        {"INTEGER above 2^31-1", bytes({0x02, 0x05, 0x00, 0x80, 0, 0, 0})},
        {"INTEGER below -2^31", bytes({0x02, 0x05, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF})},
        {"empty INTEGER", bytes({0x02, 0x00})},
        {"Counter32 above 2^32-1", bytes({0x41, 0x05, 0x01, 0, 0, 0, 0})},
        {"Gauge32 of 5 bytes without a zero first", bytes({0x42, 0x05, 0x80, 0, 0, 0, 0})},
        {"Counter64 above 2^64-1", bytes({0x46, 0x09, 0x01, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"Counter64 of 9 bytes without a zero first",
         bytes({0x46, 0x09, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        {"IpAddress of 3 bytes", bytes({0x40, 0x03, 10, 0, 0})},
        {"NULL with contents", bytes({0x05, 0x01, 0x00})},
        {"endOfMibView with contents", bytes({0x82, 0x01, 0x00})},
        {"unknown tag", bytes({0x03, 0x01, 0x00})},
        {"constructed string", bytes({0x24, 0x00})},
        {"sub-identifier above 2^32-1",
         bytes({0x06, 0x07, 0x2B, 0x90, 0x80, 0x80, 0x80, 0x00, 0x01})},
        {"sub-identifier without its end", bytes({0x06, 0x02, 0x2B, 0x81})},
        {"sub-identifier with a zero group in front", bytes({0x06, 0x03, 0x2B, 0x80, 0x01})},
        {"empty identifier value", bytes({0x06, 0x00})},
        {"indefinite length", bytes({0x04, 0x80, 0x41, 0x00, 0x00})},
        {"length past the end", bytes({0x04, 0x05, 0x41})},
        {"five length bytes", bytes({0x04, 0x85, 0, 0, 0, 0, 1, 0x41})},
        {"length larger than the datagram", bytes({0x04, 0x84, 0x7F, 0xFF, 0xFF, 0xFF})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Message m;
        EXPECT_FALSE(decodes(response_with_value(c.value), m));
    }
}

TEST(BerMessageTest, RejectsDamagedMessages) {
    const auto good = response_with_value(bytes({0x02, 0x01, 0x05}));
    Message m;
    ASSERT_TRUE(decodes(good, m));
    // Every shorter prefix is damaged, and so is anything with a byte after it.
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(n));
        EXPECT_FALSE(decodes(cut, m)) << n;
    }
    auto longer = good;
    longer.push_back(0);
    EXPECT_FALSE(decodes(longer, m));
    // Not a message sequence; an SNMPv1 trap is no answer.
    auto wrong = good;
    wrong[0] = 0x31;
    EXPECT_FALSE(decodes(wrong, m));
    const auto trap =
        bytes({0x30, 0x0A, 0x02, 0x01, 0x00, 0x04, 0x01, 'p', 0xA4, 0x02, 0x05, 0x00});
    EXPECT_FALSE(decodes(trap, m));
    // Error statuses are never negative.
    auto negative = good;
    negative[15] = 0xFF;  // the error status byte
    EXPECT_FALSE(decodes(negative, m));
}

TEST(BerWriterTest, MinimalEncodings) {
    struct Case {
        int64_t value;
        std::vector<uint8_t> expect;
    };
    for (const Case& c : std::vector<Case>{{0, bytes({2, 1, 0})},
                                           {127, bytes({2, 1, 0x7F})},
                                           {128, bytes({2, 2, 0, 0x80})},
                                           {-1, bytes({2, 1, 0xFF})},
                                           {-129, bytes({2, 2, 0xFF, 0x7F})}}) {
        BerWriter w;
        w.put_signed(ASN_INTEGER, c.value);
        EXPECT_EQ(std::vector<uint8_t>(w.data(), w.data() + w.size()), c.expect) << c.value;
    }
    BerWriter w;
    w.put_unsigned(ASN_COUNTER64, ~uint64_t{0});
    EXPECT_EQ(std::vector<uint8_t>(w.data(), w.data() + w.size()),
              bytes({0x46, 9, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    const uint32_t oid[] = {1, 3, 6, 1, 128, 16384};
    w.clear();
    w.put_oid(oid, 6);
    EXPECT_EQ(std::vector<uint8_t>(w.data(), w.data() + w.size()),
              bytes({0x06, 0x08, 0x2B, 0x06, 0x01, 0x81, 0x00, 0x81, 0x80, 0x00}));
}

TEST(NodeAddressTest, Forms) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        uint16_t port;
    };
    const std::vector<Case> cases = {
        {"router", true, "router", 161},
        {"10.0.0.1:1161", true, "10.0.0.1", 1161},
        {"[::1]:1161", true, "::1", 1161},
        {"[fe80::1]", true, "fe80::1", 161},
        {"fe80::1", true, "fe80::1", 161},
        {"::1", true, "::1", 161},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:12x", false, "", 0},
        {"host:", false, "", 0},
        {":161", false, "", 0},
        {"", false, "", 0},
        {"[::1", false, "", 0},
        {"[]:161", false, "", 0},
        {"[::1]161", false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        NodeAddress a;
        ASSERT_EQ(parse_node(c.text, 161, a), c.ok);
        if (c.ok) {
            EXPECT_EQ(a.host, c.host);
            EXPECT_EQ(a.port, c.port);
        }
    }
    NodeAddress a;
    EXPECT_FALSE(parse_node(nullptr, 161, a));
}
