#include <sys/types.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "mib/compiler/compiler_internal.h"

namespace {

// What a character does to the word being read.
enum CharClass : uint8_t {
    kWordChar,
    kSpace,
    kPunctuation,  // ends a word and is a one-character word itself
    kMarkStart,    // ':' or '.': "::=" and ".." end a word wherever they stand (read_mark)
    kQuote,        // opens a text, so it ends a word
    kNulChar,
};

constexpr std::array<CharClass, 256> kCharClasses = [] {
    std::array<CharClass, 256> classes{};
    for (const unsigned char c : std::string_view(" \t\n\r\v\f")) classes[c] = kSpace;
    for (const unsigned char c : std::string_view("(),;{}|")) classes[c] = kPunctuation;
    classes[':'] = classes['.'] = kMarkStart;
    classes['"'] = kQuote;
    classes[0] = kNulChar;
    return classes;
}();

inline CharClass class_of(int ch) {
    return kCharClasses[static_cast<unsigned char>(ch)];
}

// EOF falls in the word-character class, so it is no space.
inline bool is_space(int c) {
    return class_of(c) == kSpace;
}

// White space read in place, as far as the current text goes; newlines are counted. A carriage
// return is a space either way, so reading it raw changes nothing.
void skip_spaces_in_place(CompilerState& state) {
    const std::string_view rest = state.input.rest();
    size_t i = 0;
    for (; i < rest.size() && class_of(rest[i]) == kSpace; ++i) state.line += rest[i] == '\n';
    state.input.skip(i);
}

// A run of word characters read in place into the word, as far as the current text goes.
void take_word_run(LexerInput& input, char* text, int& length) {
    const std::string_view rest = input.rest();
    size_t i = 0;
    while (i < rest.size() && class_of(rest[i]) == kWordChar) ++i;
    const size_t kept = std::min(i, static_cast<size_t>(kTokenSize - 1 - length));
    if (kept > 0) std::memcpy(text + length, rest.data(), kept);
    length += static_cast<int>(kept);
    input.skip(i);
}

constexpr const char* kAssignMark = "::=";
constexpr const char* kRangeMark = "..";
constexpr const char* kNulInWord = "NUL byte inside a word";
constexpr int kNoChar = -2;                              // no character held back (EOF is -1)
constexpr size_t kQuotedTextKept = kQuotedTextSize - 1;  // characters of a text that are kept

// A word that starts with "--" is a comment: nothing inside it ends it early.
inline bool is_comment_word(const char* text, int length) {
    return length >= 2 && text[0] == '-' && text[1] == '-';
}

inline void add_char(char* text, int& length, int ch) {
    // Characters past the 127th of a word are read and dropped.
    if (length < kTokenSize - 1) text[length++] = static_cast<char>(ch);
}

int32_t finish(CompilerState& state, int32_t code) {
    state.last_token = code;
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
const char* read_mark(LexerInput& input, int& ch, char* text, int& length) {
    const int first = ch;
    const int second = input.get();
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
    const int third = input.get();
    if (third == '=') return kAssignMark;
    add_char(text, length, first);
    add_char(text, length, second);
    ch = third;
    return nullptr;
}

// A NUL byte would cut the word short without a trace: the compile stops with a located error.
int32_t stop_at_nul(CompilerState& state, char* text) {
    report_at_line(state, kNulInWord, text[0] ? text : nullptr, LABEL);
    state.input_stopped = true;
    text[0] = '\0';
    return finish(state, END_OF_INPUT);
}

// Reads the rest of a directive line (the newline is consumed) and applies it. False at end of
// input.
bool read_directive(CompilerState& state, const char* word) {
    LexerInput& input = state.input;
    char line[kDirectiveLineSize];
    int length = 0;
    bool cut = false;
    bool more = true;
    if (state.lookahead == '\n') {
        ++state.line;
    } else {
        for (;;) {
            const int ch = input.get();
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
        warn_at_line(state, catalogue_message(MibMessage::DirectiveLineCut).c_str(), word);
    }
    apply_directive(state, word, line);
    return more;
}

// Reads the word that starts with `ch` into `text` (with the words a join word joins) and leaves
// what ended it as the lookahead: its keyword code, or LABEL. END_OF_INPUT when the input ends
// inside the word (the word is lost) or a NUL byte is in it (reported).
int32_t read_word(CompilerState& state, int ch, char* text) {
    LexerInput& input = state.input;
    int length = 0;
    bool nul = false;
    for (;;) {
        if (ch == EOF) {
            text[length] = '\0';
            state.lookahead = ' ';
            return END_OF_INPUT;
        }
        const CharClass kind = class_of(ch);
        // Inside a comment only white space and punctuation end the word.
        if (kind == kWordChar ||
            (kind >= kMarkStart && (kind == kNulChar || is_comment_word(text, length)))) {
            if (kind == kNulChar && !is_comment_word(text, length)) nul = true;
            add_char(text, length, ch);
            if (kind == kWordChar) take_word_run(input, text, length);
            ch = input.get();
            continue;
        }
        const char* mark = nullptr;
        if (kind == kMarkStart) {
            mark = read_mark(input, ch, text, length);
            if (!mark) continue;
        }
        if (mark && length == 0) {
            length = static_cast<int>(std::strlen(mark));
            std::memcpy(text, mark, static_cast<size_t>(length));
            state.lookahead = ' ';
        } else if (mark) {
            state.lookahead_mark = mark;
            state.lookahead = ' ';
        } else if (kind != kSpace && length == 0) {
            text[length++] = static_cast<char>(ch);
            state.lookahead = ' ';
        } else {
            state.lookahead = ch;
        }
        text[length] = '\0';
        if (nul) return stop_at_nul(state, text);
        const int32_t code = lookup_keyword(text, static_cast<size_t>(length));
        if (code != JOIN_NEXT) return code;
        // OBJECT IDENTIFIER, OCTET STRING: the delimiter is dropped and the next word joins.
        state.lookahead_mark = nullptr;
        if (state.lookahead == '\n') ++state.line;
        ch = input.get();
    }
}

// Reads a text up to its closing quote (its opening quote was read) in one call, counting its
// lines: `text` is left without the quote. False at end of input.
bool read_raw_text(CompilerState& state, std::string_view* text) {
    const std::string_view read = state.input.read_through('"');
    if (read.empty()) return false;
    state.line += static_cast<int>(count_newlines(read));
    if (read.back() != '"') return false;
    *text = read.substr(0, read.size() - 1);
    return true;
}

bool skip_quoted_text(CompilerState& state) {
    std::string_view text;
    return read_raw_text(state, &text);
}

// Skips the rest of a comment line with its newline. False at end of input.
bool skip_comment(CompilerState& state) {
    if (state.lookahead != '\n') {
        const std::string_view line = state.input.read_through('\n');
        if (line.empty() || line.back() != '\n') {
            state.lookahead = ' ';
            return false;
        }
    }
    ++state.line;
    state.lookahead = ' ';
    return true;
}

}  // namespace

void reset_lexer(CompilerState& state) {
    // A delimiter left by an earlier compile must not be read as this stream's first character.
    state.lookahead = ' ';
    state.lookahead_mark = nullptr;
    state.input_stopped = false;
    state.line = 1;
    state.last_token = END_OF_INPUT;
}

int32_t next_token(CompilerState& state, char* text) {
    LexerInput& input = state.input;
    for (;;) {
        text[0] = '\0';
        if (state.input_stopped) return finish(state, END_OF_INPUT);
        if (state.lookahead_mark) {
            // The mark that ended the previous word.
            std::strcpy(text, state.lookahead_mark);
            state.lookahead_mark = nullptr;
            return finish(state, lookup_keyword(text));
        }
        int ch = state.lookahead;
        while (is_space(ch)) {
            if (ch == '\n') ++state.line;
            skip_spaces_in_place(state);
            ch = input.get();
        }
        if (ch == EOF) {
            state.lookahead = ' ';
            return finish(state, END_OF_INPUT);
        }
        if (ch == '"') {
            // The white space before the quote is consumed already.
            state.lookahead = ' ';
            return finish(state, QUOTED_TEXT);
        }
        const int32_t code = read_word(state, ch, text);
        if (code != LABEL) return finish(state, code);
        if (text[0] == '-' && text[1] == '-') {
            const bool more = text[2] == '#' ? read_directive(state, text) : skip_comment(state);
            if (!more) {
                text[0] = '\0';
                return finish(state, END_OF_INPUT);
            }
            continue;
        }
        if (text[0] == '-') return finish(state, all_digits(text + 1) ? NEG_NUMBER : LABEL);
        return finish(state, all_digits(text) ? NUMBER : LABEL);
    }
}

int32_t next_token_past_text(CompilerState& state, char* text) {
    const int32_t token = next_token(state, text);
    if (token != QUOTED_TEXT || skip_quoted_text(state)) return token;
    report_message(state, MibMessage::MissingClosingQuote, nullptr, kNoTokenCode, "DESCRIPTION");
    return END_OF_INPUT;
}

char* read_quoted_text(CompilerState& state) {
    std::string_view raw;
    if (!read_raw_text(state, &raw)) {
        report_message(state, MibMessage::MissingClosingQuote, nullptr, kNoTokenCode,
                       "DESCRIPTION");
        return nullptr;
    }
    auto* text = static_cast<char*>(std::malloc(std::min(raw.size(), kQuotedTextKept) + 1));
    if (!text) out_of_memory();
    size_t length = 0;
    const auto keep = [&](std::string_view part) {
        const size_t n = std::min(part.size(), kQuotedTextKept - length);
        std::memcpy(text + length, part.data(), n);
        length += n;
    };
    // Line by line: the indentation of each continuation line is dropped (empty lines are kept),
    // and, as a text-mode stream reads it, a carriage return before a newline.
    for (size_t at = 0; at < raw.size() && length < kQuotedTextKept;) {
        if (at > 0) {
            // Mostly blanks, taken eight at a time.
            constexpr uint64_t kEightBlanks = 0x2020202020202020ull;
            uint64_t eight = 0;
            while (at + 8 <= raw.size() &&
                   (std::memcpy(&eight, raw.data() + at, 8), eight == kEightBlanks))
                at += 8;
            while (at < raw.size() && raw[at] != '\n' && is_space(raw[at])) ++at;
        }
        const size_t newline = raw.find('\n', at);
        size_t end = newline == std::string_view::npos ? raw.size() : newline;
        if (newline != std::string_view::npos && end > at && raw[end - 1] == '\r') --end;
        keep(raw.substr(at, end - at));
        if (newline == std::string_view::npos) break;
        keep("\n");
        at = newline + 1;
    }
    text[length] = '\0';
    return text;
}

char* read_clause_text(CompilerState& state) {
    char text[kTokenSize];
    const int32_t token = next_token(state, text);
    if (token != QUOTED_TEXT) {
        report_message(state, MibMessage::Bad, text, token, "DESCRIPTION");
        return nullptr;
    }
    return read_quoted_text(state);
}

int32_t skip_braced_value(CompilerState& state) {
    return skip_braced_value(state, nullptr);
}

int32_t skip_braced_value(CompilerState& state, std::string* kept) {
    LexerInput& input = state.input;
    if (state.input_stopped || state.lookahead_mark) return 0;
    // The brace may have ended the keyword before it (INDEX{ifIndex}): then it is the lookahead.
    int ch = state.lookahead;
    state.lookahead = ' ';
    while (is_space(ch)) {
        if (ch == '\n') ++state.line;
        skip_spaces_in_place(state);
        ch = input.get();
    }
    if (ch != '{') return 0;
    int depth = 1;
    int pending = kNoChar;
    for (;;) {
        ch = pending != kNoChar ? pending : input.get();
        pending = kNoChar;
        if (kept && ch != EOF && ch != '-' && ch != '"') kept->push_back(static_cast<char>(ch));
        switch (ch) {
            case EOF:
                return 0;
            case '\n':
                ++state.line;
                break;
            case '"':
                if (!skip_quoted_text(state)) return 0;
                if (kept) kept->push_back(' ');
                break;
            case '-':
                // A comment runs to the end of its line; braces and quotes in it do not count.
                pending = input.get();
                if (pending == '-') {
                    pending = kNoChar;
                    if (!skip_comment(state)) return 0;
                    if (kept) kept->push_back('\n');
                } else if (kept) {
                    kept->push_back('-');
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
