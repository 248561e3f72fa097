// Positional inserts: reordering, printf conversions between exclamation marks, bad inserts.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/runtime.h"

namespace {

std::string format(const char* f, std::vector<NlArg> args) {
    std::string out;
    nl_format(out, f, args);
    return out;
}

struct Case {
    const char* format;
    std::vector<NlArg> args;
    const char* expected;
};

TEST(NlFormatTest, AppliesInserts) {
    const Case cases[] = {
        {"plain text\n", {}, "plain text\n"},
        {"ERROR: unknown field id: %1\n", {"ifFoo"}, "ERROR: unknown field id: ifFoo\n"},
        {"%2 before %1", {"one", "two"}, "two before one"},
        {"%1%1", {"ab"}, "abab"},
        {"trap %1, (%2!d!,%3!d!).", {"coldStart", 0, 6}, "trap coldStart, (0,6)."},
        {"[%1!-5s!]", {"ab"}, "[ab   ]"},
        {"[%1!5s!]", {"ab"}, "[   ab]"},
        {"[%1!.2s!]", {"abcdef"}, "[ab]"},
        {"[%1!-6.3s!]", {"abcdef"}, "[abc   ]"},
        {"%1!05d!", {42}, "00042"},
        {"%1!+d!", {42}, "+42"},
        {"%1!x! %1!X! %1!#o!", {255}, "ff FF 0377"},
        {"%1!lu!", {4000000000ul}, "4000000000"},
        {"%1!u!", {-1}, "4294967295"},  // int -1 seen as unsigned int
        {"%1!x!", {-1LL}, "ffffffffffffffff"},
        {"%1!hhd!", {300}, "44"},
        {"%1!hu!", {70000}, "4464"},
        {"%1!d!", {5000000000LL}, "5000000000"},  // a wide value is not cut to int
        {"%1!c!", {'z'}, "z"},
        {"%1!.2f!", {3.14159}, "3.14"},
        {"%1!d!", {2.9}, "2"},
        {"%1!.1f!", {7}, "7.0"},
        {"%1", {-12}, "-12"},
        {"%1!s!", {17u}, "17"},
        {"%1!5d!", {"ab"}, "   ab"},  // text where a number was expected stays visible
        {"100%% sure %1", {"x"}, "100% sure x"},
        {"%%1 is not an insert", {"x"}, "%1 is not an insert"},
        {"lone % sign and %z", {}, "lone % sign and %z"},
        {"ends with %", {}, "ends with %"},
        {"%0 stays", {"x"}, "%0 stays"},
        {"missing %2 and %3!d!", {"x"}, "missing %2 and %3!d!"},
        {"Cannot open %1!", {"f"}, "Cannot open f!"},
        {"%1!wow!", {"f"}, "f!wow!"},
        {"%1!n! %1!p! %1!*d! %1!q!", {5}, "%1!n! %1!p! %1!*d! %1!q!"},
        {"%1!99999d!", {5}, "%1!99999d!"},
        {"%10", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}, "j"},
        {"%1!ls!", {"wide"}, "wide"},
    };
    for (const Case& c : cases) EXPECT_EQ(format(c.format, c.args), c.expected) << c.format;
}

TEST(NlFormatTest, NullFormatAndNullTextAreSafe) {
    EXPECT_EQ(format(nullptr, {}), "");
    const char* none = nullptr;
    EXPECT_EQ(format("[%1]", {none}), "[(null)]");
}

TEST(NlFormatTest, LongTextsAreNotCut) {
    const std::string big(100000, 'x');
    EXPECT_EQ(format("<%1>", {big}), "<" + big + ">");
    EXPECT_EQ(format("%1!s!", {big}).size(), big.size());
}

TEST(NlFormatTest, SprintfNeverPassesItsBuffer) {
    for (size_t size : {0, 1, 2, 5, 11, 12, 64}) {
        std::vector<char> buffer(size + 8, '#');
        const int n = nl_sprintf(buffer.data(), size, "%2 and %1!5d!", 7, "hello");
        const std::string full = "hello and     7";
        if (size == 0) {
            EXPECT_EQ(n, 0);
        } else {
            const size_t kept = std::min(size - 1, full.size());
            EXPECT_EQ(n, static_cast<int>(kept));
            EXPECT_EQ(std::string(buffer.data()), full.substr(0, kept));
        }
        for (size_t i = size; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '#') << size;
    }
}

TEST(NlFormatTest, FprintfWritesToTheStream) {
    char* text = nullptr;
    size_t length = 0;
    FILE* stream = open_memstream(&text, &length);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(nl_fprintf(stream, "%2: %1\n", std::string("b"), "a"), 5);
    std::fclose(stream);
    EXPECT_EQ(std::string(text, length), "a: b\n");
    std::free(text);
}

}  // namespace
