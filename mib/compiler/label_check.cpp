// The labels the compiler accepts. A label reaches the tree, the database and the event
// definitions, where it stands unquoted in command lines and inside quoted texts; only a plain
// identifier stays one harmless word in all of them.
#include <array>

#include "mib/compiler/compiler_internal.h"

namespace {

bool is_ascii_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The characters that may follow a label's first letter.
constexpr std::array<bool, 256> kLabelChars = [] {
    std::array<bool, 256> chars{};
    for (int c = 0; c < 256; ++c) {
        chars[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '-' || c == '_';
    }
    return chars;
}();

}  // namespace

bool is_identifier_label(const char* text) {
    if (!text || !is_ascii_letter(text[0])) return false;
    const char* p = text + 1;
    while (kLabelChars[static_cast<unsigned char>(*p)]) ++p;
    return *p == '\0';
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
