// Module frames and the definition parsers: records, textual conventions, trap records and each
// failure's located message.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mib/compiler/compiler_internal.h"
#include "tests/support/test_support.h"

namespace {

struct Parsed {
    ParseNode* list = nullptr;
    std::string messages;
    std::string warnings;
    TrapRecords traps;
    Parsed() = default;
    Parsed(const Parsed&) = delete;
    ~Parsed() { release_parse_nodes(list); }
    std::vector<std::string> records() const {
        std::vector<std::string> out;
        for (const ParseNode* node = list; node; node = node->next) {
            out.push_back(std::string(node->label) + " " + node->parent_label + " " +
                          std::to_string(node->subid));
        }
        return out;
    }
};

void parse(const std::string& source, Parsed& out, int collect = 0) {
    std::string text = source;
    FILE* stream = fmemopen(text.data(), text.size(), "r");
    clear_compile_messages();
    set_prefix_line_count(0);
    testing_support::StderrCapture capture;
    out.list = parse_mib_stream_collecting(stream, collect, 0);
    out.traps = take_collected_traps();
    out.warnings = capture.finish();
    out.messages = compile_messages();
    std::fclose(stream);
}

std::string module(const std::string& body) {
    return "TEST-MIB DEFINITIONS ::= BEGIN\n" + body + "\nEND\n";
}

std::string enum_text(const EnumEntry* entry) {
    std::string out;
    for (; entry; entry = entry->next)
        out += std::string(entry->label) + "(" + std::to_string(entry->value) + ") ";
    return out;
}

TEST(CompilerModules, TwoModulesBackToBackParseIntoOneList) {
    Parsed parsed;
    parse(
        "A-MIB { iso 3 } DEFINITIONS ::= BEGIN\n"
        "IMPORTS x, y FROM OTHER-MIB OBJECT-TYPE, z FROM THIRD-MIB { iso 9 };\n"
        "a OBJECT IDENTIFIER ::= { mgmt 7 }\n"
        "END\n"
        "B-MIB DEFINITIONS ::= BEGIN\n"
        "EXPORTS b;\n"
        "b OBJECT IDENTIFIER ::= { a 1 }\n"
        "END\n",
        parsed);
    EXPECT_EQ(parsed.records(), (std::vector<std::string>{"a mgmt 7", "b a 1"}));
    EXPECT_EQ(parsed.messages, "");
    // Each record knows its module, and each module where its imports come from.
    const auto& modules = default_compiler_state().modules;
    ASSERT_EQ(modules.size(), 2u);
    EXPECT_EQ(modules[0].name, "A-MIB");
    EXPECT_EQ(modules[0].imports, (TextMap<std::string>{{"x", "OTHER-MIB"},
                                                        {"y", "OTHER-MIB"},
                                                        {"OBJECT-TYPE", "THIRD-MIB"},
                                                        {"z", "THIRD-MIB"}}));
    EXPECT_FALSE(modules[1].has_imports);
    EXPECT_EQ(parsed.list->module, 0);
    EXPECT_EQ(parsed.list->next->module, 1);
}

TEST(CompilerModules, FrameErrorsFailTheParseWithLocatedMessages) {
    const struct {
        std::string source;
        std::string message;
    } cases[] = {
        // a module without END is told at its BEGIN
        {"\nM DEFINITIONS ::=\nBEGIN\na OBJECT IDENTIFIER ::= { mgmt 1 }\n",
         "Error, no END statement for M: On or around line 3\n"},
        {"M DEFINITIONS ::= BEGIN\nN DEFINITIONS ::= BEGIN END END\n",
         "Error, no END statement for M before N: On or around line 1\n"},
        {"END\n", "Error, END statement before start of MIB: On or around line 1\n"},
        {module("42 x"), "42 is a reserved word(42): On or around line 2\n"},
        {"M DEFINITIONS ::= BEGIN\nEXPORTS a;\nIMPORTS b FROM C;\nEND\n",
         "IMPORTS is a reserved word(IMPORTS): On or around line 3\n"},
        {"M DEFINITIONS ::= BEGIN\nIMPORTS a, b FROM C\n",
         "Error, no \";\" at the end of the IMPORTS list(End Of File): On or around line 3\n"},
        {"M DEFINITIONS ::= \n", "No BEGIN statement(End Of File): On or around line 2\n"},
        {module("a { b c d"),
         "Could not find closing right bracket(End Of File): On or around line 4\n"},
        {module("a b c"), "Bad operator: On or around line 2\n"},
        {module(std::string("x\0y", 3) + " OBJECT IDENTIFIER ::= { mgmt 1 }"),
         "NUL byte inside a word(x): On or around line 2\n"},
        {module("a ::= 12 "), "Bad parse of ASN type definition: On or around line 2\n"},
    };
    for (const auto& c : cases) {
        Parsed parsed;
        parse(c.source, parsed);
        EXPECT_EQ(parsed.list, nullptr) << c.source;
        EXPECT_NE(parsed.messages.find(c.message), std::string::npos) << c.source << "\n--- got:\n"
                                                                      << parsed.messages;
    }
}

TEST(CompilerModules, EndOfInputAfterANameReturnsTheListSoFar) {
    Parsed parsed;
    parse("M DEFINITIONS ::= BEGIN\na OBJECT IDENTIFIER ::= { mgmt 1 }\ndangling ", parsed);
    EXPECT_EQ(parsed.records(), std::vector<std::string>{"a mgmt 1"});
}

TEST(CompilerModules, Unsigned32MustBeGauge32ButTheParseGoesOn) {
    Parsed good;
    parse(module("Unsigned32 ::= Gauge32\na OBJECT IDENTIFIER ::= { mgmt 1 }"), good);
    EXPECT_EQ(good.messages, "");
    EXPECT_EQ(good.records().size(), 1u);
    Parsed bad;
    parse(module("Unsigned32 ::= INTEGER\na OBJECT IDENTIFIER ::= { mgmt 1 }"), bad);
    EXPECT_EQ(bad.messages, "Unsigned32 not defined as Gauge32.: On or around line 2\n");
    EXPECT_EQ(bad.records().size(), 1u);
}

TEST(CompilerModules, LookaheadDoesNotLeakIntoTheNextCompile) {
    // This compile fails right after a "{" that the lexer holds as its lookahead.
    Parsed failed;
    parse(module("a OBJECT IDENTIFIER ::= {"), failed);
    ASSERT_EQ(failed.list, nullptr);
    Parsed next;
    parse(module("b OBJECT IDENTIFIER ::= { mgmt 2 }"), next);
    EXPECT_EQ(next.records(), std::vector<std::string>{"b mgmt 2"});
    EXPECT_EQ(next.messages, "");
}

TEST(CompilerModules, CompilesInTwoObjectsShareNothing) {
    // Interleaved: each object keeps its own modules, conventions, trap records, messages and
    // warnings; the default compile's messages stay as they were.
    clear_compile_messages();
    struct Compile {
        MibCompiler compiler;
        FILE* warnings = std::tmpfile();
        std::string text;
        FILE* stream = nullptr;
        explicit Compile(std::string source) : text(std::move(source)) {
            stream = fmemopen(text.data(), text.size(), "r");
            compiler.set_diagnostics(warnings);
            compiler.collect_traps(true);
        }
        ~Compile() {
            std::fclose(stream);
            std::fclose(warnings);
        }
        std::string warned() {
            std::string out(4096, '\0');
            std::rewind(warnings);
            out.resize(std::fread(out.data(), 1, out.size(), warnings));
            return out;
        }
    };
    Compile first(
        module("Status ::= INTEGER { up(1) }\n"
               "a OBJECT-TYPE SYNTAX Status ACCESS read-only STATUS current ::= { mgmt 1 }\n"
               "t TRAP-TYPE ENTERPRISE a ::= 1"));
    Compile second(
        "B-MIB DEFINITIONS ::= BEGIN\n"
        "b OBJECT-TYPE SYNTAX Status ACCESS read-only STATUS current ::= { mgmt 2 }\nEND\n");
    ParseNode* first_list = first.compiler.parse(first.stream);
    ParseNode* second_list = second.compiler.parse(second.stream);
    ASSERT_NE(first_list, nullptr);
    ASSERT_NE(second_list, nullptr);
    EXPECT_EQ(first_list->syntax, INTEGER);
    EXPECT_EQ(second_list->syntax, LABEL);
    MibNode* first_tree = first.compiler.link(first_list);
    MibNode* second_tree = second.compiler.link(second_list);
    EXPECT_NE(first_tree, nullptr);
    EXPECT_NE(second_tree, nullptr);
    release_mib_tree(first_tree);
    release_mib_tree(second_tree);
    EXPECT_EQ(first.compiler.take_traps().size(), 1u);
    EXPECT_TRUE(second.compiler.take_traps().empty());
    EXPECT_EQ(first.warned(), "");
    EXPECT_EQ(second.warned(),
              "Warning: Status, the SYNTAX of b in B-MIB, is defined nowhere; b has no type\n");

    Compile broken(module("c OBJECT IDENTIFIER ::= {"));
    EXPECT_EQ(broken.compiler.parse(broken.stream), nullptr);
    EXPECT_NE(std::string(broken.compiler.messages()), "");
    EXPECT_STREQ(first.compiler.messages(), "");
    EXPECT_STREQ(compile_messages(), "");
}

TEST(CompilerObjectType, ReadsSyntaxAccessDescriptionAndValue) {
    Parsed parsed;
    // Keywords before "(" in an enumeration are labels; marks end words wherever they stand.
    parse(module("Colour::=INTEGER{red(1),green(2),deprecated(3)}\n"
                 "x OBJECT-TYPE\n"
                 "  SYNTAX Colour { blue(-3), current(4) }\n"
                 "  UNITS \"hues\"\n"
                 "  MAX-ACCESS read-create\n"
                 "  STATUS current\n"
                 "  DESCRIPTION\"The colour.\"\n"
                 "  REFERENCE \"none\"\n"
                 "  INDEX{ a, b }\n"
                 "  DEFVAL{ { red } }\n"
                 "  ::={ a b(3) c 7 }\n"
                 "y OBJECT-TYPE SYNTAX OCTET STRING (SIZE (0..255|300)) ACCESS read-only\n"
                 "  STATUS mandatory ::= { ifEntry 5 }\n"
                 "z OBJECT-TYPE SYNTAX UnknownThing ACCESS not-accessible STATUS obsolete\n"
                 "  ::= { ifEntry foo }\n"
                 "t OBJECT-TYPE SYNTAX SEQUENCE OF Entry MAX-ACCESS accessible-for-notify\n"
                 "  STATUS deprecated ::= { x 1 }\n"
                 "i OBJECT-TYPE SYNTAX INTEGER (0..65535) MAX-ACCESS write-only STATUS optional\n"
                 "  ::= { x 2 }"),
          parsed);
    ASSERT_NE(parsed.list, nullptr) << parsed.messages;
    // b(3) is an arc of the value: it defines b under a.
    EXPECT_EQ(parsed.records(), (std::vector<std::string>{"b a 3", "x c 7", "y ifEntry 5",
                                                          "z ifEntry 0", "t x 1", "i x 2"}));
    const ParseNode* x = parsed.list->next;
    EXPECT_EQ(x->syntax, INTEGER);
    EXPECT_EQ(x->access, MIB_ACCESS_READ_CREATE);
    EXPECT_EQ(enum_text(x->enums), "red(1) green(2) deprecated(3) blue(-3) current(4) ");
    EXPECT_STREQ(x->description, "The colour.");
    ASSERT_NE(x->facts, nullptr);
    EXPECT_EQ(x->facts->index, (std::vector<std::string>{"a", "b"}));
    const ParseNode* y = x->next;
    ASSERT_NE(y->facts, nullptr);
    EXPECT_EQ(y->facts->sizes, (std::vector<SizeRange>{{0, 255}, {300, 300}}));
    EXPECT_EQ(y->syntax, OCTET_STRING);
    EXPECT_EQ(y->access, MIB_ACCESS_READ_ONLY);
    EXPECT_EQ(y->description, nullptr);
    const ParseNode* z = y->next;
    EXPECT_EQ(z->syntax, LABEL);
    EXPECT_EQ(z->access, MIB_ACCESS_NOT_ACCESSIBLE);
    EXPECT_NE(parsed.warnings.find("Warning: This entry has no sub-identifier(z)"),
              std::string::npos);
    EXPECT_EQ(z->next->syntax, SEQUENCE);
    EXPECT_EQ(z->next->access, MIB_ACCESS_NOT_ACCESSIBLE);
    EXPECT_EQ(z->next->next->access, MIB_ACCESS_WRITE_ONLY);
}

TEST(CompilerObjectType, EachFailureHasItsMessage) {
    const std::string head = "x OBJECT-TYPE ";
    const struct {
        std::string body;
        std::string message;
    } cases[] = {
        {"ACCESS read-only", "Bad format for OBJECT TYPE(ACCESS)"},
        {"SYNTAX 12 ACCESS read-only", "Bad syntax(12)"},
        {"SYNTAX INTEGER { a 1 }", "Expected \"(\"(1)"},
        {"SYNTAX INTEGER { a(b) }", "Expected integer(b)"},
        {"SYNTAX INTEGER { a(1 }", "Expected \")\"(})"},
        {"SYNTAX INTEGER { a(1)", "Expected \"}\"(End Of File)"},
        {"SYNTAX INTEGER (0..", "Expected \")\"(End Of File)"},
        {"SYNTAX OCTET STRING (SIZE (0..", "Bad syntax(End Of File)"},
        {"SYNTAX INTEGER UNITS x", "Bad DESCRIPTION(x)"},
        {"SYNTAX INTEGER STATUS current", "Should be ACCESS(STATUS)"},
        {"SYNTAX INTEGER ACCESS current", "Bad ACCESS type(current)"},
        {"SYNTAX INTEGER ACCESS read-only ::=", "Should be STATUS(::=)"},
        {"SYNTAX INTEGER ACCESS read-only STATUS read-only", "Bad status(read-only)"},
        {"SYNTAX INTEGER ACCESS read-only STATUS current UNITS \"u\" ::= { a 1 }",
         "Bad format of optional clauses(UNITS)"},
        {"SYNTAX INTEGER ACCESS read-only STATUS current DESCRIPTION x", "Bad DESCRIPTION(x)"},
        {"SYNTAX INTEGER ACCESS read-only STATUS current ::= a", "Expected \"{\"(a)"},
        {"SYNTAX INTEGER ACCESS read-only STATUS current ::= { ifEntry }",
         "No end to OBJECT IDENTIFIER"},
        {"SYNTAX INTEGER ACCESS read-only STATUS current ::= { a(x) 1 }", "Expected a number(x)"},
        {"SYNTAX INTEGER ACCESS read-only STATUS current ::= { a(1 1 }",
         "Unexpected a closing parenthesis(1)"},
        {"SYNTAX INTEGER ACCESS read-only STATUS current ::= { a 4294967296 }",
         "Sub-identifier above 4294967295(4294967296)"},
        {"SYNTAX INTEGER ACCESS read-only STATUS current ::= { a b(99999999999999999999) 1 }",
         "Sub-identifier above 4294967295(99999999999999999999)"},
        {"SYNTAX INTEGER ACCESS read-only STATUS current ::= { a ; }",
         "Not valid for OBJECT IDENTIFIER(;)"},
        {"SYNTAX INTEGER ACCESS read-only STATUS current DESCRIPTION \"open",
         "Error defining DESCRIPTION: missing closing quote"},
    };
    for (const auto& c : cases) {
        Parsed parsed;
        parse(module(head + c.body), parsed);
        EXPECT_EQ(parsed.list, nullptr) << c.body;
        EXPECT_NE(parsed.messages.find(c.message), std::string::npos) << c.body << "\n--- got:\n"
                                                                      << parsed.messages;
        EXPECT_NE(parsed.messages.find("Bad parse of: OBJECT-TYPE"), std::string::npos) << c.body;
    }
}

TEST(CompilerTypeAssignment, TextualConventionsCarryBaseSyntaxAndEnumerations) {
    Parsed parsed;
    parse(module("Status ::= TEXTUAL-CONVENTION\n"
                 "  DISPLAY-HINT \"d\"\n"
                 "  STATUS current\n"
                 "  DESCRIPTION \"Words SYNTAX inside are not a clause.\"\n"
                 "  SYNTAX INTEGER { up(1), down(2) }\n"
                 "Derived ::= Status\n"
                 "Octets ::= OCTET STRING (SIZE (0..4))\n"
                 "Entry ::= SEQUENCE { a INTEGER, b Octets }\n"
                 "a OBJECT-TYPE SYNTAX Derived MAX-ACCESS read-only STATUS current ::= { t 1 }\n"
                 // used before it is defined, and narrowed
                 "b OBJECT-TYPE SYNTAX Later { two(2) } MAX-ACCESS read-only STATUS current\n"
                 "  ::= { t 2 }\n"
                 "e OBJECT-TYPE SYNTAX Entry MAX-ACCESS not-accessible STATUS current ::= { t 3 }\n"
                 "n OBJECT-TYPE SYNTAX Nowhere MAX-ACCESS read-only STATUS current ::= { t 4 }\n"
                 "Later ::= INTEGER { one(1), two(2) }"),
          parsed);
    ASSERT_NE(parsed.list, nullptr) << parsed.messages;
    const struct {
        int32_t syntax;
        const char* enums;
    } records[] = {
        {INTEGER, "up(1) down(2) "}, {INTEGER, "one(1) two(2) two(2) "}, {LABEL, ""}, {LABEL, ""}};
    const ParseNode* node = parsed.list;
    for (const auto& r : records) {
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->syntax, r.syntax) << node->label;
        EXPECT_EQ(enum_text(node->enums), r.enums) << node->label;
        node = node->next;
    }
    EXPECT_EQ(parsed.warnings,
              "Warning: Nowhere, the SYNTAX of n in TEST-MIB, is defined nowhere; n has no type\n");

    EnumEntry* enums = nullptr;
    EXPECT_EQ(lookup_textual_convention(default_compiler_state(), "Octets", &enums), OCTET_STRING);
    EXPECT_EQ(enums, nullptr);
    EXPECT_EQ(lookup_textual_convention(default_compiler_state(), "Entry", &enums), LABEL);
    EXPECT_EQ(lookup_textual_convention(default_compiler_state(), "status", &enums), LABEL);

    // A convention defined as one its module defines later is that one, not an earlier module's.
    Parsed later;
    parse(
        "A-MIB DEFINITIONS ::= BEGIN\nStatus ::= INTEGER { up(1), down(2) }\n"
        "Middle ::= INTEGER { x(9) }\nEND\n"
        "B-MIB DEFINITIONS ::= BEGIN\n"
        "s OBJECT-TYPE SYNTAX Alias MAX-ACCESS read-only STATUS current ::= { t 1 }\n"
        "Alias ::= Middle\nMiddle ::= Status { off(0) }\n"
        "Status ::= INTEGER { on(1), off(2) }\nEND\n",
        later);
    ASSERT_NE(later.list, nullptr) << later.messages;
    EXPECT_EQ(enum_text(later.list->enums), "on(1) off(2) off(0) ");
}

TEST(CompilerTypeAssignment, FailuresAndTheTableLimit) {
    const struct {
        std::string body;
        std::string message;
    } cases[] = {
        {"A ::= Nowhere", "Textual convention doesn't map to real type(Nowhere)"},
        {"A ::= TEXTUAL-CONVENTION STATUS current DESCRIPTION x SYNTAX INTEGER",
         "Bad DESCRIPTION(x)"},
        {"A ::= SEQUENCE { a INTEGER ", "Expected \"}\"(End Of File)"},
        {"A ::= INTEGER (0..", "Expected \")\"(End Of File)"},
        {"A ::= INTEGER { a(1), b", "Expected \"(\"(END)"},
        {"A ::= TEXTUAL-CONVENTION DISPLAY-HINT \"1x: SYNTAX OCTET STRING",
         "Error defining DESCRIPTION: missing closing quote"},
    };
    for (const auto& c : cases) {
        Parsed parsed;
        parse(module(c.body), parsed);
        EXPECT_EQ(parsed.list, nullptr);
        EXPECT_NE(parsed.messages.find(c.message), std::string::npos) << parsed.messages;
        EXPECT_NE(parsed.messages.find("Bad parse of ASN type definition"), std::string::npos);
    }
    Parsed open_tc;
    parse("M DEFINITIONS ::= BEGIN\nA ::= TEXTUAL-CONVENTION STATUS current\n", open_tc);
    EXPECT_EQ(open_tc.list, nullptr);
    EXPECT_NE(open_tc.messages.find("Expected SYNTAX in TEXTUAL-CONVENTION(End Of File)"),
              std::string::npos)
        << open_tc.messages;

    std::string many;
    for (int i = 0; i < kTextualConventions + 1; ++i)
        many += "T" + std::to_string(i) + " ::= INTEGER\n";
    Parsed full;
    parse(module(many), full);
    EXPECT_EQ(full.list, nullptr);
    EXPECT_NE(full.messages.find("No more textual conventions possible"), std::string::npos);
    EXPECT_NE(full.messages.find("line 2050"), std::string::npos) << full.messages;
}

TEST(CompilerValueAssignment, ChainRuleDefinesNamedArcs) {
    const struct {
        std::string value;
        std::vector<std::string> records;
    } cases[] = {
        {"{ iso org(3) dod(6) 1 }", {"org iso 3", "dod org 6", "x dod 1"}},
        {"{ iso org(3) dod(6) internet(1) private(4) 1 }",
         {"org iso 3", "dod org 6", "internet dod 1", "private internet 4", "x private 1"}},
        {"{ mgmt 1 }", {"x mgmt 1"}},
        // Bare numbers are arcs identified by their number; a leading one is an arc of the root.
        {"{ iso 3 6 }", {"3 iso 3", "x 3 6"}},
        {"{ 1 2 }", {"1  1", "x 1 2"}},
        {"{ a 5 b 7 }", {"5 a 5", "x b 7"}},
        {"{ a b c 7 }", {"b a 0", "c b 0", "x c 7"}},
    };
    for (const auto& c : cases) {
        Parsed parsed;
        parse(module("x OBJECT IDENTIFIER ::= " + c.value), parsed);
        EXPECT_EQ(parsed.records(), c.records) << c.value << "\n" << parsed.messages;
    }
    const struct {
        std::string body;
        std::string message;
    } failures[] = {
        {"x OBJECT IDENTIFIER { a 1 }", "Bad format({)"},
        {"x OBJECT IDENTIFIER ::= { a }", "No end to OBJECT IDENTIFIER"},
        {"x OBJECT IDENTIFIER ::= { a 4294967296 }", "Bad parse of: OBJECT IDENTIFIER"},
        {"x OBJECT IDENTIFIER ::= a", "Bad OBJECT IDENTIFIER"},
    };
    for (const auto& c : failures) {
        Parsed parsed;
        parse(module(c.body), parsed);
        EXPECT_EQ(parsed.list, nullptr);
        EXPECT_NE(parsed.messages.find(c.message), std::string::npos) << parsed.messages;
    }
}

TEST(CompilerOtherDefinitions, RecordsAndDescriptions) {
    Parsed parsed;
    parse(module("m MODULE-IDENTITY LAST-UPDATED \"2000\" ORGANIZATION \"o\" CONTACT-INFO \"c\"\n"
                 "  DESCRIPTION \"d\" REVISION \"r\" DESCRIPTION \"rd\" ::= { mib-2 99 }\n"
                 "g OBJECT-GROUP OBJECTS { a, b } STATUS current DESCRIPTION \"group text\"\n"
                 "  ::= { m 2 }\n"
                 "n NOTIFICATION-GROUP NOTIFICATIONS { t } STATUS current DESCRIPTION \"x\"\n"
                 "  ::= { m 3 }\n"
                 "c MODULE-COMPLIANCE STATUS current DESCRIPTION \"all of it\"\n"
                 "  MODULE MANDATORY-GROUPS { g } OBJECT a MIN-ACCESS read-only ::= { m 4 }\n"
                 "ac AGENT-CAPABILITIES PRODUCT-RELEASE \"1\" ::= { m 5 }\n"
                 "oi OBJECT-IDENTITY STATUS current DESCRIPTION \"id\" REFERENCE \"r\"\n"
                 "  ::= { m sub(6) 1 }"),
          parsed);
    EXPECT_EQ(parsed.messages, "");
    EXPECT_EQ(parsed.records(), (std::vector<std::string>{"m mib-2 99", "g m 2", "n m 3", "c m 4",
                                                          "ac m 5", "sub m 6", "oi sub 1"}));
    EXPECT_STREQ(parsed.list->next->description, "group text");
    EXPECT_EQ(parsed.list->description, nullptr);
}

TEST(CompilerOtherDefinitions, EachFailureHasItsMessage) {
    const struct {
        std::string body;
        std::string message;
    } cases[] = {
        {"m MODULE-IDENTITY LAST-UPDATED x ::= { a 1 }", "Bad MODULE-IDENTITY optional clause(x)"},
        {"m MODULE-IDENTITY STATUS current ::= { a 1 }", "Bad format of optional clauses(STATUS)"},
        {"a AGENT-CAPABILITIES ::= { 1 }", "Bad parse of AGENT-CAPABILITIES"},
        {"g OBJECT-GROUP OBJECTS { a } DESCRIPTION x ::= { m 1 }", "Bad DESCRIPTION(x)"},
        {"g OBJECT-GROUP OBJECTS { a }", "(End Of File)"},
        {"c MODULE-COMPLIANCE STATUS current", "(End Of File)"},
        {"c MODULE-COMPLIANCE DESCRIPTION \"a ::= b", "missing closing quote"},
        {"o OBJECT-IDENTITY DESCRIPTION \"x\" ::= { a 1 }", "Bad format(DESCRIPTION)"},
        {"o OBJECT-IDENTITY STATUS mandatory ::= { a 1 }", "Bad format(mandatory)"},
        {"o OBJECT-IDENTITY STATUS current ::= { a 1 }", "Bad DESCRIPTION(::=)"},
        {"o OBJECT-IDENTITY STATUS current DESCRIPTION \"x\" REFERENCE y ::= { a 1 }",
         "Bad DESCRIPTION(y)"},
        {"o OBJECT-IDENTITY STATUS current DESCRIPTION \"x\" { a 1 }", "Bad format({)"},
    };
    for (const auto& c : cases) {
        Parsed parsed;
        parse(module(c.body), parsed);
        EXPECT_EQ(parsed.list, nullptr) << c.body;
        EXPECT_NE(parsed.messages.find(c.message), std::string::npos) << c.body << "\n--- got:\n"
                                                                      << parsed.messages;
    }
}

TEST(CompilerOtherDefinitions, EndOfInputBeforeTheValueFails) {
    Parsed parsed;
    parse("M DEFINITIONS ::= BEGIN\nm MODULE-IDENTITY DESCRIPTION \"x\"\n", parsed);
    EXPECT_EQ(parsed.list, nullptr);
    EXPECT_NE(parsed.messages.find("Bad format -- expecting ::=(End Of File): On or around line 3"),
              std::string::npos)
        << parsed.messages;
}

TEST(CompilerOtherDefinitions, WellFormedDefinitionsAreQuietWhateverTheirTextsHold) {
    Parsed parsed;
    parse(module("o OBJECT-IDENTITY STATUS obsolete DESCRIPTION \"x\" ::= { a 1 }\n"
                 "d OBJECT-IDENTITY STATUS deprecated DESCRIPTION \"x\" ::= { a 2 }\n"
                 "p OBJECT-IDENTITY STATUS current DESCRIPTION \"y\" ::= { 5 1 }\n"
                 "T ::= TEXTUAL-CONVENTION STATUS current DESCRIPTION \"d\"\n"
                 "  REFERENCE \"its SYNTAX is INTEGER\" SYNTAX OCTET STRING\n"
                 "c MODULE-COMPLIANCE STATUS current DESCRIPTION \"a ::= { b 1 }\"\n"
                 "  MODULE ::= { a 3 }\n"
                 "g OBJECT-GROUP OBJECTS { t } STATUS current DESCRIPTION \"g\"\n"
                 "  REFERENCE \"DESCRIPTION ::= here\" ::= { a 4 }\n"
                 "n NOTIFICATION-TYPE OBJECTS { t } STATUS current DESCRIPTION \"n\"\n"
                 "  REFERENCE \"OBJECTS ::= DESCRIPTION\" ::= { a 5 }\n"
                 "ac AGENT-CAPABILITIES PRODUCT-RELEASE \"::=\" ::= { 1 6 }\n"
                 "t OBJECT-TYPE SYNTAX T MAX-ACCESS read-only STATUS current ::= { a 7 }"),
          parsed);
    EXPECT_EQ(parsed.messages, "");
    EXPECT_EQ(parsed.warnings, "");
    EXPECT_EQ(parsed.records(),
              (std::vector<std::string>{"o a 1", "d a 2", "5  5", "p 5 1", "c a 3", "g a 4",
                                        "n a 5", "1  1", "ac 1 6", "t a 7"}));
    const ParseNode* t = parsed.list;
    while (t->next) t = t->next;
    EXPECT_EQ(t->syntax, OCTET_STRING);
}

TEST(CompilerTraps, TrapTypeFillsTheRecordAndAddsNoNode) {
    Parsed parsed;
    parse(module("a OBJECT IDENTIFIER ::= { mgmt 1 }\n"
                 "--#SEVERITY CRITICAL\n"
                 "myTrap TRAP-TYPE\n"
                 "  --#SEVERITY MAJOR\n"
                 "  ENTERPRISE myCompany\n"
                 "  VARIABLES { ifIndex, ifDescr }\n"
                 "  --#SUMMARY \"link %s\"\n"
                 "  DESCRIPTION \"A trap.\"\n"
                 "  REFERENCE \"ref\"\n"
                 "  ::= 3\n"
                 "  --#SEVERITY MINOR\n"),
          parsed, 1);
    ASSERT_EQ(parsed.records(), std::vector<std::string>{"a mgmt 1"}) << parsed.messages;
    ASSERT_EQ(parsed.traps.size(), 1u);
    const TrapDefinition* trap = parsed.traps.back().get();
    EXPECT_STREQ(trap->name, "myTrap");
    EXPECT_STREQ(trap->enterprise, "myCompany");
    EXPECT_EQ(trap->variable_count, 2);
    EXPECT_STREQ(trap->variables[0], "ifIndex");
    EXPECT_STREQ(trap->variables[1], "ifDescr");
    EXPECT_STREQ(trap->description, "A trap.");
    EXPECT_STREQ(trap->summary, "\"link %s\"");
    EXPECT_EQ(trap->specific, 3);
    EXPECT_EQ(trap->generic, 6);
    EXPECT_EQ(trap->severity, '5');
    // after the number: reaches no collected record
    EXPECT_EQ(default_compiler_state().trap.severity, '3');
}

TEST(CompilerTraps, NotificationTypeYieldsARecordAndATrap) {
    Parsed parsed;
    parse(module("linkUp NOTIFICATION-TYPE\n"
                 "  OBJECTS { ifIndex, ifAdminStatus }\n"
                 "  STATUS current\n"
                 "  DESCRIPTION \"Up.\"\n"
                 "  --#STATE UP\n"
                 "  ::= { myTraps 7 }"),
          parsed, 1);
    ASSERT_EQ(parsed.records(), std::vector<std::string>{"linkUp myTraps 7"}) << parsed.messages;
    EXPECT_STREQ(parsed.list->description, "Up.");
    ASSERT_EQ(parsed.traps.size(), 1u);
    const TrapDefinition* trap = parsed.traps.back().get();
    EXPECT_STREQ(trap->enterprise, "myTraps");
    EXPECT_EQ(trap->specific, 7);
    EXPECT_EQ(trap->variable_count, 2);
    EXPECT_STREQ(trap->description, "Up.");
    EXPECT_EQ(trap->status, '2');
}

TEST(CompilerTraps, WithCollectionOffNothingIsSaved) {
    Parsed parsed;
    parse(module("t TRAP-TYPE ENTERPRISE e VARIABLES { a } ::= 1\n"
                 "n NOTIFICATION-TYPE OBJECTS { a } ::= { e 2 }"),
          parsed, 0);
    EXPECT_EQ(parsed.records(), std::vector<std::string>{"n e 2"});
    EXPECT_TRUE(parsed.traps.empty());
}

TEST(CompilerTraps, SixtyFiveVariablesKeepTheFirst64) {
    std::string names;
    for (int i = 1; i <= 65; ++i) names += "v" + std::to_string(i) + (i < 65 ? ", " : "");
    Parsed parsed;
    parse(module("t TRAP-TYPE ENTERPRISE e VARIABLES { " + names + " } ::= 1"), parsed, 0);
    EXPECT_EQ(parsed.messages,
              "Error defining VARIABLES: maximum number of variables supported 64 exceed.: On or "
              "around line 2\nIgnoring variable 64: v65.: On or around line 2\n");
    EXPECT_EQ(default_compiler_state().trap.variable_count, 64);
    EXPECT_STREQ(default_compiler_state().trap.variables[63], "v64");
}

TEST(CompilerTraps, EachFailureHasItsMessage) {
    const struct {
        std::string body;
        std::string message;
    } cases[] = {
        {"t TRAP-TYPE VARIABLES { a } ::= 1",
         "Error defining TRAP-TYPE: Expected 'ENTERPRISE', found (VARIABLES)"},
        {"t TRAP-TYPE ENTERPRISE 5 ::= 1",
         "Error defining ENTERPRISE: Expected object name or registration, found (5)"},
        {"t TRAP-TYPE ENTERPRISE { a b",
         "Error defining ENTERPRISE: missing '}' or too long of registration"},
        {"t TRAP-TYPE ENTERPRISE e VARIABLES a ::= 1",
         "Error defining VARIABLES: Expected '{', found (a)"},
        {"t TRAP-TYPE ENTERPRISE e VARIABLES { } ::= 1",
         "Error defining VARIABLES: No variables specified"},
        {"t TRAP-TYPE ENTERPRISE e VARIABLES { a, b", "(End Of File)"},
        {"t TRAP-TYPE ENTERPRISE e DESCRIPTION x ::= 1", "Bad DESCRIPTION(x)"},
        {"t TRAP-TYPE ENTERPRISE e REFERENCE \"r\" DESCRIPTION \"d\" ::= 1",
         "Error defining TRAP-TYPE: Expected '::=', found (DESCRIPTION)"},
        {"t TRAP-TYPE ENTERPRISE e ::= x",
         "Error defining trap number: Expected integer, found(x)"},
        {"n NOTIFICATION-TYPE OBJECTS a ::= { e 1 }",
         "Error defining OBJECTS: Expected '{', found(a)"},
        {"n NOTIFICATION-TYPE OBJECTS { } ::= { e 1 }",
         "Error defining OBJECTS: No variables specified"},
        {"n NOTIFICATION-TYPE DESCRIPTION x ::= { e 1 }", "Bad DESCRIPTION(x)"},
        {"n NOTIFICATION-TYPE STATUS current", "(End Of File)"},
        {"n NOTIFICATION-TYPE OBJECTS { a, b", "Error defining OBJECTS: missing '}'(End Of File)"},
        {"n NOTIFICATION-TYPE ::= { e }", "No end to OBJECT IDENTIFIER"},
    };
    for (const auto& c : cases) {
        Parsed parsed;
        parse(module(c.body), parsed);
        EXPECT_EQ(parsed.list, nullptr) << c.body;
        EXPECT_NE(parsed.messages.find(c.message), std::string::npos) << c.body << "\n--- got:\n"
                                                                      << parsed.messages;
    }
    std::string long_registration = "t TRAP-TYPE ENTERPRISE {";
    for (int i = 0; i < 120; ++i) long_registration += " a";
    Parsed parsed;
    parse(module(long_registration + " } ::= 1"), parsed);
    EXPECT_NE(parsed.messages.find("too long of registration"), std::string::npos);
}

TEST(CompilerModules, PrintParseNodesListsRecordsAndEnumerations) {
    Parsed parsed;
    parse(module("a OBJECT IDENTIFIER ::= { mgmt 1 }\n"
                 "b OBJECT-TYPE SYNTAX INTEGER { on(1), off(2) } ACCESS read-only STATUS current\n"
                 "  ::= { a 2 }"),
          parsed);
    testing_support::StdoutCapture capture;
    print_parse_nodes(parsed.list);
    EXPECT_EQ(capture.finish(),
              "a ::= { mgmt 1 } (0)\nb ::= { a 2 } (134)\nEnums: \non(1)\noff(2)\n");
}

TEST(CompilerTraps, SavedListStopsAtItsLimitAndSaysSo) {
    std::string traps;
    for (int i = 0; i <= kSavedTrapLimit; ++i) {
        traps += "t" + std::to_string(i) + " TRAP-TYPE ENTERPRISE e VARIABLES { v } ::= 1\n";
    }
    Parsed parsed;
    parse(module(traps), parsed, 1);
    EXPECT_EQ(parsed.traps.size(), static_cast<size_t>(kSavedTrapLimit));
    EXPECT_STREQ(parsed.traps.back()->name, "t8191");
    EXPECT_NE(
        parsed.warnings.find("Warning: more than 8192 trap definitions; t8192 is not kept.\n"),
        std::string::npos)
        << parsed.warnings;
}

// A label reaches command lines and quoted texts of the event definitions: only identifiers are
// taken, wherever a definition names or refers to one.
TEST(CompilerLabels, OnlyIdentifiersAreTaken) {
    Parsed good;
    parse(module("a_b-1 OBJECT IDENTIFIER ::= { mgmt 1 }\n"
                 "c OBJECT IDENTIFIER ::= { a_b-1 x-Y_2(2) 3 }\n"
                 "t TRAP-TYPE ENTERPRISE a_b-1 VARIABLES { c, v_1 } ::= 1"),
          good);
    EXPECT_EQ(good.messages, "");
    EXPECT_EQ(good.records(),
              (std::vector<std::string>{"a_b-1 mgmt 1", "x-Y_2 a_b-1 2", "c x-Y_2 3"}));

    const char* refused =
        "Error, a label holds letters, digits, hyphens and underscores and starts with a letter; "
        "found";
    const struct {
        std::string body;
        std::string label;
    } cases[] = {
        {"linkDown`touch$IFS\\PWNED` TRAP-TYPE ENTERPRISE e ::= 1", "linkDown`touch$IFS\\PWNED`"},
        {"t TRAP-TYPE ENTERPRISE e$(id) ::= 1", "e$"},
        // A quote ends the word; the quoted text that follows is no label.
        {"t TRAP-TYPE ENTERPRISE e VARIABLES { a, b\"c } ::= 1", ""},
        {"t TRAP-TYPE ENTERPRISE e VARIABLES { a, b%c } ::= 1", "b%c"},
        {"t TRAP-TYPE ENTERPRISE e VARIABLES { 5 } ::= 1", "5"},
        {"n NOTIFICATION-TYPE OBJECTS { a' } ::= { e 1 }", "a'"},
        {"n NOTIFICATION-TYPE ::= { e$x 1 }", "e$x"},
        {"a OBJECT IDENTIFIER ::= { mgmt b\\c(2) 1 }", "b\\c"},
        {"_a OBJECT IDENTIFIER ::= { mgmt 1 }", "_a"},
        {"-a OBJECT IDENTIFIER ::= { mgmt 1 }", "-a"},
        {"a.b OBJECT IDENTIFIER ::= { mgmt 1 }", "a.b"},
        {"\xc3\xa9t\xc3\xa9 OBJECT IDENTIFIER ::= { mgmt 1 }", "\xc3\xa9t\xc3\xa9"},
    };
    for (const auto& c : cases) {
        Parsed parsed;
        parse(module("\n" + c.body), parsed);
        EXPECT_EQ(parsed.list, nullptr) << c.body;
        EXPECT_EQ(parsed.messages.rfind(
                      std::string(refused) + "(" + c.label + "): On or around line 3\n", 0),
                  0u)
            << c.body << "\n--- got:\n"
            << parsed.messages;
    }
}

}  // namespace
