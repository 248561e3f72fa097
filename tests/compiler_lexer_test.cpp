// The compiler's bottom layer: tokens, join words, comments, directives, quoted texts, braced
// values, located messages and the bounded message buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "mib/compiler/compiler_internal.h"
#include "tests/support/test_support.h"

namespace {

// A stream over a copy of `text`, with the lexer state as a fresh compile leaves it.
class Source {
  public:
    explicit Source(std::string text) : text_(std::move(text)) {
        stream_ = fmemopen(text_.data(), text_.size(), "r");
        reset_lexer();
        clear_compile_messages();
        set_prefix_line_count(0);
    }
    ~Source() { std::fclose(stream_); }
    FILE* stream() const { return stream_; }

    std::vector<std::pair<int32_t, std::string>> tokens() {
        std::vector<std::pair<int32_t, std::string>> out;
        char text[kTokenSize];
        for (;;) {
            const int32_t token = next_token(stream_, text);
            if (token == END_OF_INPUT) break;
            out.emplace_back(token, text);
        }
        return out;
    }

  private:
    std::string text_;
    FILE* stream_;
};

using Tokens = std::vector<std::pair<int32_t, std::string>>;

TEST(CompilerLexer, SplitsWordsAtDelimitersAndMarks) {
    const struct {
        const char* source;
        Tokens expected;
    } cases[] = {
        {"a::=b ", {{LABEL, "a"}, {ASSIGN, "::="}, {LABEL, "b"}}},
        {"a ::= b ", {{LABEL, "a"}, {ASSIGN, "::="}, {LABEL, "b"}}},
        {"Entry::=SEQUENCE{",
         {{LABEL, "Entry"}, {ASSIGN, "::="}, {SEQUENCE, "SEQUENCE"}, {LEFT_BRACE, "{"}}},
        {"OBJECT IDENTIFIER::={",
         {{OBJECT_IDENTIFIER, "OBJECTIDENTIFIER"}, {ASSIGN, "::="}, {LEFT_BRACE, "{"}}},
        {"DESCRIPTION\"t\"",
         {{DESCRIPTION, "DESCRIPTION"}, {QUOTED_TEXT, ""}, {LABEL, "t"}, {QUOTED_TEXT, ""}}},
        {"a:b::c:=d ::== ", {{LABEL, "a:b::c:=d"}, {ASSIGN, "::="}, {LABEL, "="}}},
        {"{x}", {{LEFT_BRACE, "{"}, {LABEL, "x"}, {RIGHT_BRACE, "}"}}},
        {"x,y;", {{LABEL, "x"}, {COMMA, ","}, {LABEL, "y"}, {SEMICOLON, ";"}}},
        {"(0..255|-1) ",
         {{LEFT_PAREN, "("},
          {NUMBER, "0"},
          {LABEL, ".."},
          {NUMBER, "255"},
          {LABEL, "|"},
          {NEG_NUMBER, "-1"},
          {RIGHT_PAREN, ")"}}},
        {"1.3.6 a.b ", {{LABEL, "1.3.6"}, {LABEL, "a.b"}}},
        {"--::= x\n--\"y\nz ", {{LABEL, "z"}}},
        {"-5 - -x 007 12a ",
         {{NEG_NUMBER, "-5"}, {NEG_NUMBER, "-"}, {LABEL, "-x"}, {NUMBER, "007"}, {LABEL, "12a"}}},
        {"NEG_NUMBER ", {{NEG_NUMBER, "NEG_NUMBER"}}},
        {"a--b ", {{LABEL, "a--b"}}},
        {"read-only MAX-ACCESS ACCESS current ",
         {{READ_ONLY, "read-only"},
          {ACCESS, "MAX-ACCESS"},
          {ACCESS, "ACCESS"},
          {CURRENT, "current"}}},
        {"integer INTEGER Integer32 ",
         {{LABEL, "integer"}, {INTEGER, "INTEGER"}, {INTEGER32, "Integer32"}}},
        {"TEXTUAL-CONVENTION IDENTIFIER STRING ",
         {{LABEL, "TEXTUAL-CONVENTION"}, {LABEL, "IDENTIFIER"}, {LABEL, "STRING"}}},
        // Join words: the delimiter after them is dropped.
        {"OBJECT IDENTIFIER ", {{OBJECT_IDENTIFIER, "OBJECTIDENTIFIER"}}},
        {"OBJECT\n   IDENTIFIER ", {{OBJECT_IDENTIFIER, "OBJECTIDENTIFIER"}}},
        {"OBJECT, IDENTIFIER ", {{OBJECT_IDENTIFIER, "OBJECTIDENTIFIER"}}},
        {"OBJECT foo ", {{LABEL, "OBJECTfoo"}}},
        {"OCTET STRING ", {{OCTET_STRING, "OCTETSTRING"}}},
        {"BIT STRING ", {{LABEL, "BITSTRING"}}},
        {"OBJECT-TYPE ", {{OBJECT_TYPE, "OBJECT-TYPE"}}},
        // The last word without a delimiter after it is lost.
        {"a b", {{LABEL, "a"}}},
        // Comments run to the end of their line, whatever follows.
        {"a -- b -- c\nd ", {{LABEL, "a"}, {LABEL, "d"}}},
        {"--\nd ", {{LABEL, "d"}}},
        {"x --{ comment\ny ", {{LABEL, "x"}, {LABEL, "y"}}},
    };
    for (const auto& c : cases) {
        Source source(c.source);
        EXPECT_EQ(source.tokens(), c.expected) << c.source;
    }
}

TEST(CompilerLexer, KeepsTheFirst127CharactersOfALongWord) {
    Source source(std::string(200, 'w') + " next ");
    const Tokens tokens = source.tokens();
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0], std::make_pair(int32_t{LABEL}, std::string(127, 'w')));
    EXPECT_EQ(tokens[1].second, "next");
}

TEST(CompilerLexer, QuotedTextKeepsNewlinesAndDropsIndentation) {
    Source source("DESCRIPTION \"first line\n      second\n\n   third\"\nafter ");
    char text[kTokenSize];
    EXPECT_EQ(next_token(source.stream(), text), DESCRIPTION);
    EXPECT_EQ(next_token(source.stream(), text), QUOTED_TEXT);
    char* quoted = read_quoted_text(source.stream());
    ASSERT_NE(quoted, nullptr);
    EXPECT_STREQ(quoted, "first line\nsecond\n\nthird");
    std::free(quoted);
    EXPECT_EQ(next_token(source.stream(), text), LABEL);
    EXPECT_STREQ(text, "after");
    EXPECT_EQ(default_compiler_state().line, 5);
}

TEST(CompilerLexer, QuotedTextIsCutAt4095CharactersAndTheLinesStillCount) {
    Source source("\"" + std::string(5000, 'q') + "\n\" x ");
    char text[kTokenSize];
    ASSERT_EQ(next_token(source.stream(), text), QUOTED_TEXT);
    char* quoted = read_quoted_text(source.stream());
    ASSERT_NE(quoted, nullptr);
    EXPECT_EQ(std::strlen(quoted), 4095u);
    std::free(quoted);
    EXPECT_EQ(default_compiler_state().line, 2);
    EXPECT_EQ(next_token(source.stream(), text), LABEL);
}

TEST(CompilerLexer, QuotedTextWithoutClosingQuoteIsALocatedError) {
    Source source("\n\"never closed\n");
    char text[kTokenSize];
    ASSERT_EQ(next_token(source.stream(), text), QUOTED_TEXT);
    EXPECT_EQ(read_quoted_text(source.stream()), nullptr);
    EXPECT_STREQ(compile_messages(),
                 "Error defining DESCRIPTION: missing closing quote: On or around line 3\n");
}

TEST(CompilerLexer, SkipsOneBracedValueWhole) {
    const struct {
        const char* source;
        int32_t result;
        const char* next;
        int line;
    } cases[] = {
        {"INDEX { ifIndex } next ", OBJECT_IDENTIFIER, "next", 1},
        {"INDEX\n{ { a, b } } next ", OBJECT_IDENTIFIER, "next", 2},
        {"DEFVAL{{ {a} }}next ", OBJECT_IDENTIFIER, "next", 1},
        {"DEFVAL { \"a}\n{b\" } rest ", OBJECT_IDENTIFIER, "rest", 2},
        {"INDEX { a, -- the } \"key\n b } next ", OBJECT_IDENTIFIER, "next", 2},
        {"INDEX { a-b } next ", OBJECT_IDENTIFIER, "next", 1},
        {"INDEX x { a } ", 0, nullptr, 1},
        {"INDEX::= { a } ", 0, nullptr, 1},
        {"INDEX { a ", 0, nullptr, 1},
        {"INDEX { \"a } ", 0, nullptr, 1},
    };
    for (const auto& c : cases) {
        Source source(c.source);
        char text[kTokenSize];
        ASSERT_EQ(next_token(source.stream(), text), c.source[0] == 'I' ? INDEX : DEFVAL);
        EXPECT_EQ(skip_braced_value(source.stream()), c.result) << c.source;
        EXPECT_EQ(default_compiler_state().line, c.line) << c.source;
        if (!c.next) continue;
        next_token(source.stream(), text);
        EXPECT_STREQ(text, c.next) << c.source;
    }
}

TEST(CompilerLexer, ANulByteInAWordStopsTheReadingWithALocatedError) {
    const std::string text("a\nb\0c d ", 8);
    Source source(text);
    char word[kTokenSize];
    EXPECT_EQ(next_token(source.stream(), word), LABEL);
    EXPECT_EQ(next_token(source.stream(), word), END_OF_INPUT);
    EXPECT_EQ(next_token(source.stream(), word), END_OF_INPUT);
    report_at_line("a consequence", nullptr, END_OF_INPUT);
    EXPECT_STREQ(compile_messages(), "NUL byte inside a word(b): On or around line 2\n");
    // In a comment it is only a character.
    Source comment(std::string("--a\0b\nx ", 8));
    EXPECT_EQ(comment.tokens(), (Tokens{{LABEL, "x"}}));
}

TEST(CompilerLexer, DirectivesFillTheTrapRecord) {
    reset_trap_definition(default_compiler_state().trap);
    Source source(
        "--#SEVERITY MAJOR\n"
        "--#STATUS UP\n"
        "--#GENERIC  -12x\n"
        "--#CATEGORY Status Events\n"
        "--#EVENTCLASS MyClass\n"
        "--#ARGUMENTS {1,0}\n"
        "--#SUMMARY \"first %s\"\n"
        "--#SUMMARY \"second %s\"\n"
        "--#SLOTMAP name value extra\n"
        "--#SLOTMAP lonely\n"
        "--#UNKNOWN whatever\n"
        "word ");
    const Tokens tokens = source.tokens();
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].second, "word");
    EXPECT_EQ(default_compiler_state().line, 12);
    const TrapDefinition& trap = default_compiler_state().trap;
    EXPECT_EQ(trap.severity, '5');
    EXPECT_EQ(trap.status, '2');
    EXPECT_EQ(trap.generic, -12);
    EXPECT_STREQ(trap.category, "Status Events");
    EXPECT_STREQ(trap.event_class, "MyClass");
    EXPECT_STREQ(trap.arguments, "{1,0}");
    EXPECT_STREQ(trap.summary, "\"first %s \\n second %s\"");
    ASSERT_EQ(trap.slot_count, 2);
    EXPECT_STREQ(trap.slot_names[0], "name");
    EXPECT_STREQ(trap.slot_values[0], "value");
    EXPECT_STREQ(trap.slot_names[1], "lonely");
    EXPECT_EQ(trap.slot_values[1], nullptr);
    for (int i = 0; i < trap.slot_count; ++i) {
        std::free(trap.slot_names[i]);
        std::free(trap.slot_values[i]);
    }
    reset_trap_definition(default_compiler_state().trap);
}

TEST(CompilerLexer, CarriageReturnsBeforeNewlinesAreDropped) {
    reset_trap_definition(default_compiler_state().trap);
    Source source("--#SEVERITY MINOR\r\nDESCRIPTION \"a\r\n  b\r\"\r\nx ");
    char text[kTokenSize];
    EXPECT_EQ(next_token(source.stream(), text), DESCRIPTION);
    EXPECT_EQ(default_compiler_state().trap.severity, '3');
    EXPECT_EQ(next_token(source.stream(), text), QUOTED_TEXT);
    char* quoted = read_quoted_text(source.stream());
    ASSERT_NE(quoted, nullptr);
    EXPECT_STREQ(quoted, "a\nb\r");
    std::free(quoted);
    EXPECT_EQ(next_token(source.stream(), text), LABEL);
    EXPECT_EQ(default_compiler_state().line, 4);
    reset_trap_definition(default_compiler_state().trap);
}

TEST(CompilerLexer, SeverityAndStateWordsMatchExactly) {
    const std::pair<const char*, char> severities[] = {
        {"CLEARED", '0'},  {"INDETERMINATE", '1'}, {"WARNING", '2'}, {"MINOR", '3'},
        {"CRITICAL", '4'}, {"MAJOR", '5'},         {"major", '1'},   {"", '1'}};
    for (const auto& [word, code] : severities) EXPECT_EQ(severity_code(word), code) << word;
    const std::pair<const char*, char> states[] = {
        {"DEFAULTS", '0'},  {"UNKNOWN", '1'},     {"UP", '2'},    {"OPERATIONAL", '2'},
        {"MARGINAL", '3'},  {"DEGRADED", '3'},    {"DOWN", '4'},  {"NONOPERATIONAL", '4'},
        {"UNMANAGED", '5'}, {"ACKNOWLEDGE", '6'}, {"USER1", '7'}, {"USER2", '8'},
        {"up", '0'}};
    for (const auto& [word, code] : states) EXPECT_EQ(status_code(word), code) << word;
    const std::pair<char, const char*> words[] = {
        {'0', "NORMAL"},   {'1', "WARNING"}, {'2', "WARNING"}, {'3', "HARMLESS"},
        {'4', "CRITICAL"}, {'5', "FATAL"},   {'9', "1"}};
    for (const auto& [code, word] : words) EXPECT_STREQ(severity_word(code), word) << code;
}

TEST(CompilerLexer, OverLongDirectivesAndFieldsAreCutWithOneWarning) {
    reset_trap_definition(default_compiler_state().trap);
    std::string source = "--#CATEGORY " + std::string(100, 'c') + "\n";
    source += "--#SUMMARY " + std::string(3000, 's') + "\n";
    for (int i = 0; i < 22; ++i) source += "--#SLOTMAP n v\n";
    source += "x ";
    testing_support::StderrCapture capture;
    {
        Source lexed(source);
        EXPECT_EQ(lexed.tokens().size(), 1u);
    }
    const std::string warnings = capture.finish();
    EXPECT_EQ(std::strlen(default_compiler_state().trap.category), 31u);
    EXPECT_EQ(std::strlen(default_compiler_state().trap.summary), 511u);
    EXPECT_EQ(default_compiler_state().trap.slot_count, 20);
    EXPECT_NE(warnings.find("directive line longer than 2047"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("Warning: text longer than 31 characters was cut(--#CATEGORY)"),
              std::string::npos)
        << warnings;
    EXPECT_NE(warnings.find("more than 20 --#SLOTMAP"), std::string::npos) << warnings;
    for (int i = 0; i < default_compiler_state().trap.slot_count; ++i) {
        std::free(default_compiler_state().trap.slot_names[i]);
        std::free(default_compiler_state().trap.slot_values[i]);
    }
    reset_trap_definition(default_compiler_state().trap);
}

TEST(CompilerMessages, BufferKeepsRoomForTheOverflowNoticeAndAddsItOnce) {
    clear_compile_messages();
    char buffer[200] = "";
    const std::string notice =
        "\nRan out of space for messages. Remaining messages will not be displayed.\n";
    ASSERT_EQ(notice.size(), 74u);
    append_compile_message(buffer, 100, std::string(20, 'a').c_str());
    EXPECT_EQ(std::string(buffer), std::string(20, 'a'));
    append_compile_message(buffer, 100, std::string(30, 'b').c_str());
    EXPECT_EQ(std::string(buffer), std::string(20, 'a') + notice);
    append_compile_message(buffer, 100, "c");
    EXPECT_EQ(std::strlen(buffer), 94u);
    // After the notice, a text that still fits goes in; the notice comes only once.
    clear_compile_messages();
    char other[300] = "";
    append_compile_message(other, 200, std::string(150, 'd').c_str());
    EXPECT_EQ(std::string(other), notice);
    append_compile_message(other, 200, std::string(20, 'e').c_str());
    append_compile_message(other, 200, std::string(150, 'f').c_str());
    EXPECT_EQ(std::string(other), notice + std::string(20, 'e'));
}

TEST(CompilerMessages, LoweringTheLimitOnlyEverLowersIt) {
    auto& state = default_compiler_state();
    state.message_limit = kMessageBufferSize - 1;
    lower_compile_message_limit(200);
    EXPECT_EQ(state.message_limit, 199);
    lower_compile_message_limit(5000);
    EXPECT_EQ(state.message_limit, 199);
    state.message_limit = kMessageBufferSize - 1;
}

TEST(CompilerMessages, LinesAreShownInTheUserModuleOrInThePrefixText) {
    auto& state = default_compiler_state();
    clear_compile_messages();
    set_prefix_line_count(200);
    state.line = 250;
    report_at_line("Bad operator", nullptr, LABEL);
    report_at_line("Bad syntax", "FOO", LABEL);
    report_at_line("Bad parse", nullptr, END_OF_INPUT);
    state.line = 150;
    report_at_line("Bad operator", nullptr, LABEL);
    report_at_line("Bad syntax", "FOO", LABEL);
    report_at_line("Bad parse", "ignored", END_OF_INPUT);
    EXPECT_STREQ(compile_messages(),
                 "Bad operator: On or around line 50\n"
                 "Bad syntax(FOO): On or around line 50\n"
                 "Bad parse(End Of File): On or around line 50\n"
                 "Bad operator: On or around line 150 of the snmpv2mib file.\n"
                 "Bad syntax(FOO): On or around line 150 of the snmpv2mib file.\n"
                 "Bad parse(End Of File): On or around line 150 of the snmpv2mib file.\n");
    testing_support::StderrCapture capture;
    warn_at_line("Warning: This entry has no sub-identifier", "ifFoo");
    state.line = 260;
    warn_at_line("Careful", nullptr);
    EXPECT_EQ(capture.finish(),
              "Warning: This entry has no sub-identifier(ifFoo): On or around line 150 of the "
              "snmpv2mib file.\nCareful: On or around line 60\n");
    set_prefix_line_count(0);
}

TEST(CompilerMessages, DirectiveLinesCountLikeOtherLines) {
    reset_trap_definition(default_compiler_state().trap);
    Source source("--#SEVERITY MINOR\n-- plain comment\n\n x ");
    char text[kTokenSize];
    EXPECT_EQ(next_token(source.stream(), text), LABEL);
    report_at_line("Here", text, LABEL);
    EXPECT_STREQ(compile_messages(), "Here(x): On or around line 4\n");
}

TEST(CompilerText, EscapeDollarsPutsABackslashBeforeEach) {
    char text[2048] = "cost $5 and $$";
    EXPECT_EQ(escape_dollars(text), 17);
    EXPECT_STREQ(text, "cost \\$5 and \\$\\$");
    char plain[2048] = "no dollars";
    EXPECT_EQ(escape_dollars(plain), 10);
    char full[2048];
    std::memset(full, '$', 2047);
    full[2047] = '\0';
    EXPECT_EQ(escape_dollars(full), 2047);
}

}  // namespace

TEST(CompilerLexer, TextsInMemoryReadAsOneStreamWhereverTheyAreCut) {
    const std::string word(140, 'w');
    const std::string sources[] = {
        "M DEFINITIONS ::= BEGIN\r\nIMPORTS mgmt FROM RFC1155-SMI;\r\n-- note \"{\r\n"
        "a OBJECT IDENTIFIER ::= { mgmt 1 }\r\n--#TYPE \"t\"\r\nb OBJECT-TYPE SYNTAX INTEGER "
        "(1..2) ACCESS read-only STATUS mandatory DESCRIPTION \"x\r\n   y\r\" ::= { a 2 }\r\n" +
            word +
            " OBJECT IDENTIFIER ::= { a 3 }\rt TRAP-TYPE ENTERPRISE a VARIABLES { b }\r\n"
            "--#SUMMARY \"s\"\r\n--#CATEGORY c\r\n::= 5\rEND\r\n",
        "N DEFINITIONS ::= BEGIN\nc OBJECT-TYPE SYNTAX INTEGER ACCESS read-only STATUS "
        "mandatory DESCRIPTION \"open\n  to the end",
    };
    const auto records = [](MibCompiler& compiler, ParseNode* list) {
        std::string out;
        for (const TrapRecord& trap : compiler.take_traps()) {
            out += std::string(trap->name) + "|" + trap->summary + "|" + trap->category + "\n";
        }
        for (const ParseNode* n = list; n; n = n->next) {
            out += std::string(n->label) + " " + n->parent_label + " " + std::to_string(n->subid) +
                   " " + std::to_string(n->syntax) + " " + (n->description ? n->description : "-") +
                   "\n";
        }
        release_parse_nodes(list);
        return out;
    };
    for (const std::string& source : sources) {
        std::string copy = source;
        FILE* stream = fmemopen(copy.data(), copy.size(), "r");
        MibCompiler whole;
        whole.collect_traps(true);
        const std::string expected = records(whole, whole.parse(stream));
        std::fclose(stream);
        for (size_t cut = 0; cut <= source.size(); ++cut) {
            MibCompiler pieces;
            pieces.collect_traps(true);
            EXPECT_EQ(
                records(pieces, pieces.parse({source.substr(0, cut), "", source.substr(cut)})),
                expected)
                << "cut at " << cut;
            EXPECT_STREQ(pieces.messages(), whole.messages()) << "cut at " << cut;
        }
    }
}
