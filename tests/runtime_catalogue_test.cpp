// Catalogue texts through the C library's catalogues, built here with gencat. Each test starts
// with the catalogue not yet searched for, and sets NLSPATH before the first lookup opens it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "runtime/runtime.h"
#include "tests/support/fresh_state.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

class CatalogueTest : public FreshState {};

bool build_catalogue(const TempDir& dir, const std::string& source) {
    write_file(dir.file("zorv.msg"), source);
    const std::string command =
        "/usr/bin/gencat " + dir.file("zorv.cat") + " " + dir.file("zorv.msg");
    return std::system(command.c_str()) == 0;
}

TEST_F(CatalogueTest, TranslatedMessageReordersItsInserts) {
    if (access("/usr/bin/gencat", X_OK) != 0) GTEST_SKIP() << "gencat is not installed";
    TempDir dir;
    ASSERT_TRUE(build_catalogue(dir,
                                "$set 23\n"
                                "2 Second %2 then first %1\\n\n"
                                "9 Benutzerdefinierte MIB-Tabelle f\xc3\xbcr\n"
                                "$set 16\n"
                                "6 Trap %1: (%3!d!/%2!d!)\n"));
    setenv("NLSPATH", (dir.path() / "%N.cat").c_str(), 1);

    StderrCapture err;
    nl_fprintf(stderr, BrixLoadString(kRowscanSet, (23 << 16) | 2, "First %1 then %2\n"), "one",
               "two");
    EXPECT_EQ(err.finish(), "Second two then first one\n");

    EXPECT_STREQ(BrixLoadString(kRowscanSet, 0x170009, "User Specified MIB Table for"),
                 "Benutzerdefinierte MIB-Tabelle f\xc3\xbcr");
    std::string out;
    const NlArg args[] = {"linkDown", 2, 7};
    nl_format(out, BrixLoadString(kMibLibrarySet, 0x100006, "x"), args);
    EXPECT_EQ(out, "Trap linkDown: (7/2)");
    // Messages and sets the catalogue lacks keep their default text.
    EXPECT_STREQ(BrixLoadString(kRowscanSet, 0x170004, "default 4"), "default 4");
    EXPECT_STREQ(BrixLoadString(kObjpeekSet, 0x160002, "<NO VALUE>\n"), "<NO VALUE>\n");
}

TEST_F(CatalogueTest, DefaultTextWithoutCatalogue) {
    TempDir dir;
    setenv("NLSPATH", (dir.path() / "%N.cat").c_str(), 1);
    const char* text = BrixLoadString(kRowscanSet, 0x17000d, "ERROR: invalid parameter, %1\n");
    EXPECT_STREQ(text, "ERROR: invalid parameter, %1\n");
    EXPECT_STREQ(BrixLoadString(kRowscanSet, 0x170000, "number 0"), "number 0");
    EXPECT_STREQ(BrixLoadString(kRowscanSet, 0x170001, nullptr), "");
}

}  // namespace
