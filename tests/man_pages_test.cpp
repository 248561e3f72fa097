// The manual pages: each renders without a groff warning, and each documents every option of
// its program's table, so that a new option without documentation fails here.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/objpeek.h"
#include "appls/extmgr/ttycmds/rowscan.h"
#include "runtime/snmp/credentials.h"
#include "tests/support/snmpsim.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

const std::string kPages = ZORV_BINARY_DIR "/man/";
const char* const kPrograms[] = {"rowscan", "objpeek", "mibdb"};

// What the page documents as an item: the words of each tag line after ".TP" that name an
// option ("\-x") or a setting, written as the user types them.
std::set<std::string> documented(const std::string& program) {
    std::istringstream page(read_file(kPages + program + ".1"));
    std::set<std::string> items;
    bool tag = false;
    for (std::string line; std::getline(page, line); tag = line == ".TP") {
        if (!tag || line.rfind(".B", 0) != 0) continue;
        std::istringstream words(line);
        std::string word;
        words >> word;  // the macro
        while (words >> word) {
            if (word.front() == '"') word.erase(0, 1);
            for (size_t at; (at = word.find("\\-")) != std::string::npos;) word.erase(at, 1);
            items.insert(word);
        }
    }
    return items;
}

// Options both programs take beside their table: answered before it is read.
std::vector<std::string> with_help(std::vector<const char*> options) {
    std::vector<std::string> all(options.begin(), options.end());
    all.insert(all.end(), {"--help", "--version"});
    return all;
}

std::vector<std::string> rowscan_options() {
    using namespace rowscan_message;
    const Program program("rowscan", kRowscanSet, [](FILE*, const char*) {});
    return with_help(
        CommandLine(program, {kBadOptionArgument, kStrayArgument}, kRowscanOptions).options());
}

std::vector<std::string> objpeek_options() {
    using namespace objpeek_message;
    const Program program("objpeek", kObjpeekSet, [](FILE*, const char*) {});
    return with_help(
        CommandLine(program, {kBadOptionArgument, kStrayArgument}, kObjpeekOptions).options());
}

// mibdb reads its options command by command; its usage text names every one of them.
std::vector<std::string> mibdb_options() {
    const ProgramResult r = run_program(ZORV_BINARY_DIR "/appls/mibdb/mibdb", {"--help"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> options;
    // A word that starts a line or follows a blank, "[" or "|" and is "-" or "--" and a name.
    for (size_t at = 0; at < r.out.size(); ++at) {
        const char before = at == 0 ? '\n' : r.out[at - 1];
        if (r.out[at] != '-' ||
            !(std::isspace(static_cast<unsigned char>(before)) || before == '[' || before == '|'))
            continue;
        size_t end = at + (at + 1 < r.out.size() && r.out[at + 1] == '-' ? 2 : 1);
        if (end >= r.out.size() || !std::islower(static_cast<unsigned char>(r.out[end]))) continue;
        while (end < r.out.size() &&
               (std::islower(static_cast<unsigned char>(r.out[end])) || r.out[end] == '-'))
            ++end;
        options.push_back(r.out.substr(at, end - at));
        at = end;
    }
    EXPECT_GE(options.size(), 10u) << r.out;
    return options;
}

TEST(ManPagesTest, RenderWithoutGroffWarnings) {
    for (const char* program : kPrograms) {
        const ProgramResult r = run_program(
            "/usr/bin/man", {"--warnings", "-E", "UTF-8", "-l", kPages + program + ".1"},
            {"MANWIDTH=80"});
        EXPECT_EQ(r.status, 0) << program;
        EXPECT_EQ(r.err, "") << program;
        EXPECT_NE(r.out.find("EXIT STATUS"), std::string::npos) << program;
    }
}

TEST(ManPagesTest, EveryOptionAndSettingIsAnItemOfItsPage) {
    std::vector<std::string> settings{"MIBDBV2", "ZORVSNMP_CREDENTIALS"};
    for (std::string_view name : snmp::kCredentialSettings) settings.emplace_back(name);
    const struct {
        const char* program;
        std::vector<std::string> items;
    } cases[] = {
        {"rowscan", rowscan_options()}, {"rowscan", settings},
        {"objpeek", objpeek_options()}, {"objpeek", settings},
        {"mibdb", mibdb_options()},     {"mibdb", {"MIBDBV2", "ZORVMIBDIRS"}},
    };
    for (const auto& c : cases) {
        const std::set<std::string> page = documented(c.program);
        for (const std::string& item : c.items) {
            EXPECT_TRUE(page.count(item)) << item << " is not an item of " << c.program << "(1)";
        }
    }
}

}  // namespace
