// The four HTML wrappers (table, row, heading cell, data cell) and the output through them.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/runtime.h"

namespace {

// One wrapper cut at its "%s", with "%%" already turned into "%" in both parts. `format` is the
// same markup as a printf format that takes the text: the wrapper itself, or the wrapper with
// "%s" after it when it has none.
struct Wrapper {
    std::string before;
    std::string after;
    std::string format = "%s";
};

struct Wrappers {
    Wrapper table, row, heading, data;
};

Wrappers& wrappers() {
    static Wrappers w;
    return w;
}

// Column widths have at most seven digits; a longer one is not a column format.
bool skip_digits(std::string_view format, size_t& i) {
    const size_t start = i;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
    return i - start <= 7;
}

// Accepts "%%" and at most one "%s", nothing else after a '%'. With `width`, "%s" may carry a
// '-' flag, a width and a precision (the programs' column formats).
bool is_text_format(std::string_view format, bool width) {
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        ++i;
        if (i < format.size() && format[i] == '%') continue;
        if (width) {
            while (i < format.size() && format[i] == '-') ++i;
            if (!skip_digits(format, i)) return false;
            if (i < format.size() && format[i] == '.') ++i;
            if (!skip_digits(format, i)) return false;
        }
        if (i >= format.size() || format[i] != 's' || ++conversions > 1) return false;
    }
    return true;
}

std::string unescape_percent(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') ++i;
    }
    return out;
}

// The "%s" of a valid wrapper: the first '%' that is not part of a "%%".
size_t find_conversion(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == 's') return i;
        ++i;
    }
    return std::string_view::npos;
}

Wrapper make_wrapper(std::string_view text) {
    Wrapper w;
    const size_t at = find_conversion(text);
    if (at == std::string_view::npos) {
        w.before = unescape_percent(text);
        w.format = std::string(text) + "%s";
    } else {
        w.before = unescape_percent(text.substr(0, at));
        w.after = unescape_percent(text.substr(at + 2));
        w.format = std::string(text);
    }
    return w;
}

void put(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void print_wrapped(const Wrapper& w, const char* text) {
    put(w.before);
    std::fputs(text ? text : "", stdout);
    put(w.after);
}

// Text mode: the caller's column format, when it is one that takes a single text.
void print_formatted(const char* format, const char* text) {
    if (text == nullptr) text = "";
    if (format && is_text_format(format, true))
        std::printf(format, text);
    else
        std::fputs(text, stdout);
}

void print_tag(int html, const Wrapper& w, int which) {
    if (html) put(which == 0 ? w.before : w.after);
}

}  // namespace

bool html_wrapper_is_valid(std::string_view wrapper) {
    return is_text_format(wrapper, false);
}

int parseHtmlSpec(const char* text) {
    if (text == nullptr) return -1;
    std::vector<std::string_view> parts;
    std::string_view rest(text);
    for (;;) {
        const size_t comma = rest.find(',');
        parts.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    // A fifth part would have to be dropped, so a comma too many is refused rather than lost.
    if (parts.size() > 4) return -1;
    for (std::string_view part : parts)
        if (!html_wrapper_is_valid(part)) return -1;
    parts.resize(4);
    Wrappers& w = wrappers();
    w.table = make_wrapper(parts[0]);
    w.row = make_wrapper(parts[1]);
    w.heading = make_wrapper(parts[2]);
    w.data = make_wrapper(parts[3]);
    return 0;
}

const char* formatHead(int html, const char* format) {
    return html ? wrappers().heading.format.c_str() : format;
}

void printHead(int html, const char* format, const char* label) {
    if (html)
        print_wrapped(wrappers().heading, label);
    else
        print_formatted(format, label);
}

void printCell(int html, const char* format, const char* text) {
    if (html)
        print_wrapped(wrappers().data, text);
    else
        print_formatted(format, text);
}

void printTableTag(int html, int which) {
    print_tag(html, wrappers().table, which);
}
void printRowTag(int html, int which) {
    print_tag(html, wrappers().row, which);
}
void printDataTag(int html, int which) {
    print_tag(html, wrappers().data, which);
}

std::string html_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}
