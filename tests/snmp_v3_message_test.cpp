// The SNMPv3 message codec: what round-trips, and what a datagram may not contain.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/snmp/message.h"
#include "runtime/snmp/v3_message.h"

using namespace snmp;

namespace {

struct Fields {
    int32_t msg_id = 5;
    int32_t max_size = 65507;
    uint8_t flags = kFlagAuth | kFlagReportable;
    std::vector<uint8_t> engine = std::vector<uint8_t>(11, 0x80);
    int32_t boots = 1;
    int32_t time = 2;
    std::string user = "alice";
    std::vector<uint8_t> auth = std::vector<uint8_t>(12, 0xAA);
    std::vector<uint8_t> priv;
    bool encrypted_data = false;  // an OCTET STRING for the data instead of a scoped PDU
    std::string context = "public";
};

ByteView view(const std::string& s) {
    return ByteView(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

void write_get(BerWriter& w) {
    const size_t pdu = w.mark();
    const size_t list = w.mark();
    w.close(kTagSequence, list);
    w.put_signed(ASN_INTEGER, 0);
    w.put_signed(ASN_INTEGER, 0);
    w.put_signed(ASN_INTEGER, 1);
    w.close(kPduGet, pdu);
}

std::vector<uint8_t> build(const Fields& f, size_t* auth_offset = nullptr) {
    BerWriter w;
    if (f.encrypted_data) {
        const uint8_t sealed[16] = {1, 2, 3};
        w.put_bytes(ASN_OCTET_STRING, sealed, sizeof sealed);
    } else {
        encode_scoped_pdu(f.engine, view(f.context), write_get, w);
    }
    V3Message m;
    m.msg_id = f.msg_id;
    m.max_size = f.max_size;
    m.flags = f.flags;
    m.usm = {f.engine, f.boots, f.time, view(f.user), f.auth, f.priv};
    encode_v3_message(m, w);
    if (auth_offset) *auth_offset = m.auth_offset;
    return {w.data(), w.data() + w.size()};
}

// Replaces the first `from` (hex) with `to`, of the same length.
std::vector<uint8_t> patched(std::vector<uint8_t> bytes, const std::string& from,
                             const std::string& to) {
    auto decode = [](const std::string& hex) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < hex.size(); i += 2)
            out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        return out;
    };
    const auto a = decode(from);
    const auto b = decode(to);
    auto at = std::search(bytes.begin(), bytes.end(), a.begin(), a.end());
    EXPECT_NE(at, bytes.end()) << from;
    if (at != bytes.end()) std::copy(b.begin(), b.end(), at);
    return bytes;
}

}  // namespace

TEST(V3MessageTest, EncodedMessagesDecodeToTheirFields) {
    Fields f;
    size_t auth_offset = 0;
    const std::vector<uint8_t> bytes = build(f, &auth_offset);
    V3Message m;
    const char* why = nullptr;
    ASSERT_TRUE(decode_v3_message(bytes.data(), bytes.size(), m, &why)) << why;
    EXPECT_EQ(m.msg_id, 5);
    EXPECT_EQ(m.max_size, 65507);
    EXPECT_EQ(m.flags, kFlagAuth | kFlagReportable);
    EXPECT_EQ(m.usm.boots, 1);
    EXPECT_EQ(m.usm.time, 2);
    EXPECT_EQ(std::string(m.usm.user_name.begin(), m.usm.user_name.end()), "alice");
    EXPECT_EQ(m.auth_offset, auth_offset);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + auth_offset, bytes.begin() + auth_offset + 12),
              f.auth);
    ScopedPdu scoped;
    ASSERT_TRUE(decode_scoped_pdu(m.data, 0, scoped, &why)) << why;
    EXPECT_EQ(scoped.pdu_type, kPduGet);
    EXPECT_EQ(std::string(scoped.context_name.begin(), scoped.context_name.end()), "public");

    // No prefix of a message is a message, and reading one stays inside it.
    for (size_t n = 0; n < bytes.size(); ++n) {
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + n);
        EXPECT_FALSE(decode_v3_message(prefix.data(), prefix.size(), m, nullptr)) << n;
    }
}

TEST(V3MessageTest, MalformedMessagesAreRefused) {
    struct Case {
        const char* name;
        void (*change)(Fields&);
        const char* from;  // a same-length byte patch after building, or null
        const char* to;
        const char* why;  // null: accepted
    };
    const Case cases[] = {
        {"as built", [](Fields&) {}, nullptr, nullptr, nullptr},
        {"empty engine id (discovery)", [](Fields& f) { f.engine.clear(); }, nullptr, nullptr,
         nullptr},
        {"engine id of 4 bytes", [](Fields& f) { f.engine.resize(4); }, nullptr, nullptr,
         "bad engine id"},
        {"engine id of 33 bytes", [](Fields& f) { f.engine.resize(33); }, nullptr, nullptr,
         "bad engine id"},
        {"user name of 33 bytes", [](Fields& f) { f.user.assign(33, 'u'); }, nullptr, nullptr,
         "bad user name"},
        {"negative message id", [](Fields& f) { f.msg_id = -1; }, nullptr, nullptr,
         "bad message id"},
        {"maximum size below 484", [](Fields& f) { f.max_size = 483; }, nullptr, nullptr,
         "bad maximum message size"},
        {"negative boots", [](Fields& f) { f.boots = -5; }, nullptr, nullptr, "bad engine boots"},
        {"negative time", [](Fields& f) { f.time = -5; }, nullptr, nullptr, "bad engine time"},
        {"privacy without authentication", [](Fields& f) { f.flags = kFlagPriv; }, nullptr, nullptr,
         "privacy flag without authentication flag"},
        {"privacy flag, plaintext data", [](Fields& f) { f.flags = kFlagAuth | kFlagPriv; },
         nullptr, nullptr, "privacy flag without encrypted data"},
        {"encrypted data, no privacy flag", [](Fields& f) { f.encrypted_data = true; }, nullptr,
         nullptr, "bad scoped PDU"},
        {"digest longer than any protocol's", [](Fields& f) { f.auth.resize(65); }, nullptr,
         nullptr, "bad authentication parameters"},
        {"version 2c", [](Fields&) {}, "020103", "020101", "not an SNMPv3 message"},
        {"community-based security model", [](Fields&) {}, "040105020103", "040105020101",
         "not the user-based security model"},
        {"flags of another type", [](Fields&) {}, "040105", "020105", "bad message flags"},
        {"indefinite length", [](Fields&) {}, "042c302a", "042c3080", "bad security parameters"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fields f;
        c.change(f);
        std::vector<uint8_t> bytes = build(f);
        if (c.from) bytes = patched(bytes, c.from, c.to);
        V3Message m;
        const char* why = nullptr;
        const bool decoded = decode_v3_message(bytes.data(), bytes.size(), m, &why);
        EXPECT_STREQ(decoded ? "accepted" : why, c.why ? c.why : "accepted");
    }
    std::vector<uint8_t> longer = build(Fields{});
    longer.push_back(0);
    V3Message m;
    const char* why = nullptr;
    EXPECT_FALSE(decode_v3_message(longer.data(), longer.size(), m, &why));
    EXPECT_STREQ(why, "bytes after the message");
}

TEST(V3MessageTest, ScopedPduMayEndInAtMostABlockOfPadding) {
    BerWriter w;
    const std::vector<uint8_t> engine(8, 0x80);
    encode_scoped_pdu(engine, view("ctx"), write_get, w);
    const std::vector<uint8_t> bare(w.data(), w.data() + w.size());
    struct Case {
        size_t pad;
        size_t allowed;
        bool ok;
    };
    // A whole block of padding after an aligned PDU is what some agents send.
    const Case cases[] = {{0, 0, true}, {3, 0, false}, {7, 8, true},
                          {8, 8, true}, {9, 8, false}, {15, 16, true}};
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = bare;
        bytes.resize(bytes.size() + c.pad, 0);
        ScopedPdu scoped;
        EXPECT_EQ(decode_scoped_pdu(bytes, c.allowed, scoped, nullptr), c.ok)
            << c.pad << " after, " << c.allowed << " allowed";
    }
    // A context name of 33 bytes, and something that is not a PDU where the PDU belongs.
    w.clear();
    encode_scoped_pdu(engine, view(std::string(33, 'c')), write_get, w);
    ScopedPdu scoped;
    const char* why = nullptr;
    EXPECT_FALSE(decode_scoped_pdu(ByteView(w.data(), w.size()), 0, scoped, &why));
    EXPECT_STREQ(why, "bad context name");
    w.clear();
    encode_scoped_pdu(
        engine, view("ctx"), [](BerWriter& x) { x.put_null(); }, w);
    EXPECT_FALSE(decode_scoped_pdu(ByteView(w.data(), w.size()), 0, scoped, &why));
    EXPECT_STREQ(why, "bad PDU");
}
