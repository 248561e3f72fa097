// The labels the compiler accepts. A label reaches the tree, the database and the event
// definitions, where it stands unquoted in command lines and inside quoted texts; only a plain
// identifier stays one harmless word in all of them.
#include "mib/compiler/compiler_internal.h"

namespace {

bool is_ascii_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

bool is_identifier_label(const char* text) {
    if (!text || !is_ascii_letter(text[0])) return false;
    for (const char* p = text + 1; *p; ++p) {
        if (!is_ascii_letter(*p) && !(*p >= '0' && *p <= '9') && *p != '-' && *p != '_') {
            return false;
        }
    }
    return true;
}

bool accept_label(CompilerState& state, const char* label) {
    if (is_identifier_label(label)) return true;
    report_at_line(
        state,
        "Error, a label holds letters, digits, hyphens and underscores and starts with a letter; "
        "found",
        label, LABEL);
    return false;
}
