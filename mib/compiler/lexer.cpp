#include <cstdlib>
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

// Characters that end a word wherever they stand; so do "::=", ".." (read_mark) and the quote
// that opens a text, except inside a comment.
inline bool is_delimiter(int c) {
    return is_space(c) || c == '(' || c == ')' || c == ',' || c == ';' || c == '{' || c == '}' ||
           c == '|';
}

constexpr const char* kAssignMark = "::=";
constexpr const char* kRangeMark = "..";
constexpr const char* kNulInWord = "NUL byte inside a word";
constexpr int kNoChar = -2;  // no character held back (EOF is -1)

// A word that starts with "--" is a comment: nothing inside it ends it early.
inline bool is_comment_word(const char* text, int length) {
    return length >= 2 && text[0] == '-' && text[1] == '-';
}

inline void add_char(char* text, int& length, int ch) {
    // Characters past the 127th of a word are read and dropped.
    if (length < kTokenSize - 1) text[length++] = static_cast<char>(ch);
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

// At ':' or '.': "::=" or ".." is returned as the mark that ends the word; otherwise the
// characters read belong to the word and `ch` is left at the first one that may not.
const char* read_mark(FILE* stream, int& ch, char* text, int& length) {
    const int first = ch;
    const int second = read_char(stream);
    if (first == '.') {
        if (second == '.') return kRangeMark;
        add_char(text, length, first);
        ch = second;
        return nullptr;
    }
    if (second != ':') {
        add_char(text, length, first);
        ch = second;
        return nullptr;
    }
    const int third = read_char(stream);
    if (third == '=') return kAssignMark;
    add_char(text, length, first);
    add_char(text, length, second);
    ch = third;
    return nullptr;
}

// A NUL byte would cut the word short without a trace: the compile stops with a located error.
int32_t stop_at_nul(char* text) {
    auto& state = compiler_state();
    report_at_line(kNulInWord, text[0] ? text : nullptr, LABEL);
    state.input_stopped = true;
    text[0] = '\0';
    return finish(END_OF_INPUT);
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

// Reads up to the closing quote of a text whose opening quote was read. False at end of input.
bool skip_quoted_text(FILE* stream) {
    auto& state = compiler_state();
    for (;;) {
        const int ch = read_char(stream);
        if (ch == EOF) return false;
        if (ch == '"') return true;
        if (ch == '\n') ++state.line;
    }
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

void reset_lexer() {
    auto& state = compiler_state();
    // A delimiter left by an earlier compile must not be read as this stream's first character.
    state.lookahead = ' ';
    state.lookahead_mark = nullptr;
    state.input_stopped = false;
    state.line = 1;
    state.last_token = END_OF_INPUT;
}

int32_t next_token(FILE* stream, char* text) {
    auto& state = compiler_state();
    for (;;) {
        int length = 0;
        text[0] = '\0';
        if (state.input_stopped) return finish(END_OF_INPUT);
        if (state.lookahead_mark) {
            // The mark that ended the previous word.
            std::strcpy(text, state.lookahead_mark);
            state.lookahead_mark = nullptr;
            return finish(lookup_keyword(text));
        }
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
        bool nul = false;
        for (;;) {
            if (ch == EOF) {
                text[length] = '\0';
                state.lookahead = ' ';
                return finish(END_OF_INPUT);
            }
            const char* mark = nullptr;
            const bool comment = is_comment_word(text, length);
            if ((ch == ':' || ch == '.') && !comment) {
                mark = read_mark(stream, ch, text, length);
                if (!mark) continue;
            } else if (!is_delimiter(ch) && (ch != '"' || comment)) {
                nul = nul || ch == '\0';
                add_char(text, length, ch);
                ch = read_char(stream);
                continue;
            }
            if (mark && length == 0) {
                length = static_cast<int>(std::strlen(mark));
                std::memcpy(text, mark, static_cast<size_t>(length));
                state.lookahead = ' ';
            } else if (mark) {
                state.lookahead_mark = mark;
                state.lookahead = ' ';
            } else if (!is_space(ch) && length == 0) {
                text[length++] = static_cast<char>(ch);
                state.lookahead = ' ';
            } else {
                state.lookahead = ch;
            }
            text[length] = '\0';
            if (nul && !is_comment_word(text, length)) return stop_at_nul(text);
            code = lookup_keyword(text);
            if (code != JOIN_NEXT) break;
            // OBJECT IDENTIFIER, OCTET STRING: the delimiter is dropped and the next word joins.
            state.lookahead_mark = nullptr;
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

int32_t next_token_past_text(FILE* stream, char* text) {
    const int32_t token = next_token(stream, text);
    if (token != QUOTED_TEXT) return token;
    char* quoted = read_quoted_text(stream);
    if (!quoted) return END_OF_INPUT;
    std::free(quoted);
    return QUOTED_TEXT;
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
    if (state.input_stopped || state.lookahead_mark) return 0;
    // The brace may have ended the keyword before it (INDEX{ifIndex}): then it is the lookahead.
    int ch = state.lookahead;
    state.lookahead = ' ';
    while (is_space(ch)) {
        if (ch == '\n') ++state.line;
        ch = read_char(stream);
    }
    if (ch != '{') return 0;
    int depth = 1;
    int pending = kNoChar;
    for (;;) {
        ch = pending != kNoChar ? pending : read_char(stream);
        pending = kNoChar;
        switch (ch) {
            case EOF:
                return 0;
            case '\n':
                ++state.line;
                break;
            case '"':
                if (!skip_quoted_text(stream)) return 0;
                break;
            case '-':
                // A comment runs to the end of its line; braces and quotes in it do not count.
                pending = read_char(stream);
                if (pending == '-') {
                    pending = kNoChar;
                    if (!skip_comment(stream)) return 0;
                }
                break;
            case '{':
                ++depth;
                break;
            case '}':
                if (--depth == 0) return OBJECT_IDENTIFIER;
                break;
            default:
                break;
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
