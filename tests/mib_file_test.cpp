// The MIB intermediate file: exact bytes, round trips, every status and its message, and the
// handling of damaged files.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "mib/companion.h"
#include "mib/mib_file.h"
#include "mib/mib_init.h"
#include "mib/value_format.h"
#include "tests/support/mib_builder.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

// Builds file contents word by word.
struct Bytes {
    std::string data;

    Bytes& word(uint32_t v) {
        data += static_cast<char>(v >> 24);
        data += static_cast<char>(v >> 16);
        data += static_cast<char>(v >> 8);
        data += static_cast<char>(v);
        return *this;
    }
    Bytes& text(const std::string& t) {
        word(static_cast<uint32_t>(t.size())).data += t;
        data.append((4 - t.size() % 4) % 4, '-');
        return *this;
    }
    Bytes& header() {
        word(13).data.append("@(#)cudfile2\0---", 16);
        return *this;
    }
    // A record without enumerations or description.
    Bytes& node(bool child, bool peer, const std::string& label, uint32_t subid) {
        return word(child).word(peer).text(label).word(subid).word(0).word(0).word(0).word(0);
    }
};

constexpr size_t kHeaderBytes = 20;

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Two trees hold the same nodes in the same order with the same contents.
void expect_same_tree(const MibNode* a, const MibNode* b, const MibNode* parent_b) {
    for (; a || b; a = a->peer, b = b->peer) {
        ASSERT_TRUE(a && b) << "peer lists differ in length";
        SCOPED_TRACE(a->label);
        EXPECT_STREQ(a->label, b->label);
        EXPECT_EQ(a->subid, b->subid);
        EXPECT_EQ(a->type, b->type);
        EXPECT_EQ(a->access, b->access);
        EXPECT_EQ(b->parent, parent_b);
        EXPECT_EQ(b->printer, printer_for_type(b->type));
        const bool a_has_description = a->description && *a->description;
        ASSERT_EQ(a_has_description, b->description != nullptr);
        if (a_has_description) {
            EXPECT_STREQ(a->description, b->description);
        }
        const EnumEntry* ea = a->enums;
        const EnumEntry* eb = b->enums;
        for (; ea || eb; ea = ea->next, eb = eb->next) {
            ASSERT_TRUE(ea && eb) << "enumerations differ in length";
            EXPECT_EQ(ea->value, eb->value);
            EXPECT_STREQ(ea->label, eb->label);
        }
        expect_same_tree(a->child, b->child, b);
    }
}

const std::string kNoSpaceText = std::strerror(ENOSPC);

int pauses = 0;

class MibFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pauses = 0;
        set_mib_file_pause([](unsigned seconds) {
            EXPECT_EQ(seconds, 1u);
            ++pauses;
        });
    }
    void TearDown() override { set_mib_file_pause(nullptr); }

    // Reads `contents` from a file and expects failure with `status` and `message`.
    void expect_rejected(const std::string& contents, MibFileStatus status,
                         const std::string& message_after_path) {
        const std::string path = dir.file("mib.bin");
        write_file(path, contents);
        EXPECT_EQ(read_mib_file(path.c_str()), nullptr);
        EXPECT_EQ(mib_file_status(), status);
        EXPECT_EQ(std::string(mib_file_message(path.c_str())), message_after_path);
    }

    std::string path(const std::string& name = "mib.bin") const { return dir.file(name); }

    TempDir dir;
};

TEST_F(MibFileTest, SingleIsoNodeIsWrittenAsTheKnown56Bytes) {
    MibNode* iso = add_node(nullptr, "iso", 1);
    ASSERT_EQ(write_mib_file(path().c_str(), iso), 0);
    EXPECT_EQ(mib_file_status(), MIB_FILE_OK);
    release_mib_tree(iso);
    EXPECT_EQ(hex(read_file(path())),
              "00 00 00 0D 40 28 23 29 63 75 64 66 69 6C 65 32 00 2D 2D 2D "
              "00 00 00 00 00 00 00 00 00 00 00 03 69 73 6F 2D 00 00 00 01 "
              "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
}

TEST_F(MibFileTest, TextsArePaddedWithDashesToFourBytes) {
    struct Case {
        const char* label;
        const char* expected_text;
    } cases[] = {
        {"", "00 00 00 00"},
        {"abcd", "00 00 00 04 61 62 63 64"},
        {"abcde", "00 00 00 05 61 62 63 64 65 2D 2D 2D"},
        {"abcdef", "00 00 00 06 61 62 63 64 65 66 2D 2D"},
    };
    for (const Case& c : cases) {
        MibNode* node = add_node(nullptr, c.label, 7);
        ASSERT_EQ(write_mib_file(path().c_str(), node), 0);
        release_mib_tree(node);
        const std::string bytes = read_file(path());
        const std::string label_part = bytes.substr(28, bytes.size() - 28 - 20);
        EXPECT_EQ(hex(label_part), c.expected_text) << "label \"" << c.label << "\"";
    }
}

TEST_F(MibFileTest, EnumerationsAndDescriptionsHaveTheirRecordLayout) {
    MibNode* node = add_node(nullptr, "n", 2, MIB_TYPE_INTEGER, MIB_ACCESS_READ_WRITE);
    add_enum(node, -1, "neg");
    add_enum(node, 5, "five");
    set_description(node, "hello");
    ASSERT_EQ(write_mib_file(path().c_str(), node), 0);
    release_mib_tree(node);
    Bytes expected;
    expected.header().word(0).word(0).text("n").word(2).word(3).word(1).word(1).word(1);
    expected.word(1).word(0xFFFFFFFF).text("neg").word(0).word(5).text("five").text("hello");
    EXPECT_EQ(hex(read_file(path())), hex(expected.data));
}

TEST_F(MibFileTest, TreeReadsBackEqual) {
    MibNode* tree = build_standard_mib2_tree();
    // Corners the standard tree lacks.
    MibNode* extra = add_node(find_by_labels(tree, "iso.org.dod.internet.experimental"),
                              std::string(127, 'x'), 0xFFFFFFFFu, 19, MIB_ACCESS_READ_CREATE);
    add_enum(extra, -1, "minusOne");
    add_enum(extra, INT32_MIN, "lowest");
    add_enum(extra, INT32_MAX, "");
    set_description(extra, "four");
    MibNode* empty_description = add_node(extra, "noText", 0, 42, -3);
    set_description(empty_description, "");
    add_top_level_node(tree, "joint-iso-ccitt", 2);
    add_top_level_node(tree, "second-with-same-subid", 2);

    ASSERT_EQ(write_mib_file(path().c_str(), tree), 0);
    MibNode* copy = read_mib_file(path().c_str());
    ASSERT_NE(copy, nullptr) << mib_file_message(path().c_str());
    EXPECT_EQ(mib_file_status(), MIB_FILE_OK);
    expect_same_tree(tree, copy, nullptr);
    MibNode* read_extra = find_by_labels(copy, "iso.org.dod.internet.experimental")->child;
    ASSERT_NE(read_extra->child, nullptr);
    EXPECT_EQ(read_extra->child->description, nullptr);
    release_mib_tree(tree);
    release_mib_tree(copy);
}

TEST_F(MibFileTest, LongPeerListsAndTheDeepestAllowedTreeRoundTrip) {
    MibNode* first = nullptr;
    MibNode* last = add_top_level_node(first, "p0", 0);
    for (uint32_t i = 1; i < 200000; ++i)
        last = add_top_level_node(last->peer, "p" + std::to_string(i), i);
    MibNode* deep = first;
    for (int level = 2; level <= 128; ++level) deep = add_node(deep, "d", level);

    MibFileWritten written;
    ASSERT_EQ(write_mib_file(path().c_str(), first, &written), 0)
        << mib_file_message(path().c_str());
    // What the writer says it wrote is what the file holds, as the companion binds it.
    CompanionBinding binding;
    CompanionResult result;
    ASSERT_TRUE(bind_database(path(), binding, result)) << result.message;
    EXPECT_EQ(binding, (CompanionBinding{written.size, written.digest}));
    EXPECT_EQ(written.nodes, 200000u + 127u);
    MibNode* copy = read_mib_file(path().c_str());
    ASSERT_NE(copy, nullptr) << mib_file_message(path().c_str());
    expect_same_tree(first, copy, nullptr);
    release_mib_tree(first);
    release_mib_tree(copy);
}

TEST_F(MibFileTest, WriterRefusesTreesTheReaderWouldReject) {
    MibNode* too_deep = add_node(nullptr, "top", 1);
    MibNode* deep = too_deep;
    for (int level = 2; level <= 129; ++level) deep = add_node(deep, "d", level);
    EXPECT_EQ(write_mib_file(path().c_str(), too_deep), 1);
    EXPECT_EQ(mib_file_status(), MIB_FILE_WRITE_FAILED);
    release_mib_tree(too_deep);

    MibNode* unterminated = add_node(nullptr, "x", 1);
    std::memset(unterminated->label, 'y', sizeof(unterminated->label));
    EXPECT_EQ(write_mib_file(path().c_str(), unterminated), 1);
    EXPECT_EQ(std::string(mib_file_message(path().c_str())),
              "Error writing file " + path() + ": " + std::strerror(EINVAL));
    release_mib_tree(unterminated);

    EXPECT_EQ(write_mib_file(path().c_str(), nullptr), 1);
    EXPECT_EQ(mib_file_status(), MIB_FILE_WRITE_FAILED);
}

TEST_F(MibFileTest, WriterReportsFilesItCannotCreate) {
    const std::string bad = dir.file("missing-folder/mib.bin");
    MibNode* iso = add_node(nullptr, "iso", 1);
    EXPECT_EQ(write_mib_file(bad.c_str(), iso), 1);
    release_mib_tree(iso);
    EXPECT_EQ(mib_file_status(), MIB_FILE_CANNOT_OPEN);
    EXPECT_EQ(mib_file_errno(), ENOENT);
    EXPECT_EQ(std::string(mib_file_message(bad.c_str())),
              "Error accessing " + bad + ": " + std::strerror(ENOENT));
}

TEST_F(MibFileTest, WriterReportsAShortWrite) {
    // A file size limit makes the write come up short with EFBIG; its signal must not kill us.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit limit{100, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    MibNode* tree = build_standard_mib2_tree();
    EXPECT_EQ(write_mib_file(path().c_str(), tree), 1);
    setrlimit(RLIMIT_FSIZE, &saved);
    release_mib_tree(tree);
    EXPECT_EQ(mib_file_status(), MIB_FILE_WRITE_FAILED);
    EXPECT_EQ(std::string(mib_file_message(path().c_str())),
              "Error writing file " + path() + ": " + std::strerror(EFBIG));
}

TEST_F(MibFileTest, MissingFileCannotBeOpened) {
    const std::string missing = path("absent.bin");
    EXPECT_EQ(read_mib_file(missing.c_str()), nullptr);
    EXPECT_EQ(mib_file_status(), MIB_FILE_CANNOT_OPEN);
    EXPECT_EQ(mib_file_errno(), ENOENT);
    EXPECT_EQ(std::string(mib_file_message(missing.c_str())),
              "Error accessing " + missing + ": " + std::strerror(ENOENT));
}

TEST_F(MibFileTest, WrongVersionOrSignatureIsRejected) {
    const std::string wrong = ": not a MIB intermediate file or wrong version";
    std::string last_character = Bytes().header().node(false, false, "iso", 1).data;
    last_character[15] = '3';
    std::string thirteenth = Bytes().header().node(false, false, "iso", 1).data;
    thirteenth[16] = 'x';
    std::string underscore = Bytes().header().node(false, false, "iso", 1).data;
    underscore[4] = '_';
    const std::string cases[] = {
        Bytes().word(12).data + std::string("@(#)cudfile\0", 12),
        Bytes().word(14).data + std::string("@(#)cudfile2\0\0---", 17),
        last_character,
        thirteenth,
        underscore,
    };
    for (const std::string& contents : cases) {
        SCOPED_TRACE(hex(contents.substr(0, 20)));
        expect_rejected(contents, MIB_FILE_WRONG_VERSION, "Error accessing " + path() + wrong);
    }
}

TEST_F(MibFileTest, ShortFilesAreReadErrorsWithTheDeviceFullText) {
    const std::string header = Bytes().header().data;
    const std::string iso = Bytes().header().node(false, false, "iso", 1).data;
    const std::string cases[] = {
        "",     std::string("\0\0\0", 3),      header.substr(0, 10), header.substr(0, 19),
        header, iso.substr(0, iso.size() - 1), iso.substr(0, 35),  // inside the label's padding
    };
    for (const std::string& contents : cases) {
        SCOPED_TRACE(contents.size());
        expect_rejected(contents, MIB_FILE_READ_FAILED,
                        "Error reading file " + path() + ": " + kNoSpaceText);
        EXPECT_EQ(mib_file_errno(), ENOSPC);
    }
}

TEST_F(MibFileTest, FileEndingInsideTheTreeIsCorruptedEvenAfterTheSecondAttempt) {
    // The first record is whole; its child list is cut. Both attempts meet the cut, so the
    // outcome is the damaged-tree status rather than a read error at the end of the file.
    const std::string whole =
        Bytes().header().node(true, false, "iso", 1).node(false, true, "org", 3).data +
        Bytes().node(false, false, "dod", 6).data;
    for (size_t cut = 56; cut < whole.size(); cut += 3) {
        SCOPED_TRACE(cut);
        expect_rejected(whole.substr(0, cut), MIB_FILE_CORRUPTED,
                        "Error reading file " + path() + ": inconsistent or corrupted data");
    }
}

TEST_F(MibFileTest, ImpossibleLengthsAreCorruptionAndAreNeverAllocated) {
    const std::string corrupted = ": inconsistent or corrupted data";
    Bytes label_128;
    label_128.header()
        .word(0)
        .word(0)
        .text(std::string(128, 'a'))
        .word(1)
        .word(0)
        .word(0)
        .word(0)
        .word(0);
    Bytes huge_label;
    huge_label.header().word(0).word(0).word(0xFFFFFFFF).data += std::string(64, 'a');
    Bytes huge_description;
    huge_description.header().word(0).word(0).text("iso").word(1).word(0).word(0).word(0).word(1);
    huge_description.word(0xFFFFFFF0).data += "text";
    Bytes huge_enum_label;
    huge_enum_label.header().word(0).word(0).text("iso").word(1).word(0).word(0).word(1).word(0);
    huge_enum_label.word(0).word(1).word(0x7FFFFFFF).data += "abcd";
    Bytes description_past_end;
    description_past_end.header().word(0).word(0).text("iso").word(1).word(0).word(0).word(0);
    description_past_end.word(1).word(9).data += "12345678";
    Bytes nested_label_128;
    nested_label_128.header()
        .node(true, false, "iso", 1)
        .word(0)
        .word(0)
        .text(std::string(128, 'b'));
    nested_label_128.word(3).word(0).word(0).word(0).word(0);

    const Bytes* cases[] = {&label_128,       &huge_label,           &huge_description,
                            &huge_enum_label, &description_past_end, &nested_label_128};
    for (const Bytes* contents : cases) {
        SCOPED_TRACE(hex(contents->data.substr(20, 48)));
        expect_rejected(contents->data, MIB_FILE_CORRUPTED,
                        "Error reading file " + path() + corrupted);
    }
}

TEST_F(MibFileTest, NestingDeeperThan128LevelsIsCorruption) {
    for (int depth : {128, 129, 5000}) {
        Bytes contents;
        contents.header();
        for (int level = 1; level <= depth; ++level) contents.node(level < depth, false, "n", 1);
        const std::string p = path();
        write_file(p, contents.data);
        MibNode* tree = read_mib_file(p.c_str());
        if (depth <= 128) {
            EXPECT_NE(tree, nullptr) << mib_file_message(p.c_str());
            release_mib_tree(tree);
        } else {
            EXPECT_EQ(tree, nullptr) << depth;
            EXPECT_EQ(mib_file_status(), MIB_FILE_CORRUPTED);
        }
    }
}

// A small tree with every kind of field: flags, labels with and without padding, numbers,
// enumerations (a negative value, an empty label) and a description.
std::string sample_file(const std::string& path) {
    MibNode* first = nullptr;
    MibNode* iso = add_top_level_node(first, "iso", 1);
    MibNode* org = add_node(iso, "org", 3);
    MibNode* status = add_node(org, "ifStatus", 7, MIB_TYPE_INTEGER, MIB_ACCESS_READ_WRITE);
    add_enum(status, -1, "down");
    add_enum(status, 1, "");
    set_description(status, "hello");
    add_node(org, "abcd", 4, MIB_TYPE_COUNTER, MIB_ACCESS_NOT_ACCESSIBLE);
    add_top_level_node(first, "joint-iso-ccitt", 2);
    EXPECT_EQ(write_mib_file(path.c_str(), first), 0);
    release_mib_tree(first);
    return read_file(path);
}

// Every damaged form of a file is refused, or it loads a tree that writes back to exactly its
// bytes (a flipped character of a label can only give another label); no case pauses twice.
TEST_F(MibFileTest, DamagedFilesAreRefusedOrWriteBackToTheirBytes) {
    const std::string whole = sample_file(path("whole.bin"));
    struct Case {
        std::string name;
        std::string contents;
        bool may_load;
    };
    std::vector<Case> cases;
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        cases.push_back({"cut at " + std::to_string(cut), whole.substr(0, cut), false});
    }
    for (size_t at = 0; at < whole.size(); ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string flipped = whole;
            flipped[at] = static_cast<char>(flipped[at] ^ (1 << bit));
            cases.push_back(
                {"bit " + std::to_string(bit) + " of byte " + std::to_string(at), flipped, true});
        }
    }
    for (const std::string& tail : {std::string(1, '\0'), std::string("----"),
                                    whole.substr(kHeaderBytes), std::string(4096, '\0')}) {
        cases.push_back({"trailing " + std::to_string(tail.size()), whole + tail, false});
    }
    int loaded = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(path(), c.contents);
        pauses = 0;
        MibNode* tree = read_mib_file(path().c_str());
        EXPECT_LE(pauses, 1);
        if (!tree) {
            EXPECT_NE(mib_file_status(), MIB_FILE_OK);
            continue;
        }
        ++loaded;
        EXPECT_TRUE(c.may_load);
        EXPECT_EQ(write_mib_file(path("again.bin").c_str(), tree), 0);
        release_mib_tree(tree);
        EXPECT_EQ(hex(read_file(path("again.bin"))), hex(c.contents));
    }
    EXPECT_GT(loaded, 0);  // the numbers and label characters take any bits
}

// Beside what single flipped bits give (the table above): texts the writer never writes.
TEST_F(MibFileTest, WhatTheWriterNeverWritesIsInconsistent) {
    const std::string corrupted =
        "Error reading file " + path() + ": inconsistent or corrupted data";
    const std::string wrong_version =
        "Error accessing " + path() + ": not a MIB intermediate file or wrong version";
    Bytes flag_2;
    flag_2.header().word(2).word(0).text("iso").word(1).word(0).word(0).word(0).word(0);
    Bytes nul_in_label = Bytes().header().node(false, false, std::string("i\0o", 3), 1);
    Bytes empty_description;
    empty_description.header().word(0).word(0).text("iso").word(1).word(0).word(0).word(0);
    empty_description.word(1).word(0);
    Bytes nul_in_description;
    nul_in_description.header().word(0).word(0).text("iso").word(1).word(0).word(0).word(0);
    nul_in_description.word(1).text(std::string("ab\0d", 4));
    Bytes trailing = Bytes().header().node(false, false, "iso", 1);
    trailing.data += "garbage after the last record";
    Bytes header_padding = Bytes().header().node(false, false, "iso", 1);
    header_padding.data[19] = '\0';
    const struct {
        const Bytes& contents;
        const std::string& message;
    } cases[] = {
        {flag_2, corrupted},
        {nul_in_label, corrupted},
        {empty_description, corrupted},
        {nul_in_description, corrupted},
        {trailing, corrupted},
        {header_padding, wrong_version},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hex(c.contents.data.substr(20)));
        write_file(path(), c.contents.data);
        pauses = 0;
        EXPECT_EQ(read_mib_file(path().c_str()), nullptr);
        EXPECT_EQ(std::string(mib_file_message(path().c_str())), c.message);
        EXPECT_LE(pauses, 1);
    }
}

// A FIFO would block the open until a writer came; a device or a folder is no database either.
TEST_F(MibFileTest, OnlyRegularFilesAreRead) {
    ASSERT_EQ(mkfifo(path("fifo.bin").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(path("folder.bin").c_str(), 0755), 0);
    ASSERT_EQ(write_standard_mib2_file(path("real.bin")), 0);
    ASSERT_EQ(symlink(path("real.bin").c_str(), path("link.bin").c_str()), 0);
    for (const std::string& special :
         {path("fifo.bin"), path("folder.bin"), std::string("/dev/zero")}) {
        SCOPED_TRACE(special);
        EXPECT_EQ(read_mib_file(special.c_str()), nullptr);
        EXPECT_EQ(mib_file_status(), MIB_FILE_NOT_REGULAR);
        EXPECT_EQ(std::string(mib_file_message(special.c_str())),
                  "Error accessing " + special + ": not a regular file");
    }
    MibNode* through_link = read_mib_file(path("link.bin").c_str());
    EXPECT_NE(through_link, nullptr) << mib_file_message(path("link.bin").c_str());
    release_mib_tree(through_link);
    EXPECT_EQ(pauses, 0);
}

// The second attempt starts again from the first record: a damaged file whose tail happens to
// be a valid record must not load as that fragment.
TEST_F(MibFileTest, SecondAttemptNeverDecodesAFragmentFromMidFile) {
    Bytes contents;
    contents.header().node(true, false, "iso", 1).word(0).word(0).word(200);
    contents.node(false, false, "fragment", 9);
    expect_rejected(contents.data, MIB_FILE_CORRUPTED,
                    "Error reading file " + path() + ": inconsistent or corrupted data");
}

TEST_F(MibFileTest, FileCompletedDuringThePauseLoadsWhole) {
    set_mib_file_pause(nullptr);
    MibNode* tree = build_standard_mib2_tree();
    ASSERT_EQ(write_mib_file(path().c_str(), tree), 0);
    const std::string whole = read_file(path());
    write_file(path(), whole.substr(0, whole.size() / 2));
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        FILE* f = std::fopen(path().c_str(), "ab");  // the same file, as a writer would go on
        std::fwrite(whole.data() + whole.size() / 2, 1, whole.size() - whole.size() / 2, f);
        std::fclose(f);
    });
    const auto start = std::chrono::steady_clock::now();
    MibNode* copy = read_mib_file(path().c_str());
    const auto waited = std::chrono::steady_clock::now() - start;
    writer.join();
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    ASSERT_NE(copy, nullptr) << mib_file_message(path().c_str());
    expect_same_tree(tree, copy, nullptr);
    release_mib_tree(tree);
    release_mib_tree(copy);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// A gigabyte of zeros after the records is refused without being read, and a text longer than
// memory allows is out of memory, both within an address space of half that size.
TEST_F(MibFileTest, HugeFilesAreRefusedWithoutReadingThemWhole) {
    // The sanitizer's allocator reserves address space of its own and aborts instead of failing.
    if (kSanitized) GTEST_SKIP() << "needs the plain allocator";
    Bytes huge_description;
    huge_description.header().word(0).word(0).text("iso").word(1).word(0).word(0).word(0).word(1);
    huge_description.word(0x30000000);
    const struct {
        std::string contents;
        MibFileStatus status;
        std::string message;
    } cases[] = {
        {Bytes().header().node(false, false, "iso", 1).data, MIB_FILE_CORRUPTED,
         "Error reading file " + path() + ": inconsistent or corrupted data"},
        {huge_description.data, MIB_FILE_NO_MEMORY,
         "Error accessing " + path() + ": out of memory"},
    };
    for (const auto& c : cases) {
        write_file(path(), c.contents);
        ASSERT_EQ(truncate(path().c_str(), 1L << 30), 0);  // sparse: takes no disk space
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit limit{512L << 20, 512L << 20};
            if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(10);
            MibNode* tree = read_mib_file(path().c_str());
            if (tree) _exit(11);
            _exit(mib_file_status() == c.status && c.message == mib_file_message(path().c_str())
                      ? 0
                      : 20 + mib_file_status());
        }
        int wait_status = 0;
        ASSERT_EQ(waitpid(child, &wait_status, 0), child);
        ASSERT_TRUE(WIFEXITED(wait_status));
        EXPECT_EQ(WEXITSTATUS(wait_status), 0) << c.message << "; 2x: read status x";
    }
}

TEST_F(MibFileTest, OtherStatusesNameTheFileAndAnyErrorText) {
    MibNode* iso = add_node(nullptr, "iso", 1);
    ASSERT_EQ(write_mib_file(path().c_str(), iso), 0);
    release_mib_tree(iso);
    errno = 0;
    EXPECT_EQ(std::string(mib_file_message(path().c_str())), "Error on file " + path());
    errno = EACCES;
    EXPECT_EQ(std::string(mib_file_message(path().c_str())),
              "Error on file " + path() + ": " + std::strerror(EACCES));
}

TEST_F(MibFileTest, MessageWithoutPathNamesTheDefaultFile) {
    unsetenv("MIBDBV2");
    EXPECT_EQ(read_mib_file(path("absent.bin").c_str()), nullptr);
    const std::string expected =
        "Error accessing /usr/Zorv/conf/snmpv2mib.bin: " + std::string(std::strerror(ENOENT));
    EXPECT_EQ(std::string(mib_file_message(nullptr)), expected);
    EXPECT_EQ(std::string(mib_file_message("")), expected);
}

TEST_F(MibFileTest, MessageHoldsPathsOfAnyLength) {
    const std::string long_path = "/" + std::string(5000, 'd') + "/mib.bin";
    EXPECT_EQ(read_mib_file(long_path.c_str()), nullptr);
    EXPECT_EQ(std::string(mib_file_message(long_path.c_str())),
              "Error accessing " + long_path + ": " + std::strerror(ENAMETOOLONG));
}

// The reader needs only read access. Root passes every permission check, so the non-root case
// runs in a child process that gives up root first.
TEST_F(MibFileTest, ReadOnlyFileLoadsForAnyUser) {
    ASSERT_EQ(write_standard_mib2_file(path()), 0);
    ASSERT_EQ(chmod(path().c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    MibNode* tree = read_mib_file(path().c_str());
    EXPECT_NE(tree, nullptr) << mib_file_message(path().c_str());
    release_mib_tree(tree);

    if (geteuid() != 0) {
        ASSERT_NE(access(path().c_str(), W_OK), 0) << "the file should not be writable";
        return;
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(10);
        if (access(path().c_str(), W_OK) == 0) _exit(11);
        MibNode* as_nobody = read_mib_file(path().c_str());
        const int code = as_nobody ? 0 : 20 + mib_file_status();
        release_mib_tree(as_nobody);
        _exit(code);
    }
    int wait_status = 0;
    ASSERT_EQ(waitpid(child, &wait_status, 0), child);
    ASSERT_TRUE(WIFEXITED(wait_status));
    EXPECT_EQ(WEXITSTATUS(wait_status), 0) << "10/11: could not drop root; 2x: read status x";
}

}  // namespace
