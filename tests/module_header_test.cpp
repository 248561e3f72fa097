// Module names and IMPORTS lists read without compiling: what a search for imported modules
// relies on, in the shapes real files take.
#include <gtest/gtest.h>

#include <string>

#include "mib/compiler/module_header.h"

namespace {

// "NAME@line: IMPORTED@line ..." per module, modules separated by " | ".
std::string describe(const std::string& text) {
    std::string out;
    for (const ModuleHeader& m : scan_module_headers(text)) {
        if (!out.empty()) out += " | ";
        out += m.name + "@" + std::to_string(m.line) + ":";
        for (const ModuleImport& i : m.imports)
            out += " " + i.module + "@" + std::to_string(i.line);
    }
    return out;
}

TEST(ModuleHeader, NamesAndImportsWithTheirLines) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"-- leading comment\nA-MIB DEFINITIONS ::= BEGIN\nIMPORTS\n  a, b\n    FROM B-MIB\n"
         "  c FROM C-MIB;\nx OBJECT IDENTIFIER ::= { a 1 }\nEND\n",
         "A-MIB@2: B-MIB@5 C-MIB@6"},
        // Marks glued to words end them.
        {"A-MIB DEFINITIONS::=BEGIN IMPORTS a,b FROM B-MIB c FROM C-MIB;END",
         "A-MIB@1: B-MIB@1 C-MIB@1"},
        // Comments and quoted texts hide words that would start, import or end a module.
        {"A-MIB DEFINITIONS ::= BEGIN\nIMPORTS a FROM -- not X-MIB\n B-MIB; -- c FROM Y-MIB\n"
         "x OBJECT-TYPE DESCRIPTION \"END\nZ-MIB DEFINITIONS ::= BEGIN\" ::= { a 1 }\n"
         "-- END\nEND\nC-MIB DEFINITIONS ::= BEGIN IMPORTS q FROM A-MIB; END\n",
         "A-MIB@1: B-MIB@3 | C-MIB@8: A-MIB@8"},
        // Macro definitions nest BEGIN ... END inside the module.
        {"S DEFINITIONS ::= BEGIN\nM MACRO ::= BEGIN TYPE NOTATION ::= x END\nEND\n"
         "T DEFINITIONS ::= BEGIN IMPORTS M FROM S; END\n",
         "S@1: | T@4: S@4"},
        // An identifier after the module name or after FROM; EXPORTS before IMPORTS.
        {"A-MIB { iso 3 } DEFINITIONS IMPLICIT TAGS ::= BEGIN EXPORTS x;\n"
         "IMPORTS a FROM B-MIB { iso 3 1 } b FROM C-MIB; END",
         "A-MIB@1: B-MIB@2 C-MIB@2"},
        // Line ends of either kind are counted once.
        {"\r\n\r\nA-MIB DEFINITIONS ::= BEGIN\r\nIMPORTS a\r\n FROM B-MIB;\r\nEND\r\n",
         "A-MIB@3: B-MIB@5"},
        // Cut short, or without an END: what was read is kept, the next module still starts.
        {"A-MIB DEFINITIONS ::= BEGIN IMPORTS a FROM B-MIB b FROM", "A-MIB@1: B-MIB@1"},
        {"A-MIB DEFINITIONS ::= BEGIN\nx ::= INTEGER\nB-MIB DEFINITIONS ::= BEGIN END",
         "A-MIB@1: | B-MIB@3:"},
        {"A-MIB DEFINITIONS ::= BEGIN IMPORTS a FROM B-MIB\nx OBJECT IDENTIFIER ::= { a 1 }",
         "A-MIB@1: B-MIB@1"},
        {"no module here \"unclosed", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(describe(c.text), c.expected) << c.text;
}

}  // namespace
