// The user-based security model: keys against published vectors, wrap and unwrap for every
// protocol pair, answers captured from a real agent, and the answers that must be dropped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/snmp/message.h"
#include "runtime/snmp/usm.h"
#include "runtime/snmp/usm_keys.h"

using namespace snmp;

namespace {

std::vector<uint8_t> from_hex(const std::string& hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string to_hex(ByteView bytes) {
    std::string out;
    char buffer[3];
    for (uint8_t b : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02x", b);
        out += buffer;
    }
    return out;
}

const std::vector<uint8_t> kVectorEngine = from_hex("000000000000000000000002");
const std::vector<uint8_t> kEngine = from_hex("80001f8880aabbccddeeff0011");

// A PDU of `type` with one binding, sysDescr.0 = "demo".
PduWriter demo_pdu(uint8_t type) {
    return [type](BerWriter& w) {
        static const uint32_t name[] = {1, 3, 6, 1, 2, 1, 1, 1, 0};
        const size_t pdu = w.mark();
        const size_t list = w.mark();
        const size_t binding = w.mark();
        w.put_bytes(ASN_OCTET_STRING, reinterpret_cast<const uint8_t*>("demo"), 4);
        w.put_oid(name, 9);
        w.close(kTagSequence, binding);
        w.close(kTagSequence, list);
        w.put_signed(ASN_INTEGER, 0);
        w.put_signed(ASN_INTEGER, 0);
        w.put_signed(ASN_INTEGER, 4242);
        w.close(type, pdu);
    };
}

std::vector<uint8_t> encoded(const PduWriter& pdu) {
    BerWriter w;
    pdu(w);
    return {w.data(), w.data() + w.size()};
}

UsmPeer make_peer(const std::string& name, AuthProtocol auth, PrivProtocol priv,
                  SecurityLevel level, const std::vector<uint8_t>& engine, int32_t boots,
                  int32_t time, UsmClock::time_point now) {
    UsmPeer peer;
    peer.user = {name, level, auth, "maplesyrup", priv, "plumpudding"};
    const char* why = nullptr;
    EXPECT_TRUE(set_engine(peer, engine, boots, time, now, &why)) << why;
    return peer;
}

// Why a datagram is not taken as the answer to `request`, or null when it is.
const char* receive(const UsmPeer& peer, const V3Request& request,
                    const std::vector<uint8_t>& datagram, UsmClock::time_point now) {
    V3Answer answer;
    std::vector<uint8_t> plaintext;
    const char* why = nullptr;
    if (!unwrap_message(peer, datagram.data(), datagram.size(), answer, plaintext, &why))
        return why;
    return match_answer(peer, request, answer, now);
}

}  // namespace

TEST(UsmKeyTest, KeysMatchPublishedVectors) {
    // Password "maplesyrup" at engine 00..02. MD5 and SHA-1 are the standard's own vectors; the
    // SHA-2 rows were checked against two independent implementations.
    struct Case {
        AuthProtocol protocol;
        const char* master;  // empty: not checked
        const char* localized;
    };
    const Case cases[] = {
        {AuthProtocol::kMd5, "9faf3283884e92834ebc9847d8edd963",
         "526f5eed9fcce26f8964c2930787d82b"},
        {AuthProtocol::kSha1, "9fb5cc0381497b3793528939ff788d5d79145211",
         "6695febc9288e36282235fc7151f128497b38f3f"},
        {AuthProtocol::kSha224, "", "0bd8827c6e29f8065e08e09237f177e410f69b90e1782be682075674"},
        {AuthProtocol::kSha256, "",
         "8982e0e549e866db361a6b625d84cccc11162d453ee8ce3a6445c2d6776f0f8b"},
        {AuthProtocol::kSha384, "",
         "3b298f16164a11184279d5432bf169e2d2a48307de02b3d3f7e2b4f36eb6f0455a53689a3937eea07319"
         "a633d2ccba78"},
        {AuthProtocol::kSha512, "",
         "22a5a36cedfcc085807a128d7bc6c2382167ad6c0dbc5fdff856740f3d84c099ad1ea87a8db096714d97"
         "88bd544047c9021e4229ce27e4c0a69250adfcffbb0b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(auth_info(c.protocol).name);
        SecretBytes master;
        ASSERT_TRUE(password_to_key(auth_info(c.protocol).hash, "maplesyrup", master));
        if (*c.master) {
            EXPECT_EQ(to_hex(master.view()), c.master);
        }
        SecretBytes localized;
        ASSERT_TRUE(localized_auth_key(c.protocol, "maplesyrup", kVectorEngine, localized));
        EXPECT_EQ(to_hex(localized.view()), c.localized);
    }
}

TEST(UsmKeyTest, PrivacyKeysAreExtendedTheWayAgentsExtendThem) {
    // Password "maplesyrup" at engine 00..02; values checked against another implementation.
    struct Case {
        AuthProtocol auth;
        PrivProtocol priv;
        const char* key;
    };
    const Case cases[] = {
        {AuthProtocol::kMd5, PrivProtocol::kDes, "526f5eed9fcce26f8964c2930787d82b"},
        {AuthProtocol::kMd5, PrivProtocol::k3DesEde,
         "526f5eed9fcce26f8964c2930787d82b79eff44a90650ee0a3a40abfac5acc12"},
        {AuthProtocol::kSha1, PrivProtocol::kAes192,
         "6695febc9288e36282235fc7151f128497b38f3f505e07eb"},
        {AuthProtocol::kSha1, PrivProtocol::kAes192Reeder,
         "6695febc9288e36282235fc7151f128497b38f3f9b8b6d78"},
        {AuthProtocol::kSha224, PrivProtocol::kAes256,
         "0bd8827c6e29f8065e08e09237f177e410f69b90e1782be682075674e82d9bf0"},
        {AuthProtocol::kSha224, PrivProtocol::kAes256Reeder,
         "0bd8827c6e29f8065e08e09237f177e410f69b90e1782be68207567422c34be4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(auth_info(c.auth).name) + "/" + priv_info(c.priv).name);
        SecretBytes key;
        ASSERT_TRUE(localized_priv_key(c.auth, c.priv, "maplesyrup", kVectorEngine, key));
        EXPECT_EQ(to_hex(key.view()), c.key);
    }
}

TEST(UsmWrapTest, EveryProtocolPairRoundTrips) {
    const auto now = UsmClock::now();
    const PduWriter pdu = demo_pdu(kPduResponse);
    const std::vector<uint8_t> pdu_bytes = encoded(pdu);
    for (int a = 0; a <= static_cast<int>(AuthProtocol::kSha512); ++a) {
        for (int p = 0; p <= static_cast<int>(PrivProtocol::kAes256Reeder); ++p) {
            const auto auth = static_cast<AuthProtocol>(a);
            const auto priv = static_cast<PrivProtocol>(p);
            if (auth == AuthProtocol::kNone && priv != PrivProtocol::kNone) continue;
            const SecurityLevel level = priv != PrivProtocol::kNone ? SecurityLevel::kAuthPriv
                                        : auth != AuthProtocol::kNone
                                            ? SecurityLevel::kAuthNoPriv
                                            : SecurityLevel::kNoAuthNoPriv;
            SCOPED_TRACE(std::string(auth_info(auth).name) + "/" + priv_info(priv).name);
            UsmPeer peer = make_peer("alice", auth, priv, level, kEngine, 3, 500, now);
            V3Request request;
            request.msg_id = 77;
            request.context_name = "public";
            std::vector<uint8_t> datagram;
            const char* why = nullptr;
            ASSERT_TRUE(wrap_request(peer, request, pdu, now, datagram, &why)) << why;

            V3Answer answer;
            std::vector<uint8_t> plaintext;
            ASSERT_TRUE(
                unwrap_message(peer, datagram.data(), datagram.size(), answer, plaintext, &why))
                << why;
            EXPECT_EQ(match_answer(peer, request, answer, now), nullptr);
            EXPECT_EQ(answer.authenticated, auth != AuthProtocol::kNone);
            EXPECT_EQ(answer.message.usm.auth.size(), auth_info(auth).digest_length);
            EXPECT_EQ(std::vector<uint8_t>(answer.scoped.pdu.begin(), answer.scoped.pdu.end()),
                      pdu_bytes);
            const bool visible = std::search(datagram.begin(), datagram.end(), pdu_bytes.begin(),
                                             pdu_bytes.end()) != datagram.end();
            EXPECT_EQ(visible, priv == PrivProtocol::kNone);
        }
    }
}

TEST(UsmWrapTest, AnswersOfARealAgentUnwrap) {
    // Answers to Get sysDescr.0, captured from snmpsim; engine 80004fb805766d574a3c00, context
    // "public". The AES answers are padded to 8 bytes before encryption; the last two need
    // their key extended, one way each.
    struct Case {
        const char* user;
        AuthProtocol auth;
        const char* auth_pass;
        PrivProtocol priv;
        const char* priv_pass;
        const char* datagram;
    };
    const Case cases[] = {
        {"uMD5_DES", AuthProtocol::kMd5, "authpassMD5", PrivProtocol::kDes, "privpassDES",
         "3081ae020103300e020165020300ffe304010302010304373035040b80004fb805766d574a3c00020102"
         "0201520408754d44355f444553040c07d778b69bc6440f43cd85b604080000000234fdc1c704605ee5"
         "51fcd76b39e078725afb57c05045b916712343ac07ef2f002811caf70c515ac45b13302c41572e18f1ba"
         "bed63ea142a40aa5eddae9331f19e6e8d2995a3832d412658235ed5443d6ea3e828f58da1c97d0dcbe89"
         "567229b793799905a23e"},
        {"uSHA_AES", AuthProtocol::kSha1, "authpassSHA", PrivProtocol::kAes128, "privpassAES",
         "3081ae020103300e020165020300ffe304010302010304373035040b80004fb805766d574a3c00020102"
         "0201520408755348415f414553040c15e35b8757621ce9fed2eece04081680135f1a70511e0460e9aa"
         "8a5452b99cd776e98729c17cb131c19b560246e1493924e6af7aa6cae550a376db59a2030f176dead3fe"
         "01c0edc9fa619dea7c831a55093ab480bf900d367c5b5b95218b64c70d4b9c649341435183adfe601ce2"
         "9b7fa9c17f515f86dccd"},
        {"uMD5_AES192BLMT", AuthProtocol::kMd5, "authpassMD5", PrivProtocol::kAes192,
         "privpassAES192BLMT",
         "3081b5020103300e020165020300ffe3040103020103043e303c040b80004fb805766d574a3c00020102"
         "020155040f754d44355f414553313932424c4d54040c2efe376bd0d5106cc76e029204081680135f1a70"
         "511c04605b64fbd55b904736d83d2c7acee9f63af13b6d47f2c82d521f6b7e458bbc7997018ed18e145b"
         "37904c258f08e32802dc8aab790035d842deb646e7405654ced5c931bdbb430134226477cdcba9186385"
         "f5dd94938a4b0b388276a1311029c26c"},
        {"uSHA_AES256", AuthProtocol::kSha1, "authpassSHA", PrivProtocol::kAes256Reeder,
         "privpassAES256",
         "3081b1020103300e020165020300ffe3040103020103043a3038040b80004fb805766d574a3c00020102"
         "020155040b755348415f414553323536040c6ffdcbcc3d0531b7596cec8104081680135f1a70511c0460"
         "f2d67b638422060cf271b8b4b82cdd20aabf3b03c1c91c87a0c119bc3cf983773d8cfc5af12d44989346"
         "f726d60e8c235cad6e5e786da142838f701dd772682b97adce5142892abdfa7414989cfacae29f0899a2"
         "883c0ce6a3ac21d13f7df8ee"},
    };
    const std::vector<uint8_t> engine = from_hex("80004fb805766d574a3c00");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        UsmPeer peer;
        peer.user = {c.user, SecurityLevel::kAuthPriv, c.auth, c.auth_pass, c.priv, c.priv_pass};
        const char* why = nullptr;
        ASSERT_TRUE(set_engine(peer, engine, 2, 80, UsmClock::now(), &why));
        const std::vector<uint8_t> datagram = from_hex(c.datagram);
        V3Answer answer;
        std::vector<uint8_t> plaintext;
        ASSERT_TRUE(unwrap_message(peer, datagram.data(), datagram.size(), answer, plaintext, &why))
            << why;
        EXPECT_TRUE(answer.authenticated);
        EXPECT_EQ(answer.scoped.pdu_type, kPduResponse);
        EXPECT_EQ(std::string(answer.scoped.context_name.begin(), answer.scoped.context_name.end()),
                  "public");
        const std::string pdu(answer.scoped.pdu.begin(), answer.scoped.pdu.end());
        EXPECT_NE(pdu.find("Zorv demo router"), std::string::npos);
    }
}

TEST(UsmWrapTest, ForgedStaleOrForeignAnswersAreDropped) {
    const auto now = UsmClock::now();
    // The agent's side of the answer; each case changes one thing.
    struct Agent {
        std::string user = "alice";
        SecurityLevel level = SecurityLevel::kAuthPriv;
        std::vector<uint8_t> engine = kEngine;
        int32_t boots = 5;
        int32_t time = 1000;
        int32_t msg_id = 77;
        uint8_t pdu = kPduResponse;
        int flip = 0;  // 1: a bit of the digest, 2: the last encrypted byte
    };
    struct Case {
        const char* name;
        void (*change)(Agent&);
        const char* dropped;       // null: taken
        bool synchronised = true;  // the manager has had an authenticated answer
    };
    const Case cases[] = {
        {"the same", [](Agent&) {}, nullptr},
        {"digest bit flipped", [](Agent& a) { a.flip = 1; }, "wrong digest"},
        {"encrypted byte flipped", [](Agent& a) { a.flip = 2; }, "wrong digest"},
        {"another engine", [](Agent& a) { a.engine = from_hex("80001f8880aabbccddeeff0012"); },
         "other engine"},
        {"another user", [](Agent& a) { a.user = "mallory"; }, "other user"},
        {"another message id", [](Agent& a) { a.msg_id = 78; }, "other message id"},
        {"an earlier try's message id", [](Agent& a) { a.msg_id = 76; }, nullptr},
        {"not encrypted", [](Agent& a) { a.level = SecurityLevel::kAuthNoPriv; },
         "other security level"},
        {"unauthenticated response", [](Agent& a) { a.level = SecurityLevel::kNoAuthNoPriv; },
         "other security level"},
        {"unauthenticated report",
         [](Agent& a) {
             a.level = SecurityLevel::kNoAuthNoPriv;
             a.pdu = kPduReport;
         },
         nullptr},
        {"authenticated report, not encrypted",
         [](Agent& a) {
             a.level = SecurityLevel::kAuthNoPriv;
             a.pdu = kPduReport;
         },
         nullptr},
        {"not an answer", [](Agent& a) { a.pdu = kPduGet; }, "not a response"},
        {"time inside the window", [](Agent& a) { a.time = 900; }, nullptr},
        {"replayed old time", [](Agent& a) { a.time = 800; }, "engine time from the past"},
        {"boots from the past", [](Agent& a) { a.boots = 4; }, "engine boots from the past"},
        {"boots at their limit", [](Agent& a) { a.boots = kMaxEngineBoots; },
         "engine boots at their limit"},
        {"boots at their limit, first answer", [](Agent& a) { a.boots = kMaxEngineBoots; },
         "engine boots at their limit", false},
        {"rebooted engine",
         [](Agent& a) {
             a.boots = 6;
             a.time = 3;
         },
         nullptr},
    };
    UsmPeer manager = make_peer("alice", AuthProtocol::kSha256, PrivProtocol::kAes128,
                                SecurityLevel::kAuthPriv, kEngine, 5, 1000, now);
    V3Request request;
    request.msg_id = 77;
    request.earlier_msg_ids = {75, 76};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        manager.engine.synchronised = c.synchronised;
        Agent a;
        c.change(a);
        UsmPeer agent = make_peer(a.user, AuthProtocol::kSha256, PrivProtocol::kAes128, a.level,
                                  a.engine, a.boots, a.time, now);
        V3Request answer_to = request;
        answer_to.msg_id = a.msg_id;
        std::vector<uint8_t> datagram;
        ASSERT_TRUE(wrap_request(agent, answer_to, demo_pdu(a.pdu), now, datagram, nullptr));
        V3Message sent;
        ASSERT_TRUE(decode_v3_message(datagram.data(), datagram.size(), sent, nullptr));
        if (a.flip == 1) datagram[sent.auth_offset] ^= 0x01;
        if (a.flip == 2) datagram.back() ^= 0x80;
        const char* why = receive(manager, request, datagram, now);
        EXPECT_STREQ(why ? why : "taken", c.dropped ? c.dropped : "taken");
    }
}

TEST(UsmWrapTest, EngineTimeFollowsAuthenticatedAnswersOnly) {
    const auto start = UsmClock::now();
    UsmPeer peer = make_peer("alice", AuthProtocol::kSha1, PrivProtocol::kNone,
                             SecurityLevel::kAuthNoPriv, kEngine, 1, 50, start);
    V3Answer answer;
    answer.message.usm.boots = 7;
    answer.message.usm.time = 400;
    answer.authenticated = false;
    note_engine_time(peer.engine, answer, start);
    EXPECT_FALSE(peer.engine.synchronised);
    answer.authenticated = true;
    note_engine_time(peer.engine, answer, start);
    EXPECT_TRUE(peer.engine.synchronised);
    EXPECT_EQ(peer.engine.boots, 7);
    EXPECT_EQ(peer.engine.time_at(start + std::chrono::seconds(30)), 430);
    answer.message.usm.time = 300;  // older than what we know: kept out
    note_engine_time(peer.engine, answer, start);
    EXPECT_EQ(peer.engine.latest_time, 400);
}

TEST(UsmWrapTest, DiscoveryCarriesNoUserAndTakesAnyEngine) {
    const auto now = UsmClock::now();
    UsmPeer peer;
    peer.user = {"alice",      SecurityLevel::kAuthPriv, AuthProtocol::kSha1,
                 "maplesyrup", PrivProtocol::kAes128,    "plumpudding"};
    V3Request discovery;
    discovery.msg_id = 9;
    discovery.discovery = true;
    std::vector<uint8_t> datagram;
    ASSERT_TRUE(wrap_request(peer, discovery, demo_pdu(kPduGet), now, datagram, nullptr));
    V3Message m;
    ASSERT_TRUE(decode_v3_message(datagram.data(), datagram.size(), m, nullptr));
    EXPECT_EQ(m.flags, kFlagReportable);
    EXPECT_TRUE(m.usm.engine_id.empty());
    EXPECT_TRUE(m.usm.user_name.empty());

    // Nothing else goes out before the engine is known.
    V3Request request;
    request.msg_id = 10;
    const char* why = nullptr;
    EXPECT_FALSE(wrap_request(peer, request, demo_pdu(kPduGet), now, datagram, &why));

    // The agent's Report names its engine; one that does not is no answer.
    UsmPeer agent = make_peer("", AuthProtocol::kNone, PrivProtocol::kNone,
                              SecurityLevel::kNoAuthNoPriv, kEngine, 2, 60, now);
    ASSERT_TRUE(wrap_request(agent, discovery, demo_pdu(kPduReport), now, datagram, nullptr));
    EXPECT_STREQ(receive(peer, discovery, datagram, now), "no engine id");
    V3Request report = discovery;
    report.discovery = false;
    ASSERT_TRUE(wrap_request(agent, report, demo_pdu(kPduReport), now, datagram, nullptr));
    EXPECT_EQ(receive(peer, discovery, datagram, now), nullptr);
}

TEST(UsmUserTest, ProblemsAreFoundBeforeAnyRequest) {
    struct Case {
        UsmUser user;
        const char* problem;  // a part of the text, or null
    };
    const auto auth = AuthProtocol::kSha256;
    const auto priv = PrivProtocol::kAes128;
    const Case cases[] = {
        {{"alice", SecurityLevel::kAuthPriv, auth, "12345678", priv, "abcdefgh"}, nullptr},
        {{"alice", SecurityLevel::kNoAuthNoPriv, AuthProtocol::kNone, "", PrivProtocol::kNone, ""},
         nullptr},
        {{"", SecurityLevel::kNoAuthNoPriv, AuthProtocol::kNone, "", PrivProtocol::kNone, ""},
         "no security name"},
        {{std::string(33, 'u'), SecurityLevel::kNoAuthNoPriv, auth, "", priv, ""},
         "longer than 32"},
        {{"alice", SecurityLevel::kAuthNoPriv, auth, "1234567", priv, ""},
         "authentication passphrase is shorter than 8"},
        {{"alice", SecurityLevel::kAuthNoPriv, AuthProtocol::kNone, "12345678", priv, ""},
         "needs an authentication protocol"},
        {{"alice", SecurityLevel::kAuthPriv, auth, "12345678", priv, "short"},
         "privacy passphrase is shorter than 8"},
        {{"alice", SecurityLevel::kAuthPriv, auth, "12345678", PrivProtocol::kNone, "abcdefgh"},
         "needs a privacy protocol"},
    };
    for (const Case& c : cases) {
        const char* problem = user_problem(c.user);
        if (!c.problem) {
            EXPECT_EQ(problem, nullptr) << problem;
        } else {
            ASSERT_NE(problem, nullptr) << c.problem;
            EXPECT_NE(std::string(problem).find(c.problem), std::string::npos) << problem;
        }
    }
}

TEST(UsmProtocolTest, NamesParseAndReportsAreRecognised) {
    struct Case {
        const char* name;
        PrivProtocol priv;
    };
    const Case cases[] = {
        {"aes", PrivProtocol::kAes128},
        {"AES128", PrivProtocol::kAes128},
        {"AES192", PrivProtocol::kAes192},
        {"aes256c", PrivProtocol::kAes256Reeder},
        {"AES256-Reeder", PrivProtocol::kAes256Reeder},
        {"3des", PrivProtocol::k3DesEde},
    };
    for (const Case& c : cases) {
        PrivProtocol parsed = PrivProtocol::kNone;
        EXPECT_TRUE(parse_priv_protocol(c.name, parsed)) << c.name;
        EXPECT_EQ(parsed, c.priv) << c.name;
    }
    PrivProtocol priv;
    AuthProtocol auth;
    SecurityLevel level;
    EXPECT_FALSE(parse_priv_protocol("none", priv));
    EXPECT_FALSE(parse_priv_protocol("AES19", priv));
    EXPECT_TRUE(parse_auth_protocol("sha-256", auth) && auth == AuthProtocol::kSha256);
    EXPECT_TRUE(parse_security_level("AUTHPRIV", level) && level == SecurityLevel::kAuthPriv);

    const uint32_t wrong_digests[] = {1, 3, 6, 1, 6, 3, 15, 1, 1, 5, 0};
    const uint32_t unknown_context[] = {1, 3, 6, 1, 6, 3, 12, 1, 5, 0};
    EXPECT_EQ(report_kind(wrong_digests, 11), ReportKind::kWrongDigest);
    EXPECT_EQ(report_kind(unknown_context, 10), ReportKind::kUnknownContext);
    EXPECT_EQ(report_kind(wrong_digests, 10), ReportKind::kUnknown);
}

namespace {

// Exits 0 when single DES is refused with a text that names the missing provider.
[[noreturn]] void check_des_without_modules() {
    setenv("OPENSSL_MODULES", "/nonexistent", 1);
    const char* why = cipher_unavailable(Cipher::kDesCbc);
    const UsmUser user{"alice",    SecurityLevel::kAuthPriv, AuthProtocol::kMd5,
                       "12345678", PrivProtocol::kDes,       "12345678"};
    const bool clear = why && std::string(why).find("legacy provider") != std::string::npos &&
                       user_problem(user) == why && !cipher_unavailable(Cipher::kAes128Cfb);
    std::_Exit(clear ? 0 : 1);
}

}  // namespace

TEST(UsmCryptoTest, DesWithoutTheLegacyProviderSaysSo) {
    // libcrypto is set up once per process: look in a fresh one where the provider is missing.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(check_des_without_modules(), ::testing::ExitedWithCode(0), "");
}
