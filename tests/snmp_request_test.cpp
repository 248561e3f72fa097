// Get and GetNext against the fake agent: the answer is the datagram from the node with the
// request id; silence, strays, wrong ids and malformed bytes; errors and their texts; the dump.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "runtime/snmp/errors.h"
#include "runtime/snmp/snmp.h"
#include "tests/support/fake_agent.h"
#include "tests/support/fresh_state.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

class RequestTest : public FreshState {};

const std::vector<uint32_t> kDescr = {1, 3, 6, 1, 2, 1, 1, 1, 0};
const std::vector<uint32_t> kContact = {1, 3, 6, 1, 2, 1, 1, 4, 0};

FakeMib& system_mib() {
    static FakeMib mib = [] {
        FakeMib m;
        m.add(octets(kDescr, "real router"));
        m.add(octets(kContact, "ops"));
        return m;
    }();
    return mib;
}

void configure(const char* version, const char* timeout_ms, const char* retries) {
    setenv("ZORVSNMP_VERSION", version, 1);
    setenv("ZORVSNMP_TIMEOUT_MS", timeout_ms, 1);
    setenv("ZORVSNMP_RETRIES", retries, 1);
}

ResponsePdu* get(const FakeAgent& agent, const std::vector<uint32_t>& oid,
                 const char* community = nullptr) {
    return quorSnmpGet(community, agent.endpoint().c_str(), oid.data(),
                       static_cast<int32_t>(oid.size()), 0);
}

std::string text_of(const ResponsePdu* pdu) {
    const VarBind* b = pdu->variables;
    return std::string(reinterpret_cast<const char*>(b->value.string.bytes),
                       static_cast<size_t>(b->value.string.length));
}

std::string other_value(const snmp::Message& request) {
    FakeAnswer fake;
    fake.bindings.push_back(octets(kDescr, "impostor"));
    return encode_response(request, fake);
}

}  // namespace

TEST_F(RequestTest, GetReturnsTheValueInACallerOwnedResponse) {
    configure("2c", "1000", "0");
    FakeAgent agent(serve(system_mib()));
    ResponsePdu* pdu = get(agent, kDescr, "secret");
    ASSERT_NE(pdu, nullptr) << ZorvsnmpErrString(ZorvsnmpErrno);
    EXPECT_EQ(pdu->error_status, 0);
    ASSERT_NE(pdu->variables, nullptr);
    EXPECT_EQ(pdu->variables->next, nullptr);
    EXPECT_EQ(pdu->variables->type, ASN_OCTET_STRING);
    EXPECT_EQ(std::vector<uint32_t>(pdu->variables->name,
                                    pdu->variables->name + pdu->variables->name_length),
              kDescr);
    EXPECT_EQ(text_of(pdu), "real router");
    free(pdu);
    const auto log = agent.received();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].pdu_type, snmp::kPduGet);
    EXPECT_EQ(log[0].community, "secret");
}

TEST_F(RequestTest, GetNextAndTheSocketIsReused) {
    configure("2c", "1000", "0");
    FakeAgent agent(serve(system_mib()));
    ResponsePdu* pdu = veloSnmpRequest(0xA1, nullptr, agent.endpoint().c_str(), kDescr.data(),
                                       static_cast<int32_t>(kDescr.size()), 0);
    ASSERT_NE(pdu, nullptr);
    EXPECT_EQ(text_of(pdu), "ops");
    free(pdu);
    pdu = get(agent, kContact);
    ASSERT_NE(pdu, nullptr);
    free(pdu);
    const auto log = agent.received();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].pdu_type, snmp::kPduGetNext);
    EXPECT_EQ(log[0].community, "public");
    EXPECT_EQ(log[0].from_port, log[1].from_port);
    EXPECT_NE(log[0].request_id, log[1].request_id);
}

TEST_F(RequestTest, Ipv6Node) {
    configure("2c", "1000", "0");
    FakeAgent agent(serve(system_mib()), true);
    if (!agent.ok()) GTEST_SKIP() << "no IPv6 loopback";
    ResponsePdu* pdu = get(agent, kDescr);
    ASSERT_NE(pdu, nullptr) << ZorvsnmpErrString(ZorvsnmpErrno);
    EXPECT_EQ(text_of(pdu), "real router");
    free(pdu);
}

TEST_F(RequestTest, SilenceFailsAfterEveryTryAndNoLater) {
    configure("2c", "200", "2");
    FakeAgent agent([](const snmp::Message&, int) { return FakeReply{}; });
    const auto start = std::chrono::steady_clock::now();
    ResponsePdu* pdu = get(agent, kDescr);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    EXPECT_EQ(pdu, nullptr);
    EXPECT_EQ(ZorvsnmpErrno, snmp::kErrTimeout);
    EXPECT_EQ(ZorvsnmpErrString(ZorvsnmpErrno),
              "No response from the node (timeout): " + agent.endpoint() + " (3 tries of 200 ms)");
    // 200 ms for each of the three tries, and no wait beyond them.
    RecordProperty("elapsed_ms", static_cast<int>(elapsed));
    EXPECT_GE(elapsed, 600);
    EXPECT_LT(elapsed, 800);
    const auto log = agent.received();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].request_id, log[0].request_id);
    EXPECT_EQ(log[2].request_id, log[0].request_id);
}

TEST_F(RequestTest, RetryAfterALostAnswer) {
    configure("2c", "200", "2");
    FakeAgent agent([](const snmp::Message& request, int number) {
        FakeReply reply;
        if (number > 0) {
            reply.datagrams.push_back(encode_response(request, system_mib().answer(request)));
        }
        return reply;
    });
    ResponsePdu* pdu = get(agent, kDescr);
    ASSERT_NE(pdu, nullptr);
    EXPECT_EQ(text_of(pdu), "real router");
    free(pdu);
    EXPECT_EQ(agent.requests(), 2);
}

TEST_F(RequestTest, DatagramsThatAreNotTheAnswerAreDropped) {
    configure("2c", "300", "0");
    struct Case {
        const char* what;
        std::vector<std::string> (*first)(const snmp::Message&);
        bool stray;  // sent from another port
    };
    const std::vector<Case> cases = {
        {"from another port", [](const snmp::Message& r) { return std::vector{other_value(r)}; },
         true},
        {"wrong request id",
         [](const snmp::Message& r) {
             FakeAnswer fake;
             fake.bindings.push_back(octets(kDescr, "impostor"));
             return std::vector{encode_response(r, fake, r.request_id + 1)};
         },
         false},
        {"malformed bytes",
         [](const snmp::Message& r) {
             std::string cut = other_value(r);
             cut.pop_back();
             return std::vector<std::string>{"\x30\x80garbage", cut, std::string(1, '\x30'),
                                             std::string()};
         },
         false},
        {"not a response",
         [](const snmp::Message& r) {
             snmp::Message get = r;
             snmp::BerWriter w;
             snmp::encode_message(get, w);
             return std::vector{std::string(reinterpret_cast<const char*>(w.data()), w.size())};
         },
         false},
        {"other community",
         [](const snmp::Message& r) {
             snmp::Message other = r;
             other.community = "private";
             return std::vector{other_value(other)};
         },
         false},
        {"other version",
         [](const snmp::Message& r) {
             snmp::Message other = r;
             other.version = snmp::kVersion1;
             return std::vector{other_value(other)};
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeAgent agent([&c](const snmp::Message& request, int) {
            FakeReply reply;
            (c.stray ? reply.strays : reply.datagrams) = c.first(request);
            reply.datagrams.push_back(encode_response(request, system_mib().answer(request)));
            return reply;
        });
        ResponsePdu* pdu = get(agent, kDescr);
        ASSERT_NE(pdu, nullptr) << ZorvsnmpErrString(ZorvsnmpErrno);
        EXPECT_EQ(text_of(pdu), "real router");
        EXPECT_EQ(agent.requests(), 1);
        free(pdu);
    }
}

TEST_F(RequestTest, AnUndecodableAnswerIsReportedAfterTheFullWait) {
    // Only junk comes back: the call still waits for the full try, then says what it got.
    configure("2c", "300", "0");
    FakeAgent agent([](const snmp::Message&, int) {
        return FakeReply{{}, {std::string("\x30\x03\x02\x01\x00", 5)}};
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(get(agent, kDescr), nullptr);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    EXPECT_EQ(ZorvsnmpErrno, snmp::kErrUndecodable);
    EXPECT_STREQ(
        ZorvsnmpErrString(ZorvsnmpErrno),
        ("The node's answer could not be decoded: bad community (from " + agent.endpoint() + ")")
            .c_str());
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 450);
}

TEST_F(RequestTest, ExceptionsReadAsNoSuchName) {
    configure("2c", "1000", "0");
    FakeAgent agent(serve(system_mib()));
    const std::vector<uint32_t> missing = {1, 3, 6, 1, 2, 1, 1, 9, 0};
    ResponsePdu* pdu = get(agent, missing);
    ASSERT_NE(pdu, nullptr);
    EXPECT_EQ(pdu->error_status, 2);
    EXPECT_EQ(pdu->error_index, 1);
    EXPECT_EQ(pdu->variables->type, 0x81);
    free(pdu);
    const std::vector<uint32_t> last = {1, 3, 6, 1, 2, 1, 1, 4, 0};
    pdu = veloSnmpRequest(0xA1, nullptr, agent.endpoint().c_str(), last.data(), 9, 0);
    ASSERT_NE(pdu, nullptr);
    EXPECT_EQ(pdu->error_status, 2);
    EXPECT_EQ(pdu->variables->type, 0x82);
    free(pdu);
    EXPECT_STREQ(ZorvsnmpErrString(2), "noSuchName");
}

TEST_F(RequestTest, Version1NoSuchNameComesFromTheAgent) {
    configure("1", "1000", "0");
    FakeAgent agent(serve(system_mib()));
    const std::vector<uint32_t> missing = {1, 3, 6, 1, 2, 1, 1, 9, 0};
    ResponsePdu* pdu = get(agent, missing);
    ASSERT_NE(pdu, nullptr);
    EXPECT_EQ(pdu->version, 0);
    EXPECT_EQ(pdu->error_status, 2);
    free(pdu);
    EXPECT_EQ(agent.received().at(0).version, 0);
}

// An agent's status is its own, whatever number it is; the library's codes are never among them.
TEST_F(RequestTest, OtherErrorStatusIsHandedBack) {
    configure("2c", "300", "0");
    const struct {
        int32_t status;
        const char* text;
    } cases[] = {
        {5, "genErr"},
        {19, "unknown error status 19"},
        {28, "unknown error status 28"},
        {2147483647, "unknown error status 2147483647"},
    };
    for (const auto& c : cases) {
        FakeAgent agent([&c](const snmp::Message& request, int) {
            FakeAnswer a;
            a.error_status = c.status;
            a.error_index = 1;
            a.bindings.push_back(FakeBinding{});
            a.bindings.back().name = kDescr;
            return FakeReply{{}, {encode_response(request, a)}};
        });
        ResponsePdu* pdu = get(agent, kDescr);
        ASSERT_NE(pdu, nullptr) << c.status;
        EXPECT_EQ(pdu->error_status, c.status);
        EXPECT_STREQ(ZorvsnmpErrString(pdu->error_status), c.text);
        free(pdu);
    }
    // A negative status is no status at all.
    FakeAgent negative([](const snmp::Message& request, int) {
        FakeAnswer a;
        a.error_status = -1;
        return FakeReply{{}, {encode_response(request, a)}};
    });
    EXPECT_EQ(get(negative, kDescr), nullptr);
    EXPECT_EQ(ZorvsnmpErrno, snmp::kErrUndecodable);
}

TEST_F(RequestTest, AnswerWithoutTheBindingIsAFailure) {
    configure("2c", "1000", "0");
    FakeAgent agent([](const snmp::Message& request, int) {
        return FakeReply{{}, {encode_response(request, FakeAnswer{})}};
    });
    EXPECT_EQ(get(agent, kDescr), nullptr);
    EXPECT_EQ(ZorvsnmpErrno, snmp::kErrBadResponse);
}

TEST_F(RequestTest, BadNodesAndArguments) {
    configure("2c", "200", "0");
    struct Case {
        const char* node;
        int code;
    };
    for (const Case& c : std::vector<Case>{{"127.0.0.1:99999", snmp::kErrBadNode},
                                           {"", snmp::kErrBadNode},
                                           {"no-such-host.invalid", snmp::kErrUnknownHost}}) {
        SCOPED_TRACE(c.node);
        EXPECT_EQ(quorSnmpGet(nullptr, c.node, kDescr.data(), 9, 0), nullptr);
        EXPECT_EQ(ZorvsnmpErrno, c.code);
        EXPECT_NE(std::string(ZorvsnmpErrString(ZorvsnmpErrno)).find(c.node), std::string::npos);
    }
    const uint32_t bad[] = {7, 1};
    EXPECT_EQ(quorSnmpGet(nullptr, "127.0.0.1", bad, 2, 0), nullptr);
    EXPECT_EQ(ZorvsnmpErrno, snmp::kErrBadArgument);
    EXPECT_EQ(quorSnmpGet(nullptr, "127.0.0.1", nullptr, 0, 0), nullptr);
    EXPECT_EQ(veloSnmpRequest(0xA3, nullptr, "127.0.0.1", kDescr.data(), 9, 0), nullptr);
}

TEST_F(RequestTest, UnusableSettingsAreReportedBeforeAnyRequest) {
    // Each case adds its variables to a working SNMPv3 user; no passphrase may be shown.
    struct Case {
        std::vector<std::pair<const char*, std::string>> env;
        const char* message;  // a part of the error text
    };
    const Case cases[] = {
        {{{"ZORVSNMP_VERSION", "4"}}, "ZORVSNMP_VERSION"},
        {{{"ZORVSNMP_SECURITY_NAME", ""}}, "no security name (ZORVSNMP_SECURITY_NAME)"},
        {{{"ZORVSNMP_AUTH_PASSPHRASE", "Secret7"}},
         "authentication passphrase is shorter than 8 characters"},
        {{{"ZORVSNMP_PRIV_PASSPHRASE", "Secret7"}}, "privacy passphrase is shorter than 8"},
        {{{"ZORVSNMP_AUTH_PROTOCOL", "SHA3"}}, "ZORVSNMP_AUTH_PROTOCOL is not one of MD5, SHA,"},
        {{{"ZORVSNMP_PRIV_PROTOCOL", "AES512"}}, "ZORVSNMP_PRIV_PROTOCOL is not one of DES,"},
        {{{"ZORVSNMP_SECURITY_LEVEL", "high"}}, "ZORVSNMP_SECURITY_LEVEL is not noAuthNoPriv"},
        {{{"ZORVSNMP_AUTH_PASSPHRASE", ""}}, "privacy needs authentication"},
        {{{"ZORVSNMP_AUTH_PROTOCOL", ""}}, "needs an authentication protocol"},
        {{{"ZORVSNMP_PRIV_PASSPHRASE", ""}}, "ZORVSNMP_PRIV_PROTOCOL is set without"},
        {{{"ZORVSNMP_PRIV_PROTOCOL", ""}, {"ZORVSNMP_SECURITY_LEVEL", "authPriv"}},
         "needs a privacy protocol (ZORVSNMP_PRIV_PROTOCOL)"},
        {{{"ZORVSNMP_PRIV_PASSPHRASE", ""}, {"ZORVSNMP_SECURITY_LEVEL", "authPriv"}},
         "needs a privacy passphrase"},
        {{{"ZORVSNMP_CONTEXT", std::string(33, 'c')}}, "ZORVSNMP_CONTEXT is longer than 32"},
        {{{"ZORVSNMP_MAX_ANSWER_BYTES", "483"}}, "ZORVSNMP_MAX_ANSWER_BYTES"},
        {{{"ZORVSNMP_MAX_ANSWER_BYTES", "65508"}}, "ZORVSNMP_MAX_ANSWER_BYTES"},
        {{{"ZORVSNMP_CREDENTIALS", "/nonexistent/zorv"}},
         "credentials file /nonexistent/zorv cannot be opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        reset_library_state();
        setenv("ZORVSNMP_VERSION", "3", 1);
        setenv("ZORVSNMP_SECURITY_NAME", "ops", 1);
        setenv("ZORVSNMP_AUTH_PROTOCOL", "SHA256", 1);
        setenv("ZORVSNMP_AUTH_PASSPHRASE", "Secret-auth", 1);
        setenv("ZORVSNMP_PRIV_PROTOCOL", "AES", 1);
        setenv("ZORVSNMP_PRIV_PASSPHRASE", "Secret-priv", 1);
        for (const auto& [name, value] : c.env) setenv(name, value.c_str(), 1);
        EXPECT_EQ(quorSnmpGet(nullptr, "127.0.0.1", kDescr.data(), 9, 0), nullptr);
        EXPECT_EQ(ZorvsnmpErrno, snmp::kErrBadSetting);
        const std::string text = ZorvsnmpErrString(ZorvsnmpErrno);
        EXPECT_NE(text.find(c.message), std::string::npos) << text;
        EXPECT_EQ(text.find("Secret"), std::string::npos) << text;
    }
}

TEST_F(RequestTest, ErrorTexts) {
    const std::vector<const char*> names = {"noError",
                                            "tooBig",
                                            "noSuchName",
                                            "badValue",
                                            "readOnly",
                                            "genErr",
                                            "noAccess",
                                            "wrongType",
                                            "wrongLength",
                                            "wrongEncoding",
                                            "wrongValue",
                                            "noCreation",
                                            "inconsistentValue",
                                            "resourceUnavailable",
                                            "commitFailed",
                                            "undoFailed",
                                            "authorizationError",
                                            "notWritable",
                                            "inconsistentName"};
    for (size_t i = 0; i < names.size(); ++i) EXPECT_STREQ(ZorvsnmpErrString(int(i)), names[i]);
    for (int code = -1; code >= snmp::kLastErrorCode; --code) {
        EXPECT_TRUE(snmp::is_library_code(code));
        EXPECT_GT(std::string(ZorvsnmpErrString(code)).size(), 10u) << code;
    }
    EXPECT_STREQ(ZorvsnmpErrString(19), "unknown error status 19");
    const int beyond = snmp::kLastErrorCode - 1;
    EXPECT_EQ(ZorvsnmpErrString(beyond), "Unknown SNMP error " + std::to_string(beyond));
}

TEST_F(RequestTest, DumpShowsSentReceivedAndDropped) {
    configure("2c", "500", "0");
    FakeAgent agent([](const snmp::Message& request, int) {
        FakeReply reply;
        reply.strays.push_back(other_value(request));
        reply.datagrams.push_back(encode_response(request, system_mib().answer(request)));
        return reply;
    });
    ZorvsnmpDumpPacket = 1;
    StderrCapture capture;
    ResponsePdu* pdu = get(agent, kDescr);
    const std::string err = capture.finish();
    ZorvsnmpDumpPacket = 0;
    ASSERT_NE(pdu, nullptr);
    free(pdu);
    const std::string port = std::to_string(agent.port());
    EXPECT_NE(err.find("snmp: sent to 127.0.0.1:" + port + ", "), std::string::npos) << err;
    EXPECT_NE(err.find("SNMPv2c Get request-id "), std::string::npos) << err;
    EXPECT_NE(err.find("1 binding: 1.3.6.1.2.1.1.1.0\n"), std::string::npos) << err;
    EXPECT_NE(err.find("(not from the node)"), std::string::npos) << err;
    EXPECT_NE(err.find("snmp: received from 127.0.0.1:" + port), std::string::npos) << err;
    EXPECT_NE(err.find("Response request-id"), std::string::npos) << err;
    EXPECT_NE(err.find("  0000: 30 "), std::string::npos) << err;
}

TEST_F(RequestTest, GetsInFlightTogetherComeBackInTheGivenOrder) {
    // Answers in another order or twice still land with their own Get; a node that never answers
    // is sent no more than the first Get's tries.
    struct Case {
        const char* what;
        std::function<FakeHandler()> agent;
        int32_t answered;
    };
    const Case cases[] = {
        {"answers in another order",
         [] { return out_of_step(serve(system_mib()), Misstep::kReorder); }, 4},
        {"every answer twice", [] { return out_of_step(serve(system_mib()), Misstep::kDuplicate); },
         4},
        {"silent",
         [] { return FakeHandler([](const snmp::Message&, int) { return FakeReply{}; }); }, 0},
    };
    const uint32_t* oids[] = {kDescr.data(), kContact.data(), kContact.data(), kDescr.data()};
    const int32_t lengths[] = {9, 9, 9, 9};
    const char* expected[] = {"real router", "ops", "ops", "real router"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_library_state();
        configure("2c", "200", "1");
        FakeAgent agent(c.agent());
        ResponsePdu* responses[4];
        ASSERT_EQ(quorSnmpGetAll(nullptr, agent.endpoint().c_str(), oids, lengths, 4, responses),
                  c.answered);
        for (int32_t i = 0; i < 4; ++i) {
            if (i >= c.answered) {
                EXPECT_EQ(responses[i], nullptr);
                continue;
            }
            ASSERT_NE(responses[i], nullptr);
            EXPECT_EQ(text_of(responses[i]), expected[i]);
            free(responses[i]);
        }
        if (c.answered == 0) {
            EXPECT_EQ(ZorvsnmpErrno, snmp::kErrTimeout);
            EXPECT_EQ(agent.requests(), 2);
        }
    }
}
