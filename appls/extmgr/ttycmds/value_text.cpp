#include "appls/extmgr/ttycmds/value_text.h"

#include <cctype>
#include <cstdlib>
#include <cwctype>

#include "runtime/runtime.h"

void clean_value_text(char* text) {
    std::mblen(nullptr, 0);
    char* p = text;
    while (*p != '\0') {
        if (MB_CUR_MAX > 1) {
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

void append_script_escaped(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
            case '\n':
                out += "<br>\\\n";
                break;
            case '\'':
                out += "\\'";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
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
