// The names of the modules a MIB source text defines and the modules each one imports from,
// read without compiling: enough to find a module's imports and order modules so that each
// follows what it imports.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One "FROM NAME" of an IMPORTS list; `line` is the line of NAME, counted from 1 as the
// compiler counts the lines of a file.
struct ModuleImport {
    std::string module;
    int line = 0;
};

// One "NAME DEFINITIONS ::= BEGIN": the module's name, the line of that name, and the modules
// of its IMPORTS list in source order (a module named in two FROM clauses appears twice).
struct ModuleHeader {
    std::string name;
    int line = 0;
    std::vector<ModuleImport> imports;
};

// Every module of `text` in source order; empty when it holds none. Comments ("--" to the end
// of the line) and quoted texts are skipped, and words end at white space and at the marks
// "::=" ";" "," "{" "}" "(" ")" "|" "..", wherever those stand. Any text is accepted: a module
// that is cut short keeps what was read of it.
std::vector<ModuleHeader> scan_module_headers(std::string_view text);
