// The pieces rowscan and objpeek share: list helpers, value text preparation, the command line
// and the names of response bindings.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "appls/extmgr/ttycmds/program_start.h"
#include "appls/extmgr/ttycmds/response_bindings.h"
#include "appls/extmgr/ttycmds/value_text.h"

namespace {

std::vector<std::string> split(const char* text) {
    char** items = nullptr;
    const int count = split_list(text, &items);
    if (count < 0) return {"<failed>"};
    std::vector<std::string> result(items, items + count);
    for (int i = 0; i < count; ++i) std::free(items[i]);
    std::free(items);
    return result;
}

struct Spec {
    std::string id;
    std::string label;
    int32_t width;
};

Spec parse(const std::string& text, bool module = false) {
    std::vector<char> item(text.begin(), text.end());
    item.push_back('\0');
    char* id = nullptr;
    char* label = nullptr;
    int32_t width = -99;
    if (!module)
        parse_field_spec(item.data(), &id, &label, &width);
    else if (!parse_module_field_spec(item.data(), &id, &label, &width))
        return {"<none>", "", 0};
    return {id, label, width};
}

std::string encode(const std::string& text, bool star_is_prefix, bool* prefix) {
    *prefix = false;
    char* encoded = encode_string_instance(text.c_str(), star_is_prefix, prefix);
    std::string result = encoded;
    std::free(encoded);
    return result;
}

}  // namespace

TEST(SplitListTest, SplitsAtCommasAndNewlines) {
    EXPECT_EQ(split("1,2,3"), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(split("a\nb,c"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(split("single"), (std::vector<std::string>{"single"}));
    // Only the ends must not be empty.
    EXPECT_EQ(split("1,,2"), (std::vector<std::string>{"1", "", "2"}));
}

TEST(SplitListTest, RejectsEmptyListsAndEmptyEnds) {
    for (const char* text : {"", ",2", "2,", ",", "1,2\n", "\n1"}) {
        EXPECT_EQ(split(text), std::vector<std::string>{"<failed>"}) << '"' << text << '"';
    }
}

TEST(ParseFieldSpecTest, LabelsIdsAndWidths) {
    const struct {
        const char* text;
        const char* id;
        const char* label;
        int32_t width;
        bool module = false;  // parse_module_field_spec
    } cases[] = {
        {"Speed=5:12", "5", "Speed", 12},
        {"ifDescr", "ifDescr", "ifDescr", 0},
        {"ifEntry.ifDescr", "ifEntry.ifDescr", "ifDescr", 0},
        {"ifDescr.3", "ifDescr.3", "ifDescr.3", 0},
        {"1.5", "1.5", "1.5", 0},
        {"a.b.3.c", "a.b.3.c", "b.3.c", 0},
        {"x.", "x.", "x.", 0},
        {"Descr=2:12x", "2", "Descr", 12},
        {"2:", "2", "2", 0},
        {"2:abc", "2", "2", 0},
        {"2:-4", "2", "2", -4},
        {"2:99999999999", "2", "2", 2147483647},
        {"=3", "3", "", 0},
        {"a=b=c", "b=c", "a", 0},
        {"L:x=7:3", "7", "L:x", 3},
        {"IF-MIB::ifName:20", "IF-MIB", "IF-MIB", 0},
        {"IF-MIB::ifName:20", "IF-MIB::ifName", "ifName", 20, true},
        {"N=IF-MIB::ifXEntry.ifName", "IF-MIB::ifXEntry.ifName", "N", 0, true},
        {"IF-MIB::ifIndex.3:x", "IF-MIB::ifIndex.3", "ifIndex.3", 0, true},
        {"ifName:20", "<none>", "", 0, true},
    };
    for (const auto& c : cases) {
        const Spec spec = parse(c.text, c.module);
        EXPECT_EQ(spec.id, c.id) << c.text;
        EXPECT_EQ(spec.label, c.label) << c.text;
        EXPECT_EQ(spec.width, c.width) << c.text;
    }
}

TEST(ParseFieldSpecTest, MultibyteLettersAfterADotStartTheLabel) {
    if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
    EXPECT_EQ(parse("table.\xc3\xa9tat").label, "\xc3\xa9tat");
    EXPECT_EQ(parse("\xc3\xa9.3").label, "\xc3\xa9.3");
    std::setlocale(LC_ALL, "C");
}

TEST(CountOidPartsTest, CountsComponents) {
    const struct {
        const char* text;
        int parts;
    } cases[] = {{"", 0},  {".1.3.6", 3}, {"1.3.6", 3},          {"sysDescr", 1},
                 {".", 1}, {"1..2", 3},   {"ifEntry.ifDescr", 2}};
    for (const auto& c : cases) EXPECT_EQ(count_oid_parts(c.text), c.parts) << c.text;
}

TEST(EncodeStringInstanceTest, EncodesBytesAsUnsignedNumbers) {
    bool prefix = false;
    EXPECT_EQ(encode("eth0", true, &prefix), "101.116.104.48");
    EXPECT_FALSE(prefix);
    EXPECT_EQ(encode("ab", true, &prefix), "97.98");
    // A byte above 127 is 128..255, never negative.
    EXPECT_EQ(encode("caf\xe9", true, &prefix), "99.97.102.233");
    EXPECT_EQ(encode("\xff\x80", false, &prefix), "255.128");
    EXPECT_EQ(encode("1.2x", true, &prefix), "49.46.50.120");
}

TEST(EncodeStringInstanceTest, NumericInstancesStayAsTheyAre) {
    bool prefix = false;
    for (const char* text : {"1.2", "3", "10.0.0.1", "1..2", ""}) {
        EXPECT_EQ(encode(text, true, &prefix), text);
        EXPECT_FALSE(prefix);
    }
}

TEST(EncodeStringInstanceTest, TrailingStarMarksAPrefixWhenAsked) {
    bool prefix = false;
    EXPECT_EQ(encode("eth*", true, &prefix), "101.116.104");
    EXPECT_TRUE(prefix);
    EXPECT_EQ(encode("*", true, &prefix), "");
    EXPECT_TRUE(prefix);
    // objpeek encodes the star like any other byte.
    EXPECT_EQ(encode("eth*", false, &prefix), "101.116.104.42");
    EXPECT_FALSE(prefix);
}

TEST(EncodeStringInstanceTest, LongInstancesHaveNoLimit) {
    bool prefix = false;
    const std::string encoded = encode(std::string(500, '\xfe'), false, &prefix);
    EXPECT_EQ(encoded.size(), 500u * 4 - 1);
    EXPECT_EQ(encoded.substr(0, 8), "254.254.");
}

TEST(ValueTextTest, CleaningReplacesControlCharactersButKeepsNewlines) {
    std::string text =
        "a\tb\x01"
        "c\nd\x7f";
    clean_value_text(text.data());
    EXPECT_EQ(text, "a b c\nd ");
}

TEST(ValueTextTest, ScriptAndHtmlEscaping) {
    const struct {
        const char* text;
        bool html;
        bool script;
        const char* placed;
    } cases[] = {
        {"plain value", false, false, "plain value"},
        {"plain value", true, true, "plain value"},
        {"it's", false, true, "it\\'s"},
        {"one\ntwo", false, true, "one<br>\\\ntwo"},
        {"back\\slash", false, true, "back\\\\slash"},
        {"<b>&", true, false, "&lt;b&gt;&amp;"},
        {"<b>&", false, false, "<b>&"},
        {"a'b\\\nc", true, true, "a&#39;b\\\\<br>\\\nc"},
        // What a script string cannot hold raw is escaped, even where cleaning has not run.
        {"a\rb\x01\x7f", false, true, "a\\x0Db\\x01\\x7F"},
        {"a\xE2\x80\xA8z\xE2\x80\xA9", true, true, "a\\u2028z\\u2029"},
        {"\xE2\x80\xA7\xE2\x80", false, true, "\xE2\x80\xA7\xE2\x80"},
        {"</script>", true, true, "&lt;/script&gt;"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(prepare_value_text(c.text, c.html, c.script), c.placed) << c.text;
    }
}

TEST(ValueTextTest, LabelsAreEscapedInHtmlAndCleanedInScripts) {
    const struct {
        const char* label;
        bool html;
        bool script;
        const char* placed;
    } cases[] = {
        {"A\r'B\\<i>", false, true, "A\r'B\\<i>"},
        {"A\r'B\\<i>", true, false, "A\r&#39;B\\&lt;i&gt;"},
        {"A\r'B\\<i>", true, true, "A &#39;B\\\\&lt;i&gt;"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(prepare_label_text(c.label, c.html, c.script), c.placed) << c.label;
    }
}

TEST(CommandLineTest, SharedOptionsSurroundTheProgramsOwn) {
    static constexpr ProgramMessage kBad{14, "bad %1\n"}, kStray{13, "stray %1\n"};
    static constexpr ProgramMessage kTitle{9, "Default title"};
    static constinit Program program("test", kRowscanSet, [](FILE*, const char*) {});
    CommandLine options(program, {kBad, kStray}, {"-table", "-fields"});
    std::vector<std::string> args = {"test", "-t",  "Links", "-appname", "-d",    "-fields",
                                     "1,2",  "-js", "-inst", "3",        "-node", "n"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    options.parse(static_cast<int>(argv.size()), argv.data());

    EXPECT_STREQ(options.value("-appname"), "-d");  // takes any argument, even an option
    EXPECT_FALSE(options.given("-d"));
    EXPECT_FALSE(options.given("-table"));
    EXPECT_STREQ(options.value("-fields"), "1,2");
    EXPECT_STREQ(options.value("-inst"), "3");
    CommonOptions common;
    options.take_common(common, kTitle);
    EXPECT_STREQ(common.title, "Links");
    EXPECT_EQ(common.community, nullptr);
    EXPECT_STREQ(common.node, "n");
    EXPECT_EQ(common.html, 0);
    EXPECT_EQ(common.script_escape, 1);

    CommandLine bare(program, {kBad, kStray}, {"-obj"});
    bare.parse(1, argv.data());
    bare.take_common(common, kTitle);
    EXPECT_STREQ(common.title, "Default title");
}

TEST(BindingNamesTest, PrefixAndOrder) {
    using Ids = std::vector<uint32_t>;
    const struct {
        Ids name;
        Ids other;
        bool has_prefix;
        bool follows;
    } cases[] = {
        {{1, 3, 6, 1}, {1, 3, 6}, true, true},
        {{1, 3, 6}, {1, 3, 6}, true, false},  // the same name is not after itself
        {{1, 3}, {1, 3, 6}, false, false},
        {{1, 3, 7}, {1, 3, 6, 9}, false, true},
        {{1, 3, 5, 9}, {1, 3, 6}, false, false},
        {{}, {}, true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(oid_has_prefix(c.name, c.other), c.has_prefix) << testing::PrintToString(c.name);
        EXPECT_EQ(oid_follows(c.name, c.other), c.follows) << testing::PrintToString(c.name);
    }
}

TEST(BindingNamesTest, AHoleIsNamedBySixLeadingZeros) {
    const struct {
        std::vector<uint32_t> name;
        bool hole;
    } cases[] = {
        {{0, 0, 0, 0, 0, 0}, true},  {{0, 0, 0, 0, 0, 0, 7}, true}, {{0, 0, 0, 0, 0}, false},
        {{0, 0, 0, 0, 0, 1}, false}, {{1, 3, 6, 1, 2, 1}, false},
    };
    for (auto c : cases) {
        VarBind binding{};
        binding.name = c.name.data();
        binding.name_length = static_cast<uint32_t>(c.name.size());
        EXPECT_EQ(is_hole(&binding), c.hole) << testing::PrintToString(c.name);
    }
    const VarBind nameless{};
    EXPECT_FALSE(is_hole(&nameless));
}
