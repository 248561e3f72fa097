#include "appls/extmgr/ttycmds/value_text.h"

#include <langinfo.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "runtime/runtime.h"

void clean_value_text(char* text) {
    std::mblen(nullptr, 0);
    // In UTF-8 a byte below 0x80 is a character of its own: no need to ask the locale.
    const bool multibyte = MB_CUR_MAX > 1;
    const bool utf8 = multibyte && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    char* p = text;
    while (*p != '\0') {
        if (multibyte && !(utf8 && static_cast<unsigned char>(*p) < 0x80)) {
            wchar_t wide = 0;
            const int n = std::mbtowc(&wide, p, MB_CUR_MAX);
            if (n > 1) {
                if (std::iswprint(static_cast<wint_t>(wide))) {
                    p += n;
                    continue;
                }
                *p++ = ' ';
                continue;
            }
            if (n < 0) std::mbtowc(nullptr, nullptr, 0);
        }
        const unsigned char c = static_cast<unsigned char>(*p);
        const bool printable = std::isalpha(c) || std::isdigit(c) || std::ispunct(c) || c == ' ';
        if (!printable && c != '\n') *p = ' ';
        ++p;
    }
}

namespace {

// The UTF-8 form of U+2028 and U+2029 but for its last byte (0xA8 or 0xA9): both end a line in a
// script, like a newline.
constexpr std::string_view kSeparatorLead = "\xE2\x80";

void append_control_escape(std::string& out, unsigned char c) {
    static const char digits[] = "0123456789ABCDEF";
    out += "\\x";
    out += digits[c >> 4];
    out += digits[c & 0xF];
}

}  // namespace

void append_script_escaped(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "<br>\\\n";
        } else if (c == '\'' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            append_control_escape(out, byte);
        } else if (text.substr(i, kSeparatorLead.size()) == kSeparatorLead && i + 2 < text.size() &&
                   (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
            out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += c;
        }
    }
}

std::string prepare_value_text(std::string_view text, bool html, bool script) {
    std::string placed = html ? html_escape(text) : std::string(text);
    if (!script) return placed;
    std::string escaped;
    append_script_escaped(escaped, placed);
    return escaped;
}

std::string prepare_label_text(std::string label, bool html, bool script) {
    if (!html) return label;
    // In a script string a carriage return would end the string.
    if (script) clean_value_text(label.data());
    return prepare_value_text(label, true, script);
}
