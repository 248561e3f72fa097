// SNMPv3 requests against the scripted agent: discovery once, every try wrapped anew, answers
// that must be dropped, one resynchronisation, reports and silence turned into errors, the dump.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/snmp/errors.h"
#include "runtime/snmp/snmp.h"
#include "tests/support/fake_v3_agent.h"
#include "tests/support/fresh_state.h"
#include "tests/support/test_support.h"

using namespace testing_support;
using snmp::SecurityLevel;

namespace {

class V3ExchangeTest : public FreshState {};

const std::vector<uint32_t> kDescr = {1, 3, 6, 1, 2, 1, 1, 1, 0};
const std::vector<uint32_t> kNotInTimeWindow = {1, 3, 6, 1, 6, 3, 15, 1, 1, 2, 0};
const std::vector<uint8_t> kOtherEngine = {0x80, 0x00, 0x1f, 0x88, 0x80, 0x01, 0x02, 0x03};

const snmp::UsmUser kAlice{
    "alice",           SecurityLevel::kAuthPriv,    snmp::AuthProtocol::kSha256,
    "alice-auth-pass", snmp::PrivProtocol::kAes128, "alice-priv-pass"};

void configure(const char* timeout_ms, const char* retries) {
    setenv("ZORVSNMP_VERSION", "3", 1);
    setenv("ZORVSNMP_SECURITY_NAME", "alice", 1);
    setenv("ZORVSNMP_AUTH_PROTOCOL", "SHA256", 1);
    setenv("ZORVSNMP_AUTH_PASSPHRASE", "alice-auth-pass", 1);
    setenv("ZORVSNMP_PRIV_PROTOCOL", "AES", 1);
    setenv("ZORVSNMP_PRIV_PASSPHRASE", "alice-priv-pass", 1);
    setenv("ZORVSNMP_CONTEXT", "ctx", 1);
    setenv("ZORVSNMP_TIMEOUT_MS", timeout_ms, 1);
    setenv("ZORVSNMP_RETRIES", retries, 1);
}

FakeAnswer descr(const char* text) {
    FakeAnswer a;
    a.bindings.push_back(octets(kDescr, text));
    return a;
}

// The value a Get of sysDescr.0 brings, or the error's text.
std::string get_text(const FakeAgent& agent) {
    ResponsePdu* pdu = quorSnmpGet(nullptr, agent.endpoint().c_str(), kDescr.data(),
                                   static_cast<int32_t>(kDescr.size()), 0);
    if (!pdu) return std::string("error: ") + ZorvsnmpErrString(ZorvsnmpErrno);
    const VarBind* b = pdu->variables;
    std::string text(reinterpret_cast<const char*>(b->value.string.bytes),
                     static_cast<size_t>(b->value.string.length));
    free(pdu);
    return text;
}

std::string hex(snmp::ByteView bytes, const char* separator) {
    std::string out;
    char pair[3];
    for (uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        if (!out.empty()) out += separator;
        out += pair;
    }
    return out;
}

}  // namespace

TEST_F(V3ExchangeTest, DiscoveryOnceThenEveryTryWrappedAnew) {
    configure("200", "1");
    FakeUsm usm(kAlice);
    std::mutex mutex;
    std::vector<FakeV3Request> seen;
    FakeAgent agent(serve_v3(usm,
                             [&](const FakeV3Request& r, int number) {
                                 std::lock_guard<std::mutex> lock(mutex);
                                 seen.push_back(r);
                                 // The first try of the second Get is lost.
                                 if (number == 2) return std::vector<std::string>{};
                                 return std::vector{usm.response(r, descr("real router"))};
                             }),
                    RawDatagrams{});
    EXPECT_EQ(get_text(agent), "real router");
    EXPECT_EQ(get_text(agent), "real router");
    EXPECT_EQ(agent.requests(), 4);  // discovery, a Get, a Get tried twice
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].context, "ctx");
    EXPECT_EQ(seen[1].pdu.request_id, seen[2].pdu.request_id);
    EXPECT_NE(seen[1].msg_id, seen[2].msg_id);
    EXPECT_NE(seen[1].salt, seen[2].salt);
}

TEST_F(V3ExchangeTest, AnswersThatMustNotCountAreDropped) {
    configure("300", "0");
    struct Case {
        const char* what;
        void (*change)(FakeV3Change&);
        const char* reason;  // as the dump gives it
    };
    const Case cases[] = {
        {"bad digest", [](FakeV3Change& c) { c.flip_digest = true; }, "(wrong digest)"},
        {"another engine", [](FakeV3Change& c) { c.engine = kOtherEngine; }, "(other engine)"},
        {"replayed old time", [](FakeV3Change& c) { c.time_offset = -1000; },
         "(engine time from the past)"},
        {"unauthenticated answer", [](FakeV3Change& c) { c.unauthenticated = true; },
         "(other security level)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeV3Change change;
        c.change(change);
        FakeUsm usm(kAlice);
        FakeAgent agent(serve_v3(usm,
                                 [&](const FakeV3Request& r, int number) {
                                     std::vector<std::string> out;
                                     // The second Get: the impostor first, then the answer.
                                     if (number == 2)
                                         out.push_back(usm.response(r, descr("impostor"), change));
                                     out.push_back(usm.response(r, descr("real router")));
                                     return out;
                                 }),
                        RawDatagrams{});
        EXPECT_EQ(get_text(agent), "real router");
        ZorvsnmpDumpPacket = 1;
        StderrCapture capture;
        EXPECT_EQ(get_text(agent), "real router");
        const std::string dump = capture.finish();
        ZorvsnmpDumpPacket = 0;
        EXPECT_NE(dump.find(c.reason), std::string::npos) << dump;
        EXPECT_EQ(agent.requests(), 3);
    }
}

TEST_F(V3ExchangeTest, NotInTimeWindowResynchronisesOnce) {
    configure("300", "1");
    for (const bool always : {false, true}) {
        SCOPED_TRACE(always ? "the clock never fits" : "once");
        reset_library_state();
        configure("300", "1");
        // The engine's clock is 1000 s ahead of what its discovery report said.
        FakeUsm usm(kAlice, {0x80, 0x00, 0x1f, 0x88, 0x80, 0x5a, 0x6f, 0x72, 0x76}, 3, 5000);
        std::mutex mutex;
        std::vector<int32_t> times;
        FakeV3Change ahead;
        ahead.time_offset = 1000;
        FakeAgent agent(
            serve_v3(usm,
                     [&](const FakeV3Request& r, int) {
                         std::lock_guard<std::mutex> lock(mutex);
                         times.push_back(r.time);
                         if (always || r.time < 5900) {
                             return std::vector{usm.report(r, kNotInTimeWindow,
                                                           SecurityLevel::kAuthNoPriv, ahead)};
                         }
                         return std::vector{usm.response(r, descr("real router"), ahead)};
                     }),
            RawDatagrams{});
        const std::string text = get_text(agent);
        std::lock_guard<std::mutex> lock(mutex);
        ASSERT_EQ(times.size(), 2u);  // sent, then sent once more with the engine's time
        EXPECT_LT(times[0], 5900);
        EXPECT_GE(times[1], 6000);
        if (always) {
            EXPECT_EQ(ZorvsnmpErrno, snmp::kErrNotInTimeWindow) << text;
        } else {
            EXPECT_EQ(text, "real router");
        }
    }
}

TEST_F(V3ExchangeTest, ReportsAndSilenceBecomeClearErrorsWithinTheTries) {
    enum Behaviour {
        kReport,          // the report of `counter` at `level`
        kSilence,         // after discovery
        kOtherKey,        // answers under another user's key
        kNoDiscovery,     // not even discovery is answered
        kLateDiscovery,   // discovery answered at its second try, then silence
        kLongEngineId,    // discovery reports a 33-byte engine id
        kSmallMaxSize,    // discovery reports a maximum message size of 100
        kMalformed,       // a Response cut short
        kBootsAtTheLimit  // an engine whose boots can go no higher
    };
    struct Case {
        const char* what;
        std::vector<uint32_t> counter;
        SecurityLevel level;
        Behaviour behaviour;
        int code;
        const char* detail;  // in the error's text
        int datagrams;       // that the agent receives
        bool for_the_run;    // later requests fail at once, without being sent
    };
    const auto unauth = SecurityLevel::kNoAuthNoPriv;
    const std::vector<uint32_t> none;
    const Case cases[] = {
        {"unknown user",
         {1, 3, 6, 1, 6, 3, 15, 1, 1, 3, 0},
         unauth,
         kReport,
         snmp::kErrUnknownUser,
         "usmStatsUnknownUserNames",
         2,
         false},
        {"unsupported level",
         {1, 3, 6, 1, 6, 3, 15, 1, 1, 1, 0},
         SecurityLevel::kAuthNoPriv,
         kReport,
         snmp::kErrUnsupportedSecurityLevel,
         "usmStatsUnsupportedSecLevels",
         2,
         true},
        {"wrong digest",
         {1, 3, 6, 1, 6, 3, 15, 1, 1, 5, 0},
         unauth,
         kReport,
         snmp::kErrWrongDigest,
         "usmStatsWrongDigests",
         2,
         false},
        {"decryption error",
         {1, 3, 6, 1, 6, 3, 15, 1, 1, 6, 0},
         unauth,
         kReport,
         snmp::kErrDecryptionFailed,
         "usmStatsDecryptionErrors",
         2,
         false},
        {"unknown context",
         {1, 3, 6, 1, 6, 3, 12, 1, 5, 0},
         SecurityLevel::kAuthPriv,
         kReport,
         snmp::kErrUnknownContext,
         "snmpUnknownContexts",
         2,
         true},
        {"unknown engine after discovery",
         {1, 3, 6, 1, 6, 3, 15, 1, 1, 4, 0},
         unauth,
         kReport,
         snmp::kErrReport,
         "usmStatsUnknownEngineIDs",
         2,
         false},
        {"silence to the user", none, unauth, kSilence, snmp::kErrTimeout, "2 tries of 200 ms", 3,
         false},
        {"unauthenticated time report", kNotInTimeWindow, unauth, kReport, snmp::kErrTimeout,
         "2 tries", 3, false},
        {"answers under another key", none, unauth, kOtherKey, snmp::kErrAnswersFailDigest, "", 3,
         true},
        {"no discovery answer", none, unauth, kNoDiscovery, snmp::kErrTimeout, "2 tries", 2, false},
        // The discovery's tries count within the first request's.
        {"late discovery answer", none, unauth, kLateDiscovery, snmp::kErrTimeout, "2 tries", 3,
         false},
        {"33-byte engine id", none, unauth, kLongEngineId, snmp::kErrUndecodable,
         "bad engine id (from 127.0.0.1:", 2, false},
        {"maximum message size 100", none, unauth, kSmallMaxSize, snmp::kErrUndecodable,
         "bad maximum message size (from 127.0.0.1:", 2, false},
        {"malformed response", none, unauth, kMalformed, snmp::kErrUndecodable,
         "not a message sequence (from 127.0.0.1:", 3, false},
        {"engine boots at their limit", none, unauth, kBootsAtTheLimit, snmp::kErrTimeout,
         "2 tries", 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_library_state();
        configure("200", "1");
        const int32_t boots = c.behaviour == kBootsAtTheLimit ? snmp::kMaxEngineBoots : 3;
        FakeUsm usm(kAlice, {0x80, 0x00, 0x1f, 0x88, 0x80, 0x5a, 0x6f, 0x72, 0x76}, boots);
        if (c.behaviour == kLongEngineId) usm.discovery_change.engine.assign(33, 0x80);
        if (c.behaviour == kSmallMaxSize) usm.discovery_change.max_size = 100;
        snmp::UsmUser other_key = kAlice;
        other_key.auth_passphrase = "another-pass";
        FakeUsm impostor(other_key);
        FakeRawHandler v3 = serve_v3(usm, [&](const FakeV3Request& r, int) {
            switch (c.behaviour) {
                case kReport:
                    return std::vector{usm.report(r, c.counter, c.level)};
                case kOtherKey:
                    return std::vector{impostor.response(r, descr("impostor"))};
                case kMalformed: {
                    std::string cut = usm.response(r, descr("real router"));
                    cut.pop_back();
                    return std::vector{cut};
                }
                case kBootsAtTheLimit:
                    return std::vector{usm.response(r, descr("real router"))};
                default:
                    return std::vector<std::string>{};
            }
        });
        FakeAgent agent(
            [&](const uint8_t* data, size_t size, int number) {
                const bool lost =
                    c.behaviour == kNoDiscovery || (c.behaviour == kLateDiscovery && number == 0);
                return lost ? FakeReply{} : v3(data, size, number);
            },
            RawDatagrams{});
        const auto start = std::chrono::steady_clock::now();
        const std::string text = get_text(agent);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(ZorvsnmpErrno, c.code) << text;
        EXPECT_NE(text.find(c.detail), std::string::npos) << text;
        EXPECT_LT(elapsed, std::chrono::milliseconds(400 + 150));
        EXPECT_EQ(agent.requests(), c.datagrams);
        // The next request fails the same way: at once when the agent refused the user, else
        // after asking again.
        EXPECT_EQ(get_text(agent), text);
        EXPECT_EQ(agent.requests() > c.datagrams, !c.for_the_run) << agent.requests();
    }
}

TEST_F(V3ExchangeTest, AnAnswerToAnEarlierTryIsTheAnswer) {
    configure("1000", "1");
    FakeUsm usm(kAlice);
    FakeAgent agent(serve_v3(usm,
                             [&](const FakeV3Request& r, int number) {
                                 if (number == 2) return std::vector<std::string>{};
                                 // The first try's answer comes while the second try waits.
                                 std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                                 return std::vector{usm.response(r, descr("real router"))};
                             }),
                    RawDatagrams{});
    EXPECT_EQ(get_text(agent), "real router");
    // The agent reads the second try only after it has sent the answer to the first.
    for (int waited = 0; agent.requests() < 3 && waited < 2000; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(agent.requests(), 3);  // discovery and two tries
}

TEST_F(V3ExchangeTest, AForgedReportEndsItsRequestOnly) {
    configure("300", "0");
    FakeUsm usm(kAlice);
    const std::vector<uint32_t> unknown_user = {1, 3, 6, 1, 6, 3, 15, 1, 1, 3, 0};
    FakeAgent agent(
        serve_v3(usm,
                 [&](const FakeV3Request& r, int number) {
                     std::vector<std::string> out;
                     if (number == 1)
                         out.push_back(usm.report(r, unknown_user, SecurityLevel::kNoAuthNoPriv));
                     out.push_back(usm.response(r, descr("real router")));
                     return out;
                 }),
        RawDatagrams{});
    EXPECT_NE(get_text(agent).find("does not know the SNMPv3 user"), std::string::npos);
    EXPECT_EQ(get_text(agent), "real router");
}

TEST_F(V3ExchangeTest, DumpShowsHeadersAndTheDecryptedPduButNoSecret) {
    configure("300", "0");
    FakeUsm usm(kAlice);
    FakeAgent agent(
        serve_v3(usm, [&](const FakeV3Request& r,
                          int) { return std::vector{usm.response(r, descr("real router"))}; }),
        RawDatagrams{});
    ZorvsnmpDumpPacket = 1;
    StderrCapture capture;
    EXPECT_EQ(get_text(agent), "real router");
    const std::string dump = capture.finish();
    for (const char* shown : {"sent to", "received from", "SNMPv3 msgID", "flags authPriv",
                              "user \"alice\"", "digest 24 bytes, salt 8 bytes",
                              "scoped PDU, shown decrypted: context engine 80001f88805a6f7276 "
                              "context \"ctx\": Get request-id",
                              "Response request-id", "1.3.6.1.2.1.1.1.0"}) {
        EXPECT_NE(dump.find(shown), std::string::npos) << shown << "\n" << dump;
    }
    const snmp::UsmPeer& keys = usm.peer();
    for (const std::string& secret :
         {std::string("alice-auth-pass"), std::string("alice-priv-pass"),
          hex(keys.auth_key.view(), ""), hex(keys.auth_key.view().first(8), " "),
          hex(keys.priv_key.view(), ""), hex(keys.priv_key.view().first(8), " ")}) {
        EXPECT_EQ(dump.find(secret), std::string::npos) << secret;
    }
}
