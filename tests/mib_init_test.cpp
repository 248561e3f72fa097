// Locating the MIB intermediate file and keeping `Mib` loaded from it. Each test starts from a
// reset library, so the environment is read afresh by each.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "mib/mib_file.h"
#include "mib/mib_init.h"
#include "tests/support/fresh_state.h"
#include "tests/support/mib_builder.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

class MibPathTest : public FreshState {};
class MibInitExitTest : public FreshState {};

void set_mtime(const std::string& path, time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << std::strerror(errno);
}

// Marks the loaded tree, so that a reload (which builds a fresh tree) can be told apart.
void mark_loaded_tree() {
    ASSERT_NE(Mib, nullptr);
    std::strcpy(Mib->label, "marked");
}
bool loaded_tree_is_marked() {
    return Mib && std::strcmp(Mib->label, "marked") == 0;
}

int pauses = 0;

class MibInitTest : public FreshState {
  protected:
    void TearDown() override { set_mib_file_pause(nullptr); }

    void SetUp() override {
        FreshState::SetUp();
        pauses = 0;
        set_mib_file_pause([](unsigned) { ++pauses; });
        base = dir.file("snmpv2mib");
        file = base + ".bin";
        ASSERT_EQ(install_standard_mib2_database(base), 0);
    }

    // Loads, then returns the load time, against which the tests set the file's time. A load
    // that spans the turn of a second is repeated (a file time far ahead forces the reload).
    time_t load() {
        for (int attempt = 0; attempt < 10; ++attempt) {
            set_mtime(file, std::time(nullptr) + 100000);
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            if (now.tv_nsec > 200'000'000) {
                const timespec rest{0, 1'000'000'000 - now.tv_nsec};
                nanosleep(&rest, nullptr);
            }
            const time_t before = std::time(nullptr);
            EXPECT_EQ(refresh_mib(), 0) << mib_file_message(nullptr);
            const time_t after = std::time(nullptr);
            set_mtime(file, 1000);
            if (after == before) return before;
        }
        ADD_FAILURE() << "every load spanned the turn of a second";
        return 0;
    }

    TempDir dir;
    std::string base;
    std::string file;
};

TEST_F(MibPathTest, DefaultIsTheStationConfigurationFolder) {
    unsetenv("MIBDBV2");
    EXPECT_STREQ(mib_base_path(), "/usr/Zorv/conf/snmpv2mib");
    EXPECT_STREQ(mib_file_path(), "/usr/Zorv/conf/snmpv2mib.bin");
}

TEST_F(MibPathTest, VariableIsTheFileWithoutExtensionWhateverItEndsIn) {
    setenv("MIBDBV2", "/data/mibs/custom.bin/", 1);
    EXPECT_STREQ(mib_base_path(), "/data/mibs/custom.bin/");
    EXPECT_STREQ(mib_file_path(), "/data/mibs/custom.bin/.bin");
}

TEST_F(MibPathTest, VariableIsReadOncePerProcess) {
    setenv("MIBDBV2", "/first/db", 1);
    const char* first = mib_file_path();
    EXPECT_STREQ(first, "/first/db.bin");
    setenv("MIBDBV2", "/second/db", 1);
    EXPECT_STREQ(mib_base_path(), "/first/db");
    EXPECT_EQ(mib_file_path(), first);
    unsetenv("MIBDBV2");
    EXPECT_STREQ(mib_file_path(), "/first/db.bin");
}

TEST_F(MibInitTest, UnchangedFileIsLoadedOnce) {
    EXPECT_EQ(Mib, nullptr);
    load();
    ASSERT_NE(find_by_labels(Mib, "iso.org.dod.internet.mgmt.mib-2.system.sysDescr"), nullptr);
    EXPECT_EQ(Mib->parent, nullptr);
    mark_loaded_tree();
    EXPECT_EQ(refresh_mib(), 0);
    EXPECT_EQ(refresh_mib(), 0);
    EXPECT_TRUE(loaded_tree_is_marked());
}

TEST_F(MibInitTest, FileTimeEqualToTheLoadTimeCountsAsUnchanged) {
    const time_t loaded_at = load();
    mark_loaded_tree();
    set_mtime(file, loaded_at);
    EXPECT_EQ(refresh_mib(), 0);
    EXPECT_TRUE(loaded_tree_is_marked());
}

TEST_F(MibInitTest, FileNewerThanTheLoadIsReloaded) {
    const time_t loaded_at = load();
    mark_loaded_tree();
    set_mtime(file, loaded_at + 1);
    EXPECT_EQ(refresh_mib(), 0);
    ASSERT_NE(Mib, nullptr);
    EXPECT_STREQ(Mib->label, "iso");
    set_mtime(file, 1000);
    mark_loaded_tree();
    EXPECT_EQ(refresh_mib(), 0);
    EXPECT_TRUE(loaded_tree_is_marked());
}

TEST_F(MibInitTest, DeletedFileKeepsTheTreeLoadedBefore) {
    load();
    mark_loaded_tree();
    ASSERT_EQ(std::remove(file.c_str()), 0);
    EXPECT_EQ(refresh_mib(), -1);
    EXPECT_TRUE(loaded_tree_is_marked());
    // Back again, unchanged since the load: nothing to do.
    ASSERT_EQ(write_standard_mib2_file(file), 0);
    set_mtime(file, 1000);
    EXPECT_EQ(refresh_mib(), 0);
    EXPECT_TRUE(loaded_tree_is_marked());
}

TEST_F(MibInitTest, BadFileIsReadAgainOnEveryCall) {
    write_file(file, std::string("\0\0\0\x0e", 4) + "not a MIB");
    for (int call = 0; call < 3; ++call) {
        EXPECT_EQ(refresh_mib(), -1);
        EXPECT_EQ(Mib, nullptr);
        EXPECT_EQ(mib_file_status(), MIB_FILE_WRONG_VERSION);
    }
    EXPECT_EQ(std::string(mib_file_message(nullptr)),
              "Error accessing " + file + ": not a MIB intermediate file or wrong version");
    // Repaired with an old time stamp: still read, since no load has succeeded.
    ASSERT_EQ(write_standard_mib2_file(file), 0);
    set_mtime(file, 1000);
    EXPECT_EQ(refresh_mib(), 0);
    EXPECT_NE(Mib, nullptr);
}

// The pause before the further attempt serves a file that is being rewritten: the same damaged
// file costs it once, each change of the file once more.
TEST_F(MibInitTest, DamagedFilePausesOnlyWhenChangedSinceItFailed) {
    const std::string whole = read_file(file);
    const std::string corrupted = "Error reading file " + file + ": inconsistent or corrupted data";
    write_file(file, whole.substr(0, whole.size() / 2));
    set_mtime(file, 1000);
    for (int call = 0; call < 5; ++call) EXPECT_EQ(refresh_mib(), -1);
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(std::string(mib_file_message(nullptr)), corrupted);

    const std::string third = whole.substr(0, whole.size() / 3);
    const struct {
        const char* change;
        time_t modified;
        bool new_inode;
    } changes[] = {
        {"size", 1000, false}, {"modification time", 1001, false}, {"inode", 1001, true}};
    for (const auto& c : changes) {
        SCOPED_TRACE(c.change);
        // A new file renamed over the old one takes another inode; the old one is still there.
        write_file(c.new_inode ? file + ".new" : file, third);
        if (c.new_inode) {
            ASSERT_EQ(std::rename((file + ".new").c_str(), file.c_str()), 0);
        }
        set_mtime(file, c.modified);
        pauses = 0;
        for (int call = 0; call < 3; ++call) EXPECT_EQ(refresh_mib(), -1);
        EXPECT_EQ(pauses, 1);
    }
    write_file(file, whole);
    EXPECT_EQ(refresh_mib(), 0);
}

TEST_F(MibInitTest, UnreachableFileIsReportedAsOneThatCannotBeOpened) {
    ASSERT_EQ(std::remove(file.c_str()), 0);
    EXPECT_EQ(refresh_mib(), -1);
    EXPECT_EQ(std::string(mib_file_message(nullptr)),
              "Error accessing " + file + ": " + std::strerror(ENOENT));
}

TEST_F(MibInitTest, FailedReloadDropsTheTreeAndRetriesEveryCall) {
    const time_t loaded_at = load();
    write_file(file, "garbage");
    set_mtime(file, loaded_at + 1);
    EXPECT_EQ(refresh_mib(), -1);
    EXPECT_EQ(Mib, nullptr);
    ASSERT_EQ(write_standard_mib2_file(file), 0);
    set_mtime(file, 1000);
    EXPECT_EQ(refresh_mib(), 0);
    EXPECT_NE(Mib, nullptr);
}

TEST_F(MibInitTest, RefreshOrExitReturnsZeroWhenLoaded) {
    EXPECT_EQ(refresh_mib_or_exit(), 0);
    EXPECT_NE(Mib, nullptr);
}

TEST_F(MibInitExitTest, RefreshOrExitEndsWithStatus2WhenNoFile) {
    TempDir dir;
    const std::string base = dir.file("none");
    setenv("MIBDBV2", base.c_str(), 1);
    EXPECT_EXIT(refresh_mib_or_exit(), ::testing::ExitedWithCode(2),
                "^Couldn't find mib file: " + base + "\\.bin\n$");
}

}  // namespace
