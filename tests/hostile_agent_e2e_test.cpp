// rowscan and objpeek against agents that misbehave on purpose: silent, slow, flooding the
// requester with garbage, or never ending a table walk. Each must end in bounded time with a
// clear message: timeout × (retries + 1) per request, and a walk bounded by ZORVSNMP_MAX_ROWS.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "runtime/snmp/message.h"
#include "tests/support/fake_agent.h"
#include "tests/support/mib_builder.h"
#include "tests/support/snmpsim.h"

using namespace testing_support;

namespace {

const std::string kRowscan = ZORV_BINARY_DIR "/appls/extmgr/ttycmds/rowscan";
const std::string kObjpeek = ZORV_BINARY_DIR "/appls/extmgr/ttycmds/objpeek";
const std::vector<uint32_t> kColumn = {1, 3, 6, 1, 4, 1, 99999, 7, 1, 1};  // column 1 of a table
constexpr int kTimeoutMs = 200;
constexpr int kRetries = 2;

class HostileAgentTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(write_standard_mib2_file(mib_.file("std.bin")), 0); }

    // Runs `program` with short timeouts; `elapsed` gets the wall time in milliseconds.
    ProgramResult run(const std::string& program, std::vector<std::string> args,
                      const char* version, long* elapsed, std::vector<std::string> env = {}) {
        env.push_back(std::string("ZORVSNMP_VERSION=") + version);
        env.push_back("ZORVSNMP_TIMEOUT_MS=" + std::to_string(kTimeoutMs));
        env.push_back("ZORVSNMP_RETRIES=" + std::to_string(kRetries));
        env.push_back("MIBDBV2=" + mib_.file("std"));
        const auto start = std::chrono::steady_clock::now();
        ProgramResult r = run_program(program, args, env);
        *elapsed = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - start)
                                         .count());
        return r;
    }

    std::vector<std::string> table_args(const FakeAgent& agent) {
        return {"-node", agent.endpoint(), "-table", ".1.3.6.1.4.1.99999.7.1", "-fields", "1"};
    }
    std::vector<std::string> object_args(const FakeAgent& agent) {
        return {"-node", agent.endpoint(), "-obj", ".1.3.6.1.2.1.1.1,.1.3.6.1.2.1.1.5"};
    }

    TempDir mib_;
};

// Every try's full wait, and a second of slack for start-up on a busy machine.
constexpr long kOneRequestBound = kTimeoutMs * (kRetries + 1) + 1000;

// Answers that never count as the answer: nothing, garbage, strays, wrong ids. rowscan makes two
// requests (the table walk, then the GetNext walk that resumes it), objpeek one.
TEST_F(HostileAgentTest, NoUsableAnswerEndsAfterEveryTryOfOneRequest) {
    const struct {
        const char* name;
        FakeHandler handler;
        const char* error;
    } agents[] = {
        {"silent", [](const snmp::Message&, int) { return FakeReply{}; },
         "No response from the node (timeout)"},
        {"garbage",  // a flood of bytes that do not decode, and answers from another port
         [](const snmp::Message& request, int) {
             FakeReply reply;
             for (int i = 0; i < 200; ++i) {
                 reply.datagrams.push_back(std::string(1 + i % 40, static_cast<char>(0x30 + i)));
                 reply.datagrams.push_back("\x30\x82\xff\xff" + std::string(i, '\x04'));
             }
             reply.strays.push_back(encode_response(request, {}));
             return reply;
         },
         "The node's answer could not be decoded"},
        {"wrong ids",
         [](const snmp::Message& request, int) {
             FakeReply reply;
             for (int i = 1; i <= 50; ++i)
                 reply.datagrams.push_back(encode_response(request, {}, request.request_id + i));
             return reply;
         },
         "No response from the node (timeout)"},
    };
    for (const auto& a : agents) {
        for (const char* version : {"1", "2c"}) {
            FakeAgent agent(a.handler);
            ASSERT_TRUE(agent.ok());
            long ms = 0;
            ProgramResult r = run(kRowscan, table_args(agent), version, &ms);
            EXPECT_EQ(r.status, 1) << a.name << " " << version;
            EXPECT_NE(r.err.find(a.error), std::string::npos)
                << a.name << " " << version << ": " << r.err;
            EXPECT_LT(ms, kOneRequestBound + kTimeoutMs * (kRetries + 1))
                << a.name << " " << version;
            EXPECT_LE(agent.requests(), 2 * (kRetries + 1)) << a.name << " " << version;

            // objpeek gives up on the node at its first object.
            const int before = agent.requests();
            r = run(kObjpeek, object_args(agent), version, &ms);
            EXPECT_EQ(r.status, 1) << a.name << " " << version;
            EXPECT_NE(r.err.find(a.error), std::string::npos)
                << a.name << " " << version << ": " << r.err;
            EXPECT_LT(ms, kOneRequestBound) << a.name << " " << version;
            EXPECT_LE(agent.requests() - before, kRetries + 1) << a.name << " " << version;
        }
    }
}

// An agent that answers every try only after the try has given up: the late answer carries the
// request id that the retry resends, so it is taken, and each request costs at most every try.
TEST_F(HostileAgentTest, LateAnswersAreTakenByTheRetry) {
    FakeMib mib;
    for (uint32_t i = 1; i <= 3; ++i) {
        std::vector<uint32_t> name = kColumn;
        name.push_back(i);
        mib.add(integer(name, static_cast<int32_t>(i * 10)));
    }
    mib.add(octets({1, 3, 6, 1, 2, 1, 1, 1, 0}, "late"));
    mib.add(octets({1, 3, 6, 1, 2, 1, 1, 5, 0}, "router"));
    const FakeHandler answer = serve(mib);
    for (const char* version : {"1", "2c"}) {
        // Only a request's first try waits, so the agent never falls behind on the retries.
        int32_t last_id = 0;
        FakeAgent agent([&answer, &last_id](const snmp::Message& request, int number) {
            if (request.request_id != last_id)
                std::this_thread::sleep_for(std::chrono::milliseconds(kTimeoutMs + 50));
            last_id = request.request_id;
            return answer(request, number);
        });
        ASSERT_TRUE(agent.ok());
        long ms = 0;
        ProgramResult r = run(kRowscan, table_args(agent), version, &ms);
        EXPECT_EQ(r.status, 0) << version << r.err;
        EXPECT_NE(r.out.find("30"), std::string::npos) << version << r.out;
        const int requests = agent.requests();
        EXPECT_LT(ms, requests * kTimeoutMs * (kRetries + 1) + 1000) << version;

        r = run(kObjpeek, object_args(agent), version, &ms);
        EXPECT_EQ(r.status, 0) << version << r.err;
        EXPECT_NE(r.out.find("router"), std::string::npos) << version << r.out;
        EXPECT_LT(ms, 2 * kTimeoutMs * (kRetries + 1) + 1000) << version;
    }
}

// An agent that works through every copy of a request in turn, as snmpsimd does, and needs
// `slow_ms` for each copy of a request that starts column 2 (its first): the retries of that
// request keep it busy long after the request was answered or given up.
FakeHandler slow_first_request(const FakeHandler& answer, int slow_ms) {
    return [answer, slow_ms](const snmp::Message& request, int number) {
        std::vector<uint32_t> start = kColumn;
        start.back() = 2;
        for (const snmp::Binding& b : request.bindings) {
            if (std::vector<uint32_t>(b.name, b.name + b.name_length) == start) {
                std::this_thread::sleep_for(std::chrono::milliseconds(slow_ms));
                break;
            }
        }
        return answer(request, number);
    };
}

// Whatever the timing, the table comes out whole or stops with a clear error; it is never a
// table of shifted or missing cells that ends well.
TEST_F(HostileAgentTest, SlowAgentGivesTheWholeTableOrAClearError) {
    FakeMib mib;
    std::string rows;
    for (uint32_t i = 1; i <= 3; ++i) {
        std::vector<uint32_t> name = kColumn;
        name.push_back(i);
        mib.add(integer(name, static_cast<int32_t>(i * 10)));
        name[kColumn.size() - 1] = 2;
        mib.add(integer(name, static_cast<int32_t>(i)));
        rows += std::to_string(i * 10) + " \t" + std::to_string(i) + "  \n";
    }
    const FakeHandler answer = serve(mib);
    // Slow enough that the retries pile up behind the first answer; so slow that the first
    // answer never comes within the tries.
    const struct {
        const char* version;
        int slow_ms;
    } cases[] = {{"1", kTimeoutMs * 5 / 2}, {"2c", kTimeoutMs * 5}};
    for (const auto& [version, slow_ms] : cases) {
        FakeAgent agent(slow_first_request(answer, slow_ms));
        long ms = 0;
        std::vector<std::string> args = table_args(agent);
        args.back() = "A=1:3,B=2:3";
        const ProgramResult r = run(kRowscan, args, version, &ms);
        const std::string printed = r.out.substr(r.out.find("B  \n") + 4);
        SCOPED_TRACE(std::string(version) + "\n" + r.err);
        if (r.status == 0 && slow_ms < kTimeoutMs * 5) {
            EXPECT_EQ(printed, rows);
            EXPECT_EQ(r.err, "");
            continue;
        }
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(rows.rfind(printed, 0), 0u) << printed;
        const std::string timeout =
            "No response from the node (timeout): " + agent.endpoint() + " (3 tries of 200 ms)";
        EXPECT_EQ(r.err, printed.empty()
                             ? "rowscan: could not get SNMP table: " + timeout
                             : "rowscan: the table is incomplete after row " +
                                   std::to_string(printed.size() / 8) + ": " + timeout + "\n");
    }
}

// An agent whose column never ends: every GetNext or GetBulk gets the next instances.
FakeHandler endless_column() {
    return [](const snmp::Message& request, int) {
        FakeAnswer answer;
        const bool bulk = request.pdu_type == snmp::kPduGetBulk;
        const int steps = bulk ? std::max(1, request.error_index) : 1;
        for (const snmp::Binding& b : request.bindings) {
            std::vector<uint32_t> name(b.name, b.name + b.name_length);
            for (int k = 0; k < steps; ++k) {
                if (name.size() == kColumn.size()) {
                    name.push_back(1);
                } else {
                    ++name.back();
                }
                answer.bindings.push_back(integer(name, static_cast<int32_t>(name.back())));
            }
        }
        FakeReply reply;
        reply.datagrams.push_back(encode_response(request, answer));
        return reply;
    };
}

TEST_F(HostileAgentTest, EndlessWalkStopsAtTheRowLimit) {
    for (const char* version : {"1", "2c"}) {
        FakeAgent agent(endless_column());
        ASSERT_TRUE(agent.ok());
        long ms = 0;
        const ProgramResult r =
            run(kRowscan, table_args(agent), version, &ms, {"ZORVSNMP_MAX_ROWS=300"});
        EXPECT_EQ(r.status, 1) << version;
        EXPECT_NE(r.err.find("row limit (ZORVSNMP_MAX_ROWS)"), std::string::npos)
            << version << ": " << r.err;
        // The rows that came before the limit were printed, one batch past it at most.
        const size_t lines = static_cast<size_t>(std::count(r.out.begin(), r.out.end(), '\n'));
        EXPECT_GT(lines, 300u) << version;
        EXPECT_LT(lines, 300u + 80u) << version;
        EXPECT_LT(ms, 20000) << version;
    }
}

TEST_F(HostileAgentTest, RowLimitMustBeAPositiveNumber) {
    FakeAgent agent(endless_column());
    ASSERT_TRUE(agent.ok());
    long ms = 0;
    for (const char* bad : {"0", "-5", "many"}) {
        const ProgramResult r =
            run(kRowscan, table_args(agent), "2c", &ms, {std::string("ZORVSNMP_MAX_ROWS=") + bad});
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_NE(r.err.find("Invalid ZORVSNMP_ setting"), std::string::npos) << bad << r.err;
    }
}

// Labels are operator text placed into the script string with "-js": a backslash in one must
// survive the string, and neither a quote nor a carriage return may end it.
TEST_F(HostileAgentTest, ScriptHeadingsEscapeLabels) {
    FakeAgent agent([](const snmp::Message&, int) { return FakeReply{}; });
    ASSERT_TRUE(agent.ok());
    long ms = 0;
    const ProgramResult r = run(kRowscan,
                                {"-html", "-js", "-node", agent.endpoint(), "-table",
                                 ".1.3.6.1.4.1.99999.7.1", "-fields", "A\\b=1,it's=2,C\rR=3"},
                                "2c", &ms);
    EXPECT_EQ(r.out, "<TH NOWRAP>A\\\\b</TH><TH NOWRAP>it&#39;s</TH><TH NOWRAP>C R</TH></TR>");
}

}  // namespace
