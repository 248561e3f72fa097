// The type-coercion file: its messages and effects, the reload it triggers, and its silence
// while switched off.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "mib/mib.h"
#include "tests/support/fresh_state.h"
#include "tests/support/mib_builder.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

class Coercion : public FreshState {};

const char kSystem[] = "iso.org.dod.internet.mgmt.mib-2.system";

MibNode* node(const std::string& below_system) {
    return find_by_labels(Mib, below_system.empty() ? kSystem : kSystem + ("." + below_system));
}

// Writes the coercion file into `dir`, points the variable at it and switches it on.
std::string install_coercion_file(const TempDir& dir, const std::string& contents) {
    const std::string path = dir.file("mib.coerce");
    write_file(path, contents);
    setenv("ZORVMIBCOERCEFILE", path.c_str(), 1);
    set_coercion_enabled(1);
    return path;
}

void set_mtime(const std::string& path, time_t when) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST_F(Coercion, MessagesAndEffects) {
    TempDir dir;
    Mib = build_standard_mib2_tree();
    const std::string long_piece = ".1.3.6.1.2.1.1.5 GAUGE" + std::string(1023 - 22, ' ');
    const std::string path = install_coercion_file(dir,
                                                   "# a comment\n"
                                                   "\n"
                                                   "1.3.6.1.2.1.1.1 INTEGER\n"
                                                   ".1.3.6.1.2.1.1.1\n"
                                                   ".1.3.x INTEGER\n"
                                                   ".1.3.6.1.2.1.1.1 counter\n"
                                                   ".1.3.6.1.99.99 counter\n"
                                                   ".1.3.6.1.2.1.1 COUNTER extra words\n"
                                                   ".1.3.6.1.2.1.1.4 GAUGE\n"
                                                   ".1.3.6.1.2.1.1.4 INTEGER\n"
                                                   "  .1.3.6.1.2.1.1.2 GAUGE\n" +
                                                       long_piece +
                                                       ".1.3.6.1.2.1.1.6 COUNTER\n"
                                                       ".1.3.6.1.2.1.1.3\tGAUGE");
    StderrCapture capture;
    apply_coercion_file();
    const std::string expected[] = {
        "Invalid line in " + path + ": \n",
        "Invalid line in " + path + ": 1.3.6.1.2.1.1.1 INTEGER\n",
        "Invalid line in " + path + ": .1.3.6.1.2.1.1.1\n",
        "Invalid objectID in " + path + ": .1.3.x INTEGER\n",
        "Invalid type: \"counter\" in " + path + ".  Use INTEGER, COUNTER or GAUGE\n",
        "Invalid line in " + path + ":   .1.3.6.1.2.1.1.2 GAUGE\n",
    };
    std::string all;
    for (const std::string& line : expected) all += line;
    EXPECT_EQ(capture.finish(), all);
    EXPECT_EQ(node("sysDescr")->type, MIB_TYPE_OCTET_STRING);
    EXPECT_EQ(node("")->type, MIB_TYPE_COUNTER);            // an intermediate node changes too
    EXPECT_EQ(node("sysContact")->type, MIB_TYPE_INTEGER);  // the last line wins
    EXPECT_EQ(node("sysObjectID")->type, MIB_TYPE_OBJECT_ID);
    EXPECT_EQ(node("sysName")->type, MIB_TYPE_GAUGE);          // the long line's first piece
    EXPECT_EQ(node("sysLocation")->type, MIB_TYPE_COUNTER);    // and its second
    EXPECT_EQ(node("sysUpTime")->type, MIB_TYPE_GAUGE);        // tab separated, no newline
    EXPECT_EQ(node("sysDescr")->printer, print_octet_string);  // printers stay
}

TEST_F(Coercion, IdentifiersLongerThan64AreInvalid) {
    TempDir dir;
    Mib = build_standard_mib2_tree();
    std::string ids;
    for (int i = 0; i < 65; ++i) ids += ".1";
    const std::string path = install_coercion_file(dir, ids + " GAUGE\n");
    StderrCapture capture;
    apply_coercion_file();
    EXPECT_EQ(capture.finish(), "Invalid objectID in " + path + ": " + ids + " GAUGE\n");
}

TEST_F(Coercion, BinaryBytesNeverCrash) {
    TempDir dir;
    Mib = build_standard_mib2_tree();
    std::string junk = ".\xff\x01 \x80\x80\n.";
    junk += std::string(3000, '.');
    junk += std::string("\0\0.1.3 GAUGE\n", 13);
    install_coercion_file(dir, junk);
    StderrCapture capture;
    apply_coercion_file();
    EXPECT_NE(capture.finish(), "");
}

TEST_F(Coercion, SilentWhenOffOrMissing) {
    TempDir dir;
    Mib = build_standard_mib2_tree();
    install_coercion_file(dir,
                          "\nbad line\n.1.3.x GAUGE\n.1.3.6.1.2.1.1.1 counter\n"
                          ".1.3.6.1.2.1.1.1 GAUGE\n");
    EXPECT_EQ(set_coercion_enabled(0), 0);
    EXPECT_EQ(coercion_enabled(), 0);
    StderrCapture capture;
    apply_coercion_file();
    EXPECT_EQ(capture.finish(), "");
    EXPECT_EQ(node("sysDescr")->type, MIB_TYPE_OCTET_STRING);

    EXPECT_EQ(set_coercion_enabled(5), 5);
    EXPECT_EQ(coercion_enabled(), 1);
    std::remove(dir.file("mib.coerce").c_str());
    StderrCapture missing;
    apply_coercion_file();
    EXPECT_EQ(missing.finish(), "");
}

TEST_F(Coercion, DefaultPathAndReadOnce) {
    unsetenv("ZORVMIBCOERCEFILE");
    EXPECT_STREQ(coercion_file_path(), "/usr/Zorv/conf/mib.coerce");
    setenv("ZORVMIBCOERCEFILE", "/elsewhere", 1);
    EXPECT_STREQ(coercion_file_path(), "/usr/Zorv/conf/mib.coerce");
}

TEST_F(Coercion, NewerFileReloadsTheTree) {
    TempDir dir;
    const std::string base = dir.file("mib");
    ASSERT_EQ(install_standard_mib2_database(base), 0);
    const time_t now = std::time(nullptr);
    set_mtime(base + ".bin", now - 100);
    const std::string path = install_coercion_file(dir, ".1.3.6.1.2.1.1.1 INTEGER\n");
    set_mtime(path, now - 100);

    ASSERT_EQ(refresh_mib(), 0);
    EXPECT_EQ(node("sysDescr")->type, MIB_TYPE_INTEGER);
    node("sysName")->type = 99;  // stays while nothing is reloaded
    ASSERT_EQ(refresh_mib(), 0);
    EXPECT_EQ(node("sysName")->type, 99);

    write_file(path, ".1.3.6.1.2.1.1.1 GAUGE\n");
    set_mtime(path, now + 100);
    ASSERT_EQ(refresh_mib(), 0);
    EXPECT_EQ(node("sysDescr")->type, MIB_TYPE_GAUGE);
    EXPECT_EQ(node("sysName")->type, MIB_TYPE_OCTET_STRING);
}

TEST_F(Coercion, NewerFileIgnoredWhileOff) {
    TempDir dir;
    const std::string base = dir.file("mib");
    ASSERT_EQ(install_standard_mib2_database(base), 0);
    const time_t now = std::time(nullptr);
    set_mtime(base + ".bin", now - 100);
    const std::string path = install_coercion_file(dir, ".1.3.6.1.2.1.1.1 INTEGER\n");
    set_coercion_enabled(0);
    ASSERT_EQ(refresh_mib(), 0);
    EXPECT_EQ(node("sysDescr")->type, MIB_TYPE_OCTET_STRING);
    node("sysName")->type = 99;
    set_mtime(path, now + 100);
    ASSERT_EQ(refresh_mib(), 0);
    EXPECT_EQ(node("sysName")->type, 99);
}

}  // namespace
