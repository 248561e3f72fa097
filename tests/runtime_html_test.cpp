// HTML wrappers: which specifications are taken, and what the wrapper calls write.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "runtime/runtime.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

const char* kRowscanDefault =
    "<TABLE BORDER>%s</TABLE>,<TR>%s</TR>,<TH NOWRAP>%s</TH>,<TD NOWRAP>%s</TD>";

TEST(ParseHtmlSpecTest, AcceptsAndRejects) {
    struct Case {
        const char* text;
        int result;
    };
    const Case cases[] = {
        {"<TABLE BORDER>%s</TABLE>,<TR>%s</TR>,<TH NOWRAP>%s</TH>,<TD NOWRAP>%s</TD>", 0},
        {"<PRE>%s</PRE>,,<STRONG>%s</STRONG>,", 0},
        {",,,", 0},
        {"", 0},
        {"<T>%s</T>", 0},                   // missing wrappers are empty
        {"<TD WIDTH=100%%>%s</TD>,,,", 0},  // "%%" is a percent sign
        {"no conversion,,,", 0},
        {"%d,,,", -1},
        {"%s%s,,,", -1},
        {",,%n,", -1},
        {",,,%5s", -1},
        {",,,%-s", -1},
        {"trailing %,,,", -1},
        {"%%%s%%,,,", 0},
        {"%%%,,,", -1},
        {"a,b,c,d,e", -1},  // a fifth wrapper would be lost
    };
    for (const Case& c : cases) EXPECT_EQ(parseHtmlSpec(c.text), c.result) << c.text;
    EXPECT_EQ(parseHtmlSpec(nullptr), -1);
}

TEST(ParseHtmlSpecTest, RejectedSpecificationChangesNothing) {
    ASSERT_EQ(parseHtmlSpec(kRowscanDefault), 0);
    ASSERT_EQ(parseHtmlSpec("<A>%s</A>,<B>%s</B>,<C>%d</C>,<D>%s</D>"), -1);
    StdoutCapture out;
    printTableTag(1, 0);
    printCell(1, "%s", "v");
    printTableTag(1, 1);
    EXPECT_EQ(out.finish(), "<TABLE BORDER><TD NOWRAP>v</TD></TABLE>");
}

TEST(HtmlOutputTest, RowscanTableThroughTheWrappers) {
    ASSERT_EQ(parseHtmlSpec(kRowscanDefault), 0);
    StdoutCapture out;
    printTableTag(1, 0);
    std::printf(formatHead(1, "%s"), "Index");
    printHead(1, "%-11.11s", "Descr");
    printRowTag(1, 1);
    printRowTag(1, 0);
    printCell(1, "%s", "1");
    printDataTag(1, 0);
    std::printf("raw");
    printDataTag(1, 1);
    printRowTag(1, 1);
    printTableTag(1, 1);
    EXPECT_EQ(out.finish(),
              "<TABLE BORDER><TH NOWRAP>Index</TH><TH NOWRAP>Descr</TH></TR><TR>"
              "<TD NOWRAP>1</TD><TD NOWRAP>raw</TD></TR></TABLE>");
}

TEST(HtmlOutputTest, PercentSignsAndWrappersWithoutText) {
    ASSERT_EQ(parseHtmlSpec("<P>100%%</P>,<TR 50%%>%s</TR 50%%>,<B>,"), 0);
    StdoutCapture out;
    printTableTag(1, 0);  // no "%s": the whole wrapper opens
    printTableTag(1, 1);  // and nothing closes
    printRowTag(1, 0);
    printRowTag(1, 1);
    printHead(1, "%s", "L");
    std::printf(formatHead(1, "%s"), "M");
    printCell(1, "%s", "<NO VALUE>\n");  // an empty data wrapper leaves the text bare
    EXPECT_EQ(out.finish(), "<P>100%</P><TR 50%></TR 50%><B>L<B>M<NO VALUE>\n");
}

TEST(HtmlOutputTest, TextModeUsesTheColumnFormat) {
    ASSERT_EQ(parseHtmlSpec(kRowscanDefault), 0);
    StdoutCapture out;
    printTableTag(0, 0);
    printRowTag(0, 1);
    printDataTag(0, 0);
    printHead(0, "%-5.5s \t ", "Label");
    printCell(0, "%10.10s", "right");
    printCell(0, "%-3.3s|", "cutoff");
    printCell(0, "%d", "unsafe");         // not a text format: the text is written bare
    printCell(0, "%12345678s", "|wide");  // widths have at most seven digits
    printCell(0, "%s", nullptr);
    std::printf("%s", formatHead(0, "%-7.7s"));
    EXPECT_EQ(out.finish(), "Label \t      rightcut|unsafe|wide%-7.7s");
}

TEST(HtmlEscapeTest, EscapesMarkupCharacters) {
    EXPECT_EQ(html_escape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
    EXPECT_EQ(html_escape("plain text 100%"), "plain text 100%");
    EXPECT_EQ(html_escape(""), "");
}

}  // namespace
