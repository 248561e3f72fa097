// The option parser, with rowscan's option table.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "runtime/runtime.h"

namespace {

enum Slot {
    kTitle,
    kCommunity,
    kTable,
    kFields,
    kNode,
    kAppname,
    kDump,
    kHtml,
    kJs,
    kHtmlFmt,
    kInst
};

const OptionDesc kRowscanOptions[] = {
    {"-title", 2, nullptr, 11, option_slot_offset(kTitle)},
    {"-c", 2, nullptr, 11, option_slot_offset(kCommunity)},
    {"-table", 2, nullptr, 11, option_slot_offset(kTable)},
    {"-fields", 2, nullptr, 11, option_slot_offset(kFields)},
    {"-node", 2, nullptr, 11, option_slot_offset(kNode)},
    {"-appname", 4, nullptr, 11, option_slot_offset(kAppname)},
    {"-d", 0, "True", 12, option_slot_offset(kDump)},
    {"-html", 0, "True", 12, option_slot_offset(kHtml)},
    {"-js", 0, "True", 12, option_slot_offset(kJs)},
    {"-htmlFmt", 2, nullptr, 11, option_slot_offset(kHtmlFmt)},
    {"-inst", 2, nullptr, 11, option_slot_offset(kInst)},
};

struct Parsed {
    int result = 0;
    int index = -7;
    OptionSlot slots[11] = {};
    std::string slot(int i) const { return slots[i] ? slots[i] : "<absent>"; }
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), "/usr/bin/rowscan");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    Parsed p;
    p.result = parseCmdLine(static_cast<int>(args.size()), argv.data(), 1, 11, kRowscanOptions,
                            p.slots, &p.index);
    // The slots point into `args`: copy what the tests read before it goes.
    static std::deque<std::string> keep;  // deque: earlier texts never move
    for (OptionSlot& s : p.slots)
        if (s) s = keep.emplace_back(s).c_str();
    return p;
}

TEST(ParseCmdLineTest, FillsSlotsOfGoodOptions) {
    const Parsed p = parse({"-table", "ifEntry", "-fields", "Descr=2,3", "-node", "10.0.0.1", "-c",
                            "private", "-d", "-html", "-js", "-htmlFmt", "a%sb", "-inst", "1,2",
                            "-appname", "x", "-title", "T"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.index, 0);
    EXPECT_EQ(p.slot(kTable), "ifEntry");
    EXPECT_EQ(p.slot(kFields), "Descr=2,3");
    EXPECT_EQ(p.slot(kNode), "10.0.0.1");
    EXPECT_EQ(p.slot(kCommunity), "private");
    EXPECT_EQ(p.slot(kDump), "True");
    EXPECT_EQ(p.slot(kHtml), "True");
    EXPECT_EQ(p.slot(kJs), "True");
    EXPECT_EQ(p.slot(kHtmlFmt), "a%sb");
    EXPECT_EQ(p.slot(kInst), "1,2");
    EXPECT_EQ(p.slot(kAppname), "x");
    EXPECT_EQ(p.slot(kTitle), "T");
}

TEST(ParseCmdLineTest, AbsentOptionsStayEmpty) {
    const Parsed none = parse({});
    EXPECT_EQ(none.result, 0);
    EXPECT_EQ(none.index, 0);
    for (OptionSlot s : none.slots) EXPECT_EQ(s, nullptr);

    const Parsed some = parse({"-node", "n"});
    EXPECT_EQ(some.slot(kNode), "n");
    EXPECT_EQ(some.slots[kTable], nullptr);
    EXPECT_EQ(some.slots[kDump], nullptr);
}

TEST(ParseCmdLineTest, ReportsPositions) {
    struct Case {
        std::vector<std::string> args;
        int result;
        int index;
    };
    const Case cases[] = {
        // The first argument that is not an option of the table.
        {{"stray"}, 0, 1},
        {{"-node", "n", "extra", "-d"}, 0, 3},
        {{"-node", "n", "-x", "more"}, 0, 3},
        {{"-Node", "n"}, 0, 1},  // options match exactly
        {{"-nod", "n"}, 0, 1},   // no abbreviations
        {{"-node", "n", ""}, 0, 3},
        // A missing argument: the index names the option.
        {{"-node"}, -1, 1},
        {{"-table", "t", "-fields"}, -1, 3},
        {{"-node", "-table", "t"}, -1, 1},  // an option is not taken as an argument
        {{"-title", "-t", "x"}, -1, 1},     // nor is "-t"
        {{"-c", "-d"}, -1, 1},
        {{"-inst"}, -1, 1},
        {{"-appname"}, -1, 1},  // kind 4 needs an argument too
    };
    for (const Case& c : cases) {
        const Parsed p = parse(c.args);
        EXPECT_EQ(p.result < 0, c.result < 0) << ::testing::PrintToString(c.args);
        if (c.result >= 0) {
            EXPECT_EQ(p.result, c.result);
        }
        EXPECT_EQ(p.index, c.index) << ::testing::PrintToString(c.args);
    }
}

TEST(ParseCmdLineTest, StopsAtTheFirstStray) {
    const Parsed p = parse({"-node", "n", "stray", "-table", "t"});
    EXPECT_EQ(p.index, 3);
    EXPECT_EQ(p.slot(kNode), "n");
    EXPECT_EQ(p.slots[kTable], nullptr);
}

TEST(ParseCmdLineTest, ShortTitleAndAppnameTakingAnOption) {
    const Parsed t = parse({"-t", "My title", "-appname", "-node", "-node", "n"});
    EXPECT_EQ(t.result, 0);
    EXPECT_EQ(t.index, 0);
    EXPECT_EQ(t.slot(kTitle), "My title");
    EXPECT_EQ(t.slot(kAppname), "-node");
    EXPECT_EQ(t.slot(kNode), "n");
}

TEST(ParseCmdLineTest, LastRepeatedOptionWins) {
    const Parsed p = parse({"-node", "a", "-title", "one", "-node", "b", "-t", "two", "-d", "-d"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.slot(kNode), "b");
    EXPECT_EQ(p.slot(kTitle), "two");
    EXPECT_EQ(p.slot(kDump), "True");
}

TEST(ParseCmdLineTest, ArgumentsThatLookOdd) {
    // Texts that are not options of the table are arguments, dashes or not.
    const Parsed p = parse({"-c", "-secret", "-inst", "-1", "-title", ""});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.index, 0);
    EXPECT_EQ(p.slot(kCommunity), "-secret");
    EXPECT_EQ(p.slot(kInst), "-1");
    EXPECT_EQ(p.slot(kTitle), "");
}

TEST(ParseCmdLineTest, ArgcBoundsTheScan) {
    // Arguments past argc are not looked at, even when the vector goes on.
    char a0[] = "rowscan", a1[] = "-node", a2[] = "n";
    char* argv[] = {a0, a1, a2, nullptr};
    OptionSlot slots[11] = {};
    int index = -1;
    EXPECT_LT(parseCmdLine(2, argv, 1, 11, kRowscanOptions, slots, &index), 0);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(slots[kNode], nullptr);
}

}  // namespace
