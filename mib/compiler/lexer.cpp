#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

// Files are read as text: a carriage return before a newline is dropped, as a text-mode stream
// on the station does, so directives and descriptions of CRLF files read the same.
inline int read_char(FILE* stream) {
    const int ch = getc_unlocked(stream);
    if (ch != '\r') return ch;
    const int next = getc_unlocked(stream);
    if (next == '\n') return next;
    if (next != EOF) ungetc(next, stream);
    return ch;
}

inline bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

inline bool is_delimiter(int c) {
    return is_space(c) || c == '(' || c == ')' || c == ',' || c == ';' || c == '{' || c == '}';
}

int32_t finish(int32_t code) {
    compiler_state().last_token = code;
    return code;
}

bool all_digits(const char* text) {
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return false;
    }
    return true;
}

// Reads the rest of a directive line (the newline is consumed) and applies it. False at end of
// input.
bool read_directive(FILE* stream, const char* word) {
    auto& state = compiler_state();
    char line[kDirectiveLineSize];
    int length = 0;
    bool cut = false;
    bool more = true;
    if (state.lookahead == '\n') {
        ++state.line;
    } else {
        for (;;) {
            const int ch = read_char(stream);
            if (ch == EOF) {
                more = false;
                break;
            }
            if (ch == '\n') {
                ++state.line;
                break;
            }
            if (length < kDirectiveLineSize - 1) {
                line[length++] = static_cast<char>(ch);
            } else {
                cut = true;
            }
        }
    }
    line[length] = '\0';
    state.lookahead = ' ';
    if (cut) {
        warn_at_line("Warning: directive line longer than 2047 characters; the rest is ignored",
                     word);
    }
    apply_directive(word, line);
    return more;
}

// Skips the rest of a comment line with its newline. False at end of input.
bool skip_comment(FILE* stream) {
    auto& state = compiler_state();
    if (state.lookahead != '\n') {
        int ch;
        do {
            ch = read_char(stream);
        } while (ch != '\n' && ch != EOF);
        if (ch == EOF) {
            state.lookahead = ' ';
            return false;
        }
    }
    ++state.line;
    state.lookahead = ' ';
    return true;
}

}  // namespace

int32_t next_token(FILE* stream, char* text) {
    auto& state = compiler_state();
    for (;;) {
        int length = 0;
        text[0] = '\0';
        int ch = state.lookahead;
        while (is_space(ch)) {
            if (ch == '\n') ++state.line;
            ch = read_char(stream);
        }
        if (ch == EOF) {
            state.lookahead = ' ';
            return finish(END_OF_INPUT);
        }
        if (ch == '"') {
            // The white space before the quote is consumed already.
            state.lookahead = ' ';
            return finish(QUOTED_TEXT);
        }
        int32_t code;
        for (;;) {
            if (ch == EOF) {
                text[length] = '\0';
                state.lookahead = ' ';
                return finish(END_OF_INPUT);
            }
            if (!is_delimiter(ch)) {
                if (length < kTokenSize - 1) text[length++] = static_cast<char>(ch);
                ch = read_char(stream);
                continue;
            }
            if (!is_space(ch) && length == 0) {
                text[length++] = static_cast<char>(ch);
                state.lookahead = ' ';
            } else {
                state.lookahead = ch;
            }
            text[length] = '\0';
            code = lookup_keyword(text);
            if (code != JOIN_NEXT) break;
            // OBJECT IDENTIFIER, OCTET STRING: the delimiter is dropped and the next word joins.
            if (state.lookahead == '\n') ++state.line;
            ch = read_char(stream);
        }
        if (code != LABEL) return finish(code);
        if (text[0] == '-' && text[1] == '-') {
            const bool more = text[2] == '#' ? read_directive(stream, text) : skip_comment(stream);
            if (!more) {
                text[0] = '\0';
                return finish(END_OF_INPUT);
            }
            continue;
        }
        if (text[0] == '-') return finish(all_digits(text + 1) ? NEG_NUMBER : LABEL);
        return finish(all_digits(text) ? NUMBER : LABEL);
    }
}

char* read_quoted_text(FILE* stream) {
    auto& state = compiler_state();
    char buffer[kQuotedTextSize];
    int length = 0;
    bool line_start = false;
    for (;;) {
        const int ch = read_char(stream);
        if (ch == EOF) {
            report_message(MibMessage::MissingClosingQuote, nullptr, kNoTokenCode, "DESCRIPTION");
            return nullptr;
        }
        if (ch == '"') break;
        if (line_start) {
            if (ch != '\n' && is_space(ch)) continue;
            line_start = ch == '\n';
        }
        if (ch == '\n') {
            ++state.line;
            line_start = true;
        }
        if (length < kQuotedTextSize - 1) buffer[length++] = static_cast<char>(ch);
    }
    buffer[length] = '\0';
    return compiler_copy_text(buffer);
}

char* read_clause_text(FILE* stream) {
    char text[kTokenSize];
    const int32_t token = next_token(stream, text);
    if (token != QUOTED_TEXT) {
        report_message(MibMessage::Bad, text, token, "DESCRIPTION");
        return nullptr;
    }
    return read_quoted_text(stream);
}

int32_t skip_braced_value(FILE* stream) {
    auto& state = compiler_state();
    int ch;
    do {
        ch = read_char(stream);
        if (ch == '\n') ++state.line;
    } while (is_space(ch));
    if (ch != '{') return 0;
    bool inner = false;
    for (;;) {
        ch = read_char(stream);
        if (ch == EOF) return 0;
        if (ch == '\n') {
            ++state.line;
        } else if (ch == '{') {
            inner = true;
        } else if (ch == '}') {
            if (!inner) return OBJECT_IDENTIFIER;
            inner = false;
        }
    }
}

int escape_dollars(char* text) {
    const size_t length = std::strlen(text);
    if (!std::strchr(text, '$')) return static_cast<int>(length);
    std::string out;
    out.reserve(length * 2);
    for (const char* p = text; *p; ++p) {
        if (*p == '$') out.push_back('\\');
        out.push_back(*p);
    }
    if (out.size() > kEscapedTextMax) out.resize(kEscapedTextMax);
    std::memcpy(text, out.c_str(), out.size() + 1);
    return static_cast<int>(out.size());
}
