// The database's companion: round trips, lookups, its binding to the database, and damaged files
// refused whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "mib/companion.h"
#include "tests/support/mib_builder.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

using Oid = std::vector<uint32_t>;

const Oid kIfEntry = {1, 3, 6, 1, 2, 1, 2, 2, 1};
const Oid kIfPhysAddress = {1, 3, 6, 1, 2, 1, 2, 2, 1, 6};
const Oid kIfXEntry = {1, 3, 6, 1, 2, 1, 31, 1, 1, 1};

// Facts with every kind of field, deliberately out of order: texts shared and not, with and
// without padding, sizes, INDEX with and without IMPLIED, AUGMENTS, the largest numbers.
std::vector<NodeFacts> sample_facts() {
    std::vector<NodeFacts> facts(7);
    facts[0] = {kIfXEntry, {"IF-MIB"}, "", "", {}, {}, false, kIfEntry};
    facts[1] = {kIfPhysAddress, {"IF-MIB"}, "PhysAddress", "1x:", {}, {}, false, {}};
    facts[2] = {kIfEntry, {"RFC1213-MIB", "IF-MIB"},        "",    "",
                {},       {{1, 3, 6, 1, 2, 1, 2, 2, 1, 1}}, false, {}};
    facts[3] = {{1, 3, 6, 1, 6, 3, 16, 1, 2, 1},
                {"SNMP-VIEW-BASED-ACM-MIB"},
                "",
                "",
                {},
                {{1, 3, 6, 1, 6, 3, 16, 1, 2, 1, 1}, {1, 3, 6, 1, 6, 3, 16, 1, 2, 1, 2}},
                true,
                {}};
    facts[4] = {{1, 3, 6, 1, 2, 1, 4, 34, 1, 3}, {"IP-MIB"}, "InetAddress", "",
                {{0, 0}, {4, 4}, {16, 16}},      {},         false,         {}};
    facts[5] = {{1, 3, 6, 1, 2, 1, 25, 1, 2},
                {"HOST-RESOURCES-MIB"},
                "DateAndTime",
                "2d-1d-1d,1d:1d:1d.1d,1a1d:1d",
                {{8, 8}, {11, 11}},
                {},
                false,
                {}};
    facts[6] = {Oid(128, 0xFFFFFFFFu), {"X"}, "MacAddress", "1x:", {{6, 6}}, {}, false, {}};
    return facts;
}

std::vector<NodeFacts> sorted(std::vector<NodeFacts> facts) {
    std::sort(facts.begin(), facts.end(),
              [](const NodeFacts& a, const NodeFacts& b) { return a.oid < b.oid; });
    return facts;
}

class CompanionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        write_file(database(), "the database's bytes");
        ASSERT_TRUE(write_companion(database(), sample_facts()).ok());
        whole = read_file(companion());
        CompanionResult result;
        ASSERT_TRUE(bind_database(database(), binding, result)) << result.message;
    }

    std::string database() const { return dir.file("mib.bin"); }
    std::string companion() const { return dir.file("mib.facts"); }

    // Whether `bytes` decode; when they do, they must encode back to exactly themselves.
    bool loads_and_writes_back(const std::string& bytes) {
        Companion read;
        if (decode_companion(bytes, binding, read) != CompanionStatus::kOk) {
            EXPECT_EQ(read.size(), 0u);
            return false;
        }
        std::string again;
        std::string why;
        EXPECT_TRUE(encode_companion(read.all(), read.binding(), again, why)) << why;
        EXPECT_EQ(again, bytes);
        return true;
    }

    TempDir dir;
    std::string whole;
    CompanionBinding binding;
};

TEST_F(CompanionTest, FactsReadBackSortedAndAreFoundByOidAndByModuleLabel) {
    CompanionResult result;
    auto read = read_companion(database(), result);
    ASSERT_NE(read, nullptr) << result.message;
    EXPECT_EQ(read->all(), sorted(sample_facts()));
    EXPECT_EQ(read->binding(), binding);

    MibNode* tree = build_standard_mib2_tree();
    add_node(find_by_labels(tree, "iso.org.dod.internet.mgmt.mib-2.interfaces.ifTable"),
             "ifRowAlias", 1);  // a second label for ifEntry's OID
    const struct {
        const char* module;
        const char* label;
        const Oid* expected;  // null: not found
    } cases[] = {
        {"IF-MIB", "ifEntry", &kIfEntry},
        {"RFC1213-MIB", "ifEntry", &kIfEntry},  // defined in two modules
        {"IF-MIB", "ifRowAlias", &kIfEntry},
        {"IF-MIB", "ifPhysAddress", &kIfPhysAddress},
        {"RFC1213-MIB", "ifPhysAddress", nullptr},  // not one of its modules
        {"IF-MIB", "ifXEntry", &kIfXEntry},
        {"X", "x", nullptr},  // in the facts, not in this tree
        {"NO-SUCH-MIB", "ifEntry", nullptr},
        {"IF-MIB", "ifDescr", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.module) + "::" + c.label);
        const auto found = read->find_in_module(tree, c.module, c.label);
        ASSERT_EQ(found.has_value(), c.expected != nullptr);
        if (found) {
            EXPECT_EQ(found->oid, *c.expected);
            EXPECT_EQ(read->find(*c.expected), found);
        }
    }
    release_mib_tree(tree);
    for (const Oid& absent : {Oid{}, Oid{0}, Oid{1, 3, 6, 1, 2, 1, 2, 2}, Oid(129, 0xFFFFFFFFu),
                              Oid{1, 3, 6, 1, 2, 1, 2, 2, 1, 6, 0}})
        EXPECT_EQ(read->find(absent), std::nullopt);  // prefixes, extensions, outside
    EXPECT_EQ(read->find(Oid(128, 0xFFFFFFFFu))->fixed_size(), 6u);
    EXPECT_EQ(read->find(Oid{1, 3, 6, 1, 2, 1, 4, 34, 1, 3})->fixed_size(), std::nullopt);
}

TEST_F(CompanionTest, SmallestFileHasItsLayout) {
    std::string bytes;
    std::string why;
    ASSERT_TRUE(
        encode_companion({{{1}, {"M-MIB"}, "", "", {}, {}, false, {}}}, {5, 7}, bytes, why));
    // Text and record counts, the text, the OID, one module, then six empty words.
    const std::string body = std::string("\0\0\0\1\0\0\0\1\0\0\0\5M-MIB---", 20) +
                             std::string("\0\0\0\1\0\0\0\1\0\0\0\1\0\0\0\1", 16) +
                             std::string(24, '\0');
    ASSERT_EQ(bytes.size(), kCompanionHeaderSize + body.size());
    EXPECT_EQ(bytes.substr(0, 28),
              std::string("ZorvFcts\0\0\0\1\0\0\0\0\0\0\0\5\0\0\0\0\0\0\0\7", 28));
    EXPECT_EQ(bytes.substr(kCompanionHeaderSize), body);
}

// Every damaged form is refused, or loads facts that write back to exactly its bytes: as found
// (the body's digest refuses nearly all) and resealed, so that the checks behind the digest
// meet every damage too.
TEST_F(CompanionTest, DamagedFilesAreRefusedOrWriteBackToTheirBytes) {
    std::vector<std::string> cases;
    for (size_t cut = 0; cut < whole.size(); ++cut) cases.push_back(whole.substr(0, cut));
    for (size_t at = 0; at < whole.size(); ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string flipped = whole;
            flipped[at] = static_cast<char>(flipped[at] ^ (1 << bit));
            cases.push_back(flipped);
        }
    }
    for (const std::string& tail :
         {std::string(1, '\0'), std::string("----"), whole.substr(kCompanionHeaderSize)})
        cases.push_back(whole + tail);
    int loaded = 0;
    int loaded_resealed = 0;
    for (std::string& c : cases) {
        SCOPED_TRACE(testing::Message() << "case of " << c.size() << " bytes");
        const bool loads = loads_and_writes_back(c);
        EXPECT_TRUE(!loads || c == whole);
        loaded += loads;
        if (c.size() >= kCompanionHeaderSize) {
            seal_companion(c, binding);
            loaded_resealed += loads_and_writes_back(c);
        }
    }
    EXPECT_EQ(loaded, 0);              // the digest refuses every damage
    EXPECT_GT(loaded_resealed, 1000);  // numbers and text characters take any bits
}

TEST_F(CompanionTest, RefusedFilesSayWhy) {
    const std::string prefix = "MIB facts file " + companion() + " not used: ";
    std::string trailing = whole + std::string(4, '\0');
    seal_companion(trailing, binding);
    std::string version = whole;
    version[11] = 2;
    const struct {
        const char* name;
        std::string companion;  // empty: none
        std::string database;   // empty: none
        CompanionStatus status;
        std::string message;
    } cases[] = {
        {"stale", whole, "the database's bytes, changed", CompanionStatus::kStale,
         prefix + "written for another database, or the database changed since"},
        {"same size, one byte changed", whole, "the database's bytez", CompanionStatus::kStale,
         prefix + "written for another database, or the database changed since"},
        {"trailing bytes", trailing, "the database's bytes", CompanionStatus::kCorrupted,
         prefix + "inconsistent or corrupted data"},
        {"version 2", version, "the database's bytes", CompanionStatus::kWrongVersion,
         prefix + "not a MIB facts file or wrong version"},
        {"missing", "", "the database's bytes", CompanionStatus::kCannotOpen,
         prefix + std::strerror(ENOENT)},
        {"no database", whole, "", CompanionStatus::kNoDatabase,
         prefix + "cannot read the database " + database() + ": " + std::strerror(ENOENT)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(companion().c_str());
        std::remove(database().c_str());
        if (!c.companion.empty()) write_file(companion(), c.companion);
        if (!c.database.empty()) write_file(database(), c.database);
        CompanionResult result;
        EXPECT_EQ(read_companion(database(), result), nullptr);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.message, c.message);
    }
    // Larger than any companion is refused before anything is read (sparse: takes no disk).
    write_file(companion(), whole);
    ASSERT_EQ(truncate(companion().c_str(), kCompanionMaxFileSize + 1), 0);
    CompanionResult result;
    EXPECT_EQ(read_companion(database(), result), nullptr);
    EXPECT_EQ(result.message, prefix + "inconsistent or corrupted data");
    std::remove(companion().c_str());
    ASSERT_EQ(mkfifo(companion().c_str(), 0644), 0);
    EXPECT_EQ(read_companion(database(), result), nullptr);
    EXPECT_EQ(result.message, prefix + "not a regular file");
}

TEST_F(CompanionTest, LoadsOnFirstNeedAndReportsAFailureOnce) {
    std::remove(companion().c_str());
    LazyCompanion lazy(database());
    ASSERT_TRUE(write_companion(database(), sample_facts()).ok());  // after construction
    EXPECT_NE(lazy.get(), nullptr);
    EXPECT_EQ(lazy.failure_message(), "");

    LazyCompanion stale(database());
    write_file(database(), "another database");
    EXPECT_EQ(stale.get(), nullptr);
    EXPECT_EQ(stale.get(), nullptr);
    EXPECT_NE(stale.failure_message(), "");
    EXPECT_EQ(stale.failure_message(), "");
}

TEST_F(CompanionTest, WriterRefusesFactsTheReaderWouldRefuse) {
    const struct {
        NodeFacts facts;
        const char* why;
    } cases[] = {
        {{{}, {"M"}, "", "", {}, {}, false, {}}, "an object identifier empty or too long"},
        {{Oid(129, 1), {"M"}, "", "", {}, {}, false, {}}, "an object identifier empty or too long"},
        {{{1}, {"M"}, "", "", {}, {{}}, false, {}}, "an INDEX object identifier empty or too long"},
        {{{1}, {"M"}, "", "", {}, {}, false, Oid(129, 1)},
         "an AUGMENTS object identifier too long"},
        {{{1}, {"M"}, "", "", {}, {}, true, {}}, "IMPLIED without INDEX"},
        {{{1}, {"M"}, "", "", {{3, 2}}, {}, false, {}},
         "a size range whose minimum exceeds its maximum"},
        {{{1}, {std::string("M\0", 2)}, "", "", {}, {}, false, {}}, "a text holding a NUL"},
        {{{1}, {"M", ""}, "", "", {}, {}, false, {}}, "an empty module name"},
    };
    for (const auto& c : cases) {
        std::string bytes;
        std::string why;
        EXPECT_FALSE(encode_companion({c.facts}, binding, bytes, why));
        EXPECT_EQ(why, c.why);
    }
    std::string bytes;
    std::string why;
    EXPECT_FALSE(encode_companion({sample_facts()[0], sample_facts()[0]}, binding, bytes, why));
    EXPECT_EQ(why, "an object identifier given twice");
    const CompanionResult result = write_companion(database(), {sample_facts()[0], {}});
    EXPECT_EQ(result.status, CompanionStatus::kWriteFailed);
    EXPECT_EQ(result.message, "cannot write the MIB facts file " + companion() +
                                  ": an object identifier empty or too long");
    EXPECT_EQ(read_file(companion()), whole);  // the companion that was there stays
}

}  // namespace
