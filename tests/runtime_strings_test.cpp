// String, token and path helpers.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/runtime.h"

namespace {

std::vector<std::string> tokens(std::string text, const char* delimiters) {
    std::vector<std::string> out;
    for (char* t = _Zorvstrtok(text.data(), delimiters, 1); t;
         t = _Zorvstrtok(nullptr, delimiters, 0))
        out.emplace_back(t);
    return out;
}

std::vector<std::string> items(const char* text, const char* separators) {
    int count = -1;
    char** vector = nullptr;
    EXPECT_EQ(_ZorvstrToArgv(text, &count, &vector, separators, 0, 0), 0);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        out.emplace_back(vector[i]);
        std::free(vector[i]);
    }
    EXPECT_EQ(vector[count], nullptr);
    std::free(vector);
    return out;
}

using Texts = std::vector<std::string>;

TEST(StrtokTest, EmptyTokensAndTheEnd) {
    EXPECT_EQ(tokens("a\n\nc", "\n"), (Texts{"a", "", "c"}));
    EXPECT_EQ(tokens("one line", "\n"), (Texts{"one line"}));
    EXPECT_EQ(tokens("a\n", "\n"), (Texts{"a"}));  // a final newline ends the last line
    EXPECT_EQ(tokens("a\n\n", "\n"), (Texts{"a", ""}));
    EXPECT_EQ(tokens("\na", "\n"), (Texts{"", "a"}));
    EXPECT_EQ(tokens("\n", "\n"), (Texts{""}));
    EXPECT_EQ(tokens("", "\n"), (Texts{""}));
    EXPECT_EQ(tokens("a,b;c", ",;"), (Texts{"a", "b", "c"}));
    EXPECT_EQ(tokens("abc", ""), (Texts{"abc"}));
    EXPECT_EQ(_Zorvstrtok(nullptr, "\n", 0), nullptr);  // nothing left after the last token
}

TEST(StrtokTest, FirstCallRestarts) {
    std::string one = "a,b";
    std::string two = "x,y";
    EXPECT_STREQ(_Zorvstrtok(one.data(), ",", 1), "a");
    EXPECT_STREQ(_Zorvstrtok(two.data(), ",", 1), "x");
    EXPECT_STREQ(_Zorvstrtok(nullptr, ",", 0), "y");
    EXPECT_EQ(_Zorvstrtok(nullptr, ",", 0), nullptr);
}

TEST(StrToArgvTest, SplitsAtEverySeparator) {
    EXPECT_EQ(items("ifDescr,Speed=5:12", "\n,"), (Texts{"ifDescr", "Speed=5:12"}));
    EXPECT_EQ(items("1\n2,3", "\n,"), (Texts{"1", "2", "3"}));
    EXPECT_EQ(items(",2", "\n,"), (Texts{"", "2"}));
    EXPECT_EQ(items("2,", "\n,"), (Texts{"2", ""}));
    EXPECT_EQ(items("a,,b", ","), (Texts{"a", "", "b"}));
    EXPECT_EQ(items("", ","), Texts{});
    EXPECT_EQ(items("solo", ","), (Texts{"solo"}));
    int count = 0;
    char** vector = nullptr;
    EXPECT_EQ(_ZorvstrToArgv(nullptr, &count, &vector, ",", 0, 0), -1);
}

TEST(PathTest, Basename) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"/usr/bin/rowscan", "rowscan"},
        {"rowscan", "rowscan"},
        {"C:\\zorv\\bin\\objpeek.exe", "objpeek.exe"},
        {"a/b\\c", "c"},
        {"dir/", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_STREQ(_Zorvbasename(c.path), c.name) << c.path;
    EXPECT_STREQ(_Zorvbasename(nullptr), "");
}

TEST(PathTest, ConcatPath) {
    char buffer[64];
    std::strcpy(buffer, "/usr/Zorv/conf");
    EXPECT_STREQ(_ZorvConcatPath(buffer, "snmpv2mib"), "/usr/Zorv/conf/snmpv2mib");
    std::strcpy(buffer, "/tmp/");
    EXPECT_STREQ(_ZorvConcatPath(buffer, "mib.coerce"), "/tmp/mib.coerce");
    std::strcpy(buffer, "");
    EXPECT_STREQ(_ZorvConcatPath(buffer, "x"), "/x");
    SetCurDriveToProductDrive();
}

TEST(StringsTest, ByteHelpersInTheCLocale) {
    const char* text = "ifEntry=ifDescr";
    EXPECT_EQ(_Zorvstrchr(text, '='), text + 7);
    EXPECT_EQ(strchr_new(text, 'z'), nullptr);
    EXPECT_EQ(strchr_new(text, 0), text + std::strlen(text));
    EXPECT_EQ(_Zorvstrspn("1.3.6x", "0123456789."), 5u);
    EXPECT_EQ(strspn_new("", "0"), 0u);
    EXPECT_EQ(strlen_new("abc"), 3u);
    EXPECT_EQ(strcmp_new("abc", "abc"), 0);
    EXPECT_LT(strcmp_new("abc", "abd"), 0);
    char buffer[16];
    strcpy_new(buffer, "ab");
    strcat_new(buffer, "cd");
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_TRUE(isdigit_new('7'));
    EXPECT_FALSE(isdigit_new('x'));
    EXPECT_FALSE(isdigit_new(static_cast<char>(0xE9)));  // negative char values are safe
    EXPECT_FALSE(isdigit_new(EOF));
    for (int c : {' ', '\t', '\n', '\v', '\f', '\r'}) EXPECT_TRUE(isspace_new(c)) << c;
    EXPECT_FALSE(isspace_new('a'));
}

TEST(StringsTest, MultibyteCharactersStayWhole) {
    if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
    const char* text = "caf\xc3\xa9=1";  // café=1
    EXPECT_EQ(strlen_new(text), 6u);
    EXPECT_EQ(strchr_new(text, 0xA9), nullptr);  // a trail byte is not a character
    EXPECT_EQ(strchr_new(text, 0xC3A9), text + 3);
    EXPECT_EQ(strchr_new(text, '='), text + 5);
    EXPECT_EQ(strspn_new(text, "acf\xc3\xa9"), 5u);
    EXPECT_EQ(strspn_new(text, "acf\xc3"), 3u);
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    strncpy_new(buffer, text, 4);  // "caf" and not half of the é
    EXPECT_EQ(std::string(buffer, 4), std::string("caf\0", 4));
    strncpy_new(buffer, "ab", 5);
    EXPECT_EQ(std::string(buffer, 5), std::string("ab\0\0\0", 5));
    EXPECT_EQ(tokens(std::string("x\xc3\xa9y"), "\xa9"), (Texts{"x\xc3\xa9y"}));
    EXPECT_EQ(tokens(std::string("x\xc3\xa9y"), "\xc3\xa9"), (Texts{"x", "y"}));
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(strchr_new(text, 0xA9), text + 4);  // one byte, one character
}

}  // namespace
