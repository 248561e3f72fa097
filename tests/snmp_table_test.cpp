// Table retrieval against the fake agent: rows merged by instance, holes, request counts, and
// the agent misbehaving (tooBig, answers cut short, identifiers that do not increase).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "runtime/snmp/errors.h"
#include "runtime/snmp/oid_compare.h"
#include "runtime/snmp/snmp.h"
#include "tests/support/fake_agent.h"
#include "tests/support/fake_v3_agent.h"
#include "tests/support/fresh_state.h"

using namespace testing_support;

namespace {

class TableWalkTest : public FreshState {};
class TableEntryTest : public FreshState {};

const std::vector<uint32_t> kTable = {1, 3, 6, 1, 2, 1, 2, 2, 1};

std::vector<uint32_t> cell(uint32_t column, std::vector<uint32_t> instance) {
    std::vector<uint32_t> name = kTable;
    name.push_back(column);
    name.insert(name.end(), instance.begin(), instance.end());
    return name;
}

std::vector<std::string> rows;

// "instance: value|value|-" with "-" for a hole.
void record_row(VarBind* row) {
    std::string text;
    std::string instance;
    for (VarBind* b = row; b; b = b->next) {
        if (b != row) text += '|';
        const bool hole = b->name_length >= 6 && b->name[0] == 0 && b->name[1] == 0 &&
                          b->name[2] == 0 && b->name[3] == 0 && b->name[4] == 0 && b->name[5] == 0;
        if (hole) {
            EXPECT_EQ(b->type, ASN_NULL);
            text += '-';
            continue;
        }
        std::string own;
        for (uint32_t i = static_cast<uint32_t>(kTable.size()) + 1; i < b->name_length; ++i) {
            own += (own.empty() ? "" : ".") + std::to_string(b->name[i]);
        }
        if (instance.empty()) instance = own;
        EXPECT_EQ(own, instance) << "bindings of one row carry one instance";
        switch (b->type) {
            case ASN_INTEGER:
                text += std::to_string(b->value.integer);
                break;
            case ASN_OCTET_STRING:
                text.append(reinterpret_cast<const char*>(b->value.string.bytes),
                            static_cast<size_t>(b->value.string.length));
                break;
            case ASN_COUNTER64:
                text += std::to_string(b->value.counter64);
                break;
            default:
                text += std::to_string(b->value.uinteger);
                break;
        }
    }
    rows.push_back(instance + ": " + text);
}

// A table of `count` rows: column 1 the index, 2 a name, 3 a Counter64; then an object after
// the table so that walks leave it.
void fill_table(FakeMib& mib, uint32_t count) {
    for (uint32_t i = 1; i <= count; ++i) {
        mib.add(integer(cell(1, {i}), static_cast<int32_t>(i)));
        mib.add(octets(cell(2, {i}), "if" + std::to_string(i)));
        mib.add(counter64(cell(3, {i}), uint64_t{1} << 40 | i));
    }
    mib.add(integer({1, 3, 6, 1, 2, 1, 3, 1, 0}, 99));
}

std::string expected_row(uint32_t i) {
    return std::to_string(i) + ": " + std::to_string(i) + "|if" + std::to_string(i) + "|" +
           std::to_string(uint64_t{1} << 40 | i);
}

int get_table(const FakeAgent& agent, std::vector<uint32_t> columns) {
    rows.clear();
    return veloSnmpGetTable(nullptr, agent.endpoint().c_str(), kTable.data(),
                            static_cast<int32_t>(kTable.size()), columns.data(),
                            static_cast<int32_t>(columns.size()), record_row, 0);
}

// The row of `instance` with columns 1 to 3.
int get_entry(const FakeAgent& agent, uint32_t instance) {
    rows.clear();
    const uint32_t columns[] = {1, 2, 3};
    return veloSnmpGetTableEntry(nullptr, agent.endpoint().c_str(), kTable.data(),
                                 static_cast<int32_t>(kTable.size()), columns, 3, &instance, 1,
                                 record_row, 0);
}

void use_version(const char* version) {
    setenv("ZORVSNMP_VERSION", version, 1);
    setenv("ZORVSNMP_TIMEOUT_MS", "300", 1);
    setenv("ZORVSNMP_RETRIES", "1", 1);
}

const snmp::UsmUser kV3User{
    "alice",           snmp::SecurityLevel::kAuthPriv, snmp::AuthProtocol::kSha256,
    "alice-auth-pass", snmp::PrivProtocol::kAes128,    "alice-priv-pass"};

void use_v3_user() {
    setenv("ZORVSNMP_VERSION", "3", 1);
    setenv("ZORVSNMP_SECURITY_NAME", "alice", 1);
    setenv("ZORVSNMP_AUTH_PROTOCOL", "SHA256", 1);
    setenv("ZORVSNMP_AUTH_PASSPHRASE", "alice-auth-pass", 1);
    setenv("ZORVSNMP_PRIV_PROTOCOL", "AES", 1);
    setenv("ZORVSNMP_PRIV_PASSPHRASE", "alice-priv-pass", 1);
}

}  // namespace

// The order walks rely on: sub-identifiers compared unsigned, then a prefix before its extensions.
TEST(OidOrder, SubIdentifiersThenLength) {
    using Ids = std::vector<uint32_t>;
    struct Case {
        Ids a;
        Ids b;
        int order;
        bool b_starts_with_a;
    } cases[] = {
        {{1, 3, 6}, {1, 3, 6}, 0, true},
        {{1, 3}, {1, 3, 6}, -1, true},
        {{1, 3, 7}, {1, 3, 6, 9}, 1, false},
        {{1, 3, 4294967295u}, {1, 3, 6}, 1, false},
        {{}, {0}, -1, true},
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(snmp::compare_oids(c.a.data(), c.a.size(), c.b.data(), c.b.size())),
                  c.order);
        EXPECT_EQ(sign(snmp::compare_oids(c.b.data(), c.b.size(), c.a.data(), c.a.size())),
                  -c.order);
        EXPECT_EQ(snmp::oid_starts_with(c.b.data(), c.b.size(), c.a.data(), c.a.size()),
                  c.b_starts_with_a);
    }
}

// How the agent treats a GetBulk that would answer more than its limit of bindings.
enum class Limit { kCut, kTooBig, kSilent };

// `first_delay_ms`: the first answer comes that much late.
FakeHandler limited(const FakeMib& mib, Limit limit, size_t most, int first_delay_ms = 0) {
    return [&mib, limit, most, first_delay_ms](const snmp::Message& request, int number) {
        if (number == 0) std::this_thread::sleep_for(std::chrono::milliseconds(first_delay_ms));
        const size_t asked =
            request.bindings.size() * static_cast<size_t>(std::max(1, request.error_index));
        FakeAnswer answer = mib.answer(request, limit == Limit::kCut ? most : asked);
        if (asked <= most || limit == Limit::kCut)
            return FakeReply{{}, {encode_response(request, answer)}};
        if (limit == Limit::kSilent) return FakeReply{};
        FakeAnswer too_big;
        too_big.error_status = 1;
        return FakeReply{{}, {encode_response(request, too_big)}};
    };
}

TEST_F(TableWalkTest, BulkWalkAdaptsTheAnswerSizeToTheAgent) {
    // 100 rows × 3 columns; the max-repetitions of every datagram the agent received, retries
    // included.
    struct Case {
        const char* what;
        Limit limit;
        size_t most;
        const char* setting;  // "NAME=value" or empty
        std::vector<int32_t> repetitions;
        int first_delay_ms = 0;
    };
    const std::vector<int32_t> five_each(21, 5);  // 100 rows and the end, 5 a request
    // Halved from 21 to 5, then up to 8 (24 bindings), 9 refused, 8 from then on.
    const std::vector<int32_t> fit_24 = {21, 10, 5, 7, 8, 9, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};
    const Case cases[] = {
        // Full answers grow the next request; a cut-short answer stops the growth there.
        {"cuts at 64", Limit::kCut, 64, "", {21, 42, 21, 21, 21}},
        {"cuts at 2000", Limit::kCut, 2000, "", {21, 42, 84}},
        {"fixed setting", Limit::kCut, 2000, "ZORVSNMP_MAX_REPETITIONS=5", five_each},
        {"byte budget", Limit::kCut, 2000, "ZORVSNMP_MAX_ANSWER_BYTES=1000", {21, 21, 21, 21, 21}},
        // Halved until answers fit, then back up to the largest size that works.
        {"tooBig above 24", Limit::kTooBig, 24, "", fit_24},
        // Silence after a larger request: the next try of the same request asks for less.
        {"silent above 24", Limit::kSilent, 24, "ZORVSNMP_RETRIES=2", fit_24},
        // The first answer comes after the retry went out smaller: it answers the larger try,
        // so growth goes on (the retry's own answer carries a spent id and is dropped).
        {"slow first answer", Limit::kCut, 2000, "ZORVSNMP_TIMEOUT_MS=200", {21, 10, 42, 84}, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_library_state();
        use_version("2c");
        setenv("ZORVSNMP_TIMEOUT_MS", "100", 1);
        // One request at a time: the sizes are pinned in the order they were asked.
        setenv("ZORVSNMP_PARALLEL", "1", 1);
        if (const char* eq = std::strchr(c.setting, '='))
            setenv(std::string(c.setting, eq).c_str(), eq + 1, 1);
        FakeMib mib;
        fill_table(mib, 100);
        FakeAgent agent(limited(mib, c.limit, c.most, c.first_delay_ms));
        ASSERT_GE(get_table(agent, {1, 2, 3}), 0) << ZorvsnmpErrString(ZorvsnmpErrno);
        ASSERT_EQ(rows.size(), 100u);
        for (uint32_t i = 1; i <= 100; ++i) EXPECT_EQ(rows[i - 1], expected_row(i));
        std::vector<int32_t> sent;
        for (const auto& r : agent.received()) {
            EXPECT_EQ(r.pdu_type, snmp::kPduGetBulk);
            EXPECT_EQ(r.community, "public");
            EXPECT_EQ(r.version, 1);
            sent.push_back(r.error_index);
        }
        EXPECT_EQ(sent, c.repetitions);
    }
}

TEST_F(TableWalkTest, RequestsInFlightTogetherTakeEveryAnswerOnce) {
    // Answers out of step with the requests still give every row once; an agent that loses
    // requests sent together is asked one at a time from then on.
    struct Case {
        const char* what;
        std::function<FakeHandler(const FakeMib&)> agent;
        bool drop_bursts = false;
        size_t most_resent = 3;
        // An SNMPv3 agent: answers in another order, or silent above 24 bindings.
        enum { kNone, kV3Reorder, kV3Silent } v3 = kNone;
    };
    auto step = [](Misstep how) {
        return [how](const FakeMib& mib) { return out_of_step(serve(mib, 16), how); };
    };
    auto slow = [](const FakeMib& mib) {
        return [inner = serve(mib, 16)](const snmp::Message& request, int number) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return inner(request, number);
        };
    };
    const Case cases[] = {
        {"in step", [](const FakeMib& mib) { return serve(mib, 16); }},
        // Silence costs a timeout: the retry goes back to a size that was answered.
        {"silent above 24", [](const FakeMib& mib) { return limited(mib, Limit::kSilent, 24); },
         false, 8},
        {"answers in another order", step(Misstep::kReorder)},
        {"every answer twice", step(Misstep::kDuplicate)},
        {"an earlier try answered late", step(Misstep::kEarlierTry)},
        {"bursts lost", slow, true, 8},
        {"SNMPv3, answers in another order", nullptr, false, 3, Case::kV3Reorder},
        {"SNMPv3, silent above 24", nullptr, false, 8, Case::kV3Silent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_library_state();
        use_version("2c");
        setenv("ZORVSNMP_TIMEOUT_MS", "100", 1);
        setenv("ZORVSNMP_RETRIES", "2", 1);
        FakeMib mib;
        fill_table(mib, 100);
        if (c.v3) use_v3_user();
        FakeUsm usm(kV3User);
        // The agent thread alone touches what the v3 agent holds back and records.
        std::vector<std::string> held;
        std::vector<int32_t> v3_ids;
        FakeAgent agent =
            c.v3 ? FakeAgent(
                       serve_v3(
                           usm,
                           [&](const FakeV3Request& r, int number) {
                               v3_ids.push_back(r.pdu.request_id);
                               const size_t asked =
                                   r.pdu.bindings.size() *
                                   static_cast<size_t>(std::max(1, r.pdu.error_index));
                               if (c.v3 == Case::kV3Silent) {
                                   if (asked > 24) return std::vector<std::string>{};
                                   return std::vector{usm.response(r, mib.answer(r.pdu, asked))};
                               }
                               std::vector<std::string> out{usm.response(r, mib.answer(r.pdu, 16))};
                               if (number % 2 == 0) {
                                   held.swap(out);
                               } else {
                                   out.insert(out.end(), held.begin(), held.end());
                                   held.clear();
                               }
                               return out;
                           }),
                       RawDatagrams{})
                 : FakeAgent(c.agent(mib));
        if (c.drop_bursts) agent.drop_bursts();
        ASSERT_EQ(get_table(agent, {1, 2, 3}), 100) << ZorvsnmpErrString(ZorvsnmpErrno);
        for (uint32_t i = 1; i <= 100; ++i) EXPECT_EQ(rows[i - 1], expected_row(i));
        // Some requests went out together; a lost one was sent again, no other went twice.
        std::vector<int32_t> sent = v3_ids;
        if (!c.v3) {
            for (const auto& r : agent.received()) sent.push_back(r.request_id);
        }
        const std::set<int32_t> ids(sent.begin(), sent.end());
        EXPECT_LT(ids.size(), 40u);
        EXPECT_LE(sent.size(), ids.size() + c.most_resent);
    }
}

TEST_F(TableWalkTest, WideColumnsSideBySideStayWithinTheByteBudget) {
    // A narrow column must not lead a wide one into answers larger than the agent can send.
    use_version("2c");
    setenv("ZORVSNMP_MAX_ANSWER_BYTES", "3000", 1);
    FakeMib mib;
    for (uint32_t i = 1; i <= 300; ++i) {
        mib.add(octets(cell(1, {i}), std::string(300, 'x')));
        mib.add(integer(cell(2, {i}), static_cast<int32_t>(i)));
    }
    FakeAgent agent([&mib](const snmp::Message& request, int) {
        std::string answer = encode_response(request, mib.answer(request, 100000));
        if (answer.size() > 12000) return FakeReply{};
        return FakeReply{{}, {answer}};
    });
    EXPECT_EQ(get_table(agent, {1, 2}), 300) << ZorvsnmpErrString(ZorvsnmpErrno);
}

TEST_F(TableWalkTest, Version1WalksByGetNextOneRowPerRequest) {
    use_version("1");
    FakeMib mib;
    fill_table(mib, 10);
    FakeAgent agent(serve(mib));
    ASSERT_GE(get_table(agent, {1, 3}), 0) << ZorvsnmpErrString(ZorvsnmpErrno);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[9], "10: 10|" + std::to_string(uint64_t{1} << 40 | 10));
    EXPECT_EQ(agent.requests(), 11);
    for (const auto& r : agent.received()) EXPECT_EQ(r.pdu_type, snmp::kPduGetNext);
}

TEST_F(TableWalkTest, Version1EndOfMibEndsTheColumn) {
    // The table is the last thing in the agent: GetNext past it gives noSuchName.
    use_version("1");
    FakeMib mib;
    for (uint32_t i = 1; i <= 3; ++i) {
        mib.add(integer(cell(1, {i}), static_cast<int32_t>(i)));
        mib.add(integer(cell(2, {i}), static_cast<int32_t>(10 * i)));
    }
    FakeAgent agent(serve(mib));
    ASSERT_GE(get_table(agent, {1, 2}), 0) << ZorvsnmpErrString(ZorvsnmpErrno);
    EXPECT_EQ(rows, (std::vector<std::string>{"1: 1|10", "2: 2|20", "3: 3|30"}));
}

TEST_F(TableWalkTest, HolesGetTheNullNameAndEndedColumnsAreNotAskedAgain) {
    use_version("2c");
    FakeMib mib;
    // Column 1 has rows 1..4, column 2 only rows 2 and 4, column 3 only row 1.
    for (uint32_t i = 1; i <= 4; ++i) mib.add(integer(cell(1, {i, 7}), static_cast<int32_t>(i)));
    mib.add(octets(cell(2, {2, 7}), "b"));
    mib.add(octets(cell(2, {4, 7}), "d"));
    mib.add(integer(cell(3, {1, 7}), -5));
    FakeAgent agent(serve(mib));
    setenv("ZORVSNMP_MAX_REPETITIONS", "2", 1);
    ASSERT_GE(get_table(agent, {1, 2, 3}), 0) << ZorvsnmpErrString(ZorvsnmpErrno);
    EXPECT_EQ(rows,
              (std::vector<std::string>{"1.7: 1|-|-5", "2.7: 2|b|-", "3.7: 3|-|-", "4.7: 4|d|-"}));
    // First request: all three columns; column 3 leaves its column within it and is not
    // asked for again.
    const auto log = agent.received();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].names.size(), 3u);
    for (size_t i = 1; i < log.size(); ++i) {
        for (const auto& name : log[i].names) EXPECT_NE(name[kTable.size()], 3u);
    }
}

TEST_F(TableWalkTest, OneByOneWalkResumesAfterARowAndCountsEarlierRows) {
    // Columns of different stretches, as above: one GetNext binding per value and one more per
    // column to find its end, and a limit that counts the rows handed out before the walk.
    struct Case {
        std::vector<uint32_t> after;
        int rows_before;
        const char* max_rows;
        std::vector<std::string> rows;
        int requests;  // -1: the walk fails past the row limit
    } cases[] = {
        {{}, 0, "100", {"1.7: 1|-|-5", "2.7: 2|b|-", "3.7: 3|-|-", "4.7: 4|d|-"}, 10},
        {{2, 7}, 2, "100", {"3.7: 3|-|-", "4.7: 4|d|-"}, 6},
        {{2, 7}, 2, "3", {"3.7: 3|-|-", "4.7: 4|d|-"}, -1},
    };
    for (const Case& c : cases) {
        reset_library_state();
        use_version("2c");
        setenv("ZORVSNMP_MAX_ROWS", c.max_rows, 1);
        FakeMib mib;
        for (uint32_t i = 1; i <= 4; ++i)
            mib.add(integer(cell(1, {i, 7}), static_cast<int32_t>(i)));
        mib.add(octets(cell(2, {2, 7}), "b"));
        mib.add(octets(cell(2, {4, 7}), "d"));
        mib.add(integer(cell(3, {1, 7}), -5));
        FakeAgent agent(serve(mib));
        rows.clear();
        const uint32_t columns[] = {1, 2, 3};
        const int result = veloSnmpGetTableOneByOne(
            nullptr, agent.endpoint().c_str(), kTable.data(), static_cast<int32_t>(kTable.size()),
            columns, 3, c.after.data(), static_cast<int32_t>(c.after.size()), c.rows_before,
            [](VarBind* row, void*) { record_row(row); }, nullptr);
        EXPECT_EQ(rows, c.rows) << c.max_rows;
        if (c.requests < 0) {
            EXPECT_LT(result, 0);
            EXPECT_EQ(ZorvsnmpErrno, snmp::kErrTooManyRows);
            continue;
        }
        EXPECT_EQ(result, static_cast<int>(c.rows.size())) << ZorvsnmpErrString(ZorvsnmpErrno);
        EXPECT_EQ(agent.requests(), c.requests);
        for (const auto& r : agent.received()) {
            EXPECT_EQ(r.pdu_type, snmp::kPduGetNext);
            EXPECT_EQ(r.names.size(), 1u);
        }
    }
}

TEST_F(TableWalkTest, AnswersCutShortStillGiveTheWholeTable) {
    use_version("2c");
    FakeMib mib;
    fill_table(mib, 50);
    // 7 bindings an answer: never a whole number of rows.
    FakeAgent agent(serve(mib, 7));
    ASSERT_GE(get_table(agent, {1, 2, 3}), 0) << ZorvsnmpErrString(ZorvsnmpErrno);
    ASSERT_EQ(rows.size(), 50u);
    for (uint32_t i = 1; i <= 50; ++i) EXPECT_EQ(rows[i - 1], expected_row(i));
}

TEST_F(TableWalkTest, LargeAnswersAreMergedIntact) {
    // Hundreds of values of each column wait at once, so the buffers are compacted while rows
    // are still being handed out.
    use_version("2c");
    setenv("ZORVSNMP_MAX_REPETITIONS", "1000", 1);
    FakeMib mib;
    fill_table(mib, 700);
    FakeAgent agent(serve(mib, 2200));
    ASSERT_GE(get_table(agent, {1, 2, 3}), 0) << ZorvsnmpErrString(ZorvsnmpErrno);
    ASSERT_EQ(rows.size(), 700u);
    for (uint32_t i = 1; i <= 700; ++i) EXPECT_EQ(rows[i - 1], expected_row(i));
    EXPECT_EQ(agent.requests(), 1);
}

TEST_F(TableWalkTest, ColumnFarAheadWaitsForTheOthers) {
    // Column 2 has values only where column 1 has none: its values wait until column 1 has
    // passed them, and it is not asked again while hundreds wait.
    use_version("2c");
    FakeMib mib;
    for (uint32_t i = 1; i <= 600; ++i) {
        mib.add(integer(cell(1, {i}), static_cast<int32_t>(i)));
        mib.add(integer(cell(2, {600 + i}), static_cast<int32_t>(600 + i)));
    }
    FakeAgent agent(serve(mib));
    ASSERT_GE(get_table(agent, {1, 2}), 0) << ZorvsnmpErrString(ZorvsnmpErrno);
    ASSERT_EQ(rows.size(), 1200u);
    EXPECT_EQ(rows[0], "1: 1|-");
    EXPECT_EQ(rows[599], "600: 600|-");
    EXPECT_EQ(rows[600], "601: -|601");
    EXPECT_EQ(rows[1199], "1200: -|1200");
    int column_1_alone = 0;
    for (const auto& r : agent.received())
        column_1_alone += r.names.size() == 1 && r.names[0][9] == 1;
    EXPECT_GT(column_1_alone, 0);
}

TEST_F(TableWalkTest, TooBigAsksForFewerRepetitionsThenFewerColumns) {
    use_version("2c");
    FakeMib mib;
    fill_table(mib, 20);
    // tooBig for anything that could come to more than 2 bindings.
    FakeAgent agent([&mib](const snmp::Message& request, int) {
        FakeReply reply;
        const size_t asked =
            request.bindings.size() * static_cast<size_t>(std::max(1, request.error_index));
        if (asked > 2) {
            FakeAnswer too_big;
            too_big.error_status = 1;
            reply.datagrams.push_back(encode_response(request, too_big));
        } else {
            reply.datagrams.push_back(encode_response(request, mib.answer(request)));
        }
        return reply;
    });
    ASSERT_GE(get_table(agent, {1, 2, 3}), 0) << ZorvsnmpErrString(ZorvsnmpErrno);
    ASSERT_EQ(rows.size(), 20u);
    for (uint32_t i = 1; i <= 20; ++i) EXPECT_EQ(rows[i - 1], expected_row(i));
}

TEST_F(TableWalkTest, TooBigForASingleBindingFails) {
    use_version("2c");
    FakeAgent agent([](const snmp::Message& request, int) {
        FakeAnswer too_big;
        too_big.error_status = 1;
        return FakeReply{{}, {encode_response(request, too_big)}};
    });
    EXPECT_LT(get_table(agent, {1, 2}), 0);
    EXPECT_EQ(ZorvsnmpErrno, 1);
    EXPECT_STREQ(ZorvsnmpErrString(ZorvsnmpErrno), "tooBig");
    EXPECT_LT(agent.requests(), 20);
}

TEST_F(TableWalkTest, IdentifierThatDoesNotIncreaseIsAnError) {
    use_version("2c");
    // An agent that keeps answering with the first row: a naive walk would never end.
    FakeAgent agent([](const snmp::Message& request, int) {
        FakeAnswer a;
        for (size_t i = 0; i < request.bindings.size(); ++i) {
            a.bindings.push_back(integer(cell(static_cast<uint32_t>(i + 1), {1}), 1));
        }
        return FakeReply{{}, {encode_response(request, a)}};
    });
    EXPECT_LT(get_table(agent, {1, 2}), 0);
    EXPECT_EQ(ZorvsnmpErrno, snmp::kErrNotIncreasing);
    // The first answer was a real row; the repeat of it stops the walk (the other column's
    // request may be in flight already).
    EXPECT_LE(agent.requests(), 3);
    EXPECT_EQ(rows, (std::vector<std::string>{"1: 1|1"}));
}

TEST_F(TableWalkTest, ErrorStatusFails) {
    use_version("2c");
    FakeAgent agent([](const snmp::Message& request, int) {
        FakeAnswer a;
        a.error_status = 5;
        a.error_index = 1;
        return FakeReply{{}, {encode_response(request, a)}};
    });
    EXPECT_LT(get_table(agent, {1}), 0);
    EXPECT_EQ(ZorvsnmpErrno, 5);
    EXPECT_STREQ(ZorvsnmpErrString(5), "genErr");
}

TEST_F(TableWalkTest, EmptyTableDeliversNoRows) {
    use_version("2c");
    FakeMib mib;
    mib.add(integer({1, 3, 6, 1, 2, 1, 3, 1, 0}, 1));
    FakeAgent agent(serve(mib));
    EXPECT_EQ(get_table(agent, {1, 2}), 0);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(agent.requests(), 1);
}

TEST_F(TableEntryTest, OneGetForAllColumnsWithHoles) {
    use_version("2c");
    FakeMib mib;
    mib.add(integer(cell(1, {5}), 5));
    mib.add(octets(cell(3, {5}), "five"));
    FakeAgent agent(serve(mib));
    rows.clear();
    const uint32_t columns[] = {1, 2, 3};
    const uint32_t instance[] = {5};
    ASSERT_GE(veloSnmpGetTableEntry(nullptr, agent.endpoint().c_str(), kTable.data(), 9, columns, 3,
                                    instance, 1, record_row, 0),
              0);
    EXPECT_EQ(rows, (std::vector<std::string>{"5: 5|-|five"}));
    EXPECT_EQ(agent.requests(), 1);
    // An instance without any value: no row, no failure.
    const uint32_t missing[] = {6};
    rows.clear();
    EXPECT_GE(veloSnmpGetTableEntry(nullptr, agent.endpoint().c_str(), kTable.data(), 9, columns, 3,
                                    missing, 1, record_row, 0),
              0);
    EXPECT_TRUE(rows.empty());
}

TEST_F(TableEntryTest, TooBigSplitsTheGetAndClimbsBack) {
    use_version("2c");
    FakeMib mib;
    fill_table(mib, 5);
    FakeAgent agent(limited(mib, Limit::kTooBig, 2));
    ASSERT_GE(get_entry(agent, 5), 0) << ZorvsnmpErrString(ZorvsnmpErrno);
    EXPECT_EQ(rows, (std::vector<std::string>{expected_row(5)}));
    std::vector<size_t> sizes;
    for (const auto& r : agent.received()) sizes.push_back(r.names.size());
    EXPECT_EQ(sizes, (std::vector<size_t>{3, 1, 2}));
}

TEST_F(TableEntryTest, Version1AsksAgainWithoutTheMissingColumn) {
    use_version("1");
    FakeMib mib;
    mib.add(integer(cell(1, {5}), 5));
    mib.add(octets(cell(3, {5}), "five"));
    FakeAgent agent(serve(mib));
    ASSERT_GE(get_entry(agent, 5), 0) << ZorvsnmpErrString(ZorvsnmpErrno);
    EXPECT_EQ(rows, (std::vector<std::string>{"5: 5|-|five"}));
    const auto log = agent.received();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].names.size(), 2u);
}
