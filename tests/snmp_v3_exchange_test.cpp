// SNMPv3 requests against the scripted agent: discovery once, every try wrapped anew, answers
// that must be dropped, one resynchronisation, reports and silence turned into errors, the dump.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
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
    struct Case {
        const char* what;
        std::vector<uint32_t> counter;  // the report sent; empty: see `behaviour`
        SecurityLevel level;
        int behaviour;  // 0: report, 1: silence, 2: answers under another key, 3: no discovery
        int code;
        int datagrams;  // that the agent receives
    };
    const auto unauth = SecurityLevel::kNoAuthNoPriv;
    const Case cases[] = {
        {"unknown user", {1, 3, 6, 1, 6, 3, 15, 1, 1, 3, 0}, unauth, 0, snmp::kErrUnknownUser, 2},
        {"unsupported level",
         {1, 3, 6, 1, 6, 3, 15, 1, 1, 1, 0},
         SecurityLevel::kAuthNoPriv,
         0,
         snmp::kErrUnsupportedSecurityLevel,
         2},
        {"wrong digest", {1, 3, 6, 1, 6, 3, 15, 1, 1, 5, 0}, unauth, 0, snmp::kErrWrongDigest, 2},
        {"decryption error",
         {1, 3, 6, 1, 6, 3, 15, 1, 1, 6, 0},
         unauth,
         0,
         snmp::kErrDecryptionFailed,
         2},
        {"unknown context",
         {1, 3, 6, 1, 6, 3, 12, 1, 5, 0},
         SecurityLevel::kAuthPriv,
         0,
         snmp::kErrUnknownContext,
         2},
        {"unknown engine after discovery",
         {1, 3, 6, 1, 6, 3, 15, 1, 1, 4, 0},
         unauth,
         0,
         snmp::kErrReport,
         2},
        {"silence to the user", {}, unauth, 1, snmp::kErrNoAnswerToUser, 3},
        {"unauthenticated time report", kNotInTimeWindow, unauth, 0, snmp::kErrNoAnswerToUser, 3},
        {"answers under another key", {}, unauth, 2, snmp::kErrAnswersFailDigest, 3},
        {"no discovery answer", {}, unauth, 3, snmp::kErrTimeout, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_library_state();
        configure("200", "1");
        FakeUsm usm(kAlice);
        snmp::UsmUser other_key = kAlice;
        other_key.auth_passphrase = "another-pass";
        FakeUsm impostor(other_key);
        FakeRawHandler v3 = serve_v3(usm, [&](const FakeV3Request& r, int) {
            if (c.behaviour == 1) return std::vector<std::string>{};
            if (c.behaviour == 2) return std::vector{impostor.response(r, descr("impostor"))};
            return std::vector{usm.report(r, c.counter, c.level)};
        });
        FakeAgent agent(
            [&](const uint8_t* data, size_t size, int number) {
                return c.behaviour == 3 ? FakeReply{} : v3(data, size, number);
            },
            RawDatagrams{});
        const auto start = std::chrono::steady_clock::now();
        const std::string text = get_text(agent);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(ZorvsnmpErrno, c.code) << text;
        EXPECT_LT(elapsed, std::chrono::milliseconds(400 + 150));
        EXPECT_EQ(agent.requests(), c.datagrams);
        if (c.behaviour == 3) continue;
        // The agent refused the user: the next request fails at once, without asking again.
        EXPECT_EQ(get_text(agent), text);
        EXPECT_EQ(agent.requests(), c.datagrams);
    }
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
