// A scanner of its own rather than the compiler's lexer: the lexer keeps process-wide state and
// applies "--#" directives, and a quick look at a file must touch neither.
#include "mib/compiler/module_header.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

enum class Kind { End, Word, Mark };

struct Token {
    Kind kind = Kind::End;
    std::string_view text;
    size_t at = 0;  // where it starts in the text

    bool is(std::string_view what) const { return kind != Kind::End && text == what; }
};

// What a character starts: most of a module is skipped a word or a quoted text at a time.
enum CharClass : unsigned char { kOther, kBlank, kWord, kDash, kQuote };

constexpr auto kClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (const char c : std::string_view(" \t\r\v\f\n"))
        classes[static_cast<unsigned char>(c)] = kBlank;
    for (int c = 'a'; c <= 'z'; ++c) classes[c] = kWord;
    for (int c = 'A'; c <= 'Z'; ++c) classes[c] = kWord;
    for (int c = '0'; c <= '9'; ++c) classes[c] = kWord;
    classes['_'] = kWord;
    classes['-'] = kDash;
    classes['"'] = kQuote;
    return classes;
}();

unsigned char class_of(char c) {
    return kClasses[static_cast<unsigned char>(c)];
}

class Scanner {
  public:
    explicit Scanner(std::string_view text) : text_(text) {}

    Token next() {
        const char* const begin = text_.data();
        const char* const end = begin + text_.size();
        const char* p = begin + at_;
        for (;;) {
            while (p < end && class_of(*p) == kBlank) ++p;
            if (p == end) break;
            const unsigned char kind = class_of(*p);
            if (kind == kQuote) {
                // Up to the closing quote, or the end of the text when there is none.
                const void* close = std::memchr(p + 1, '"', static_cast<size_t>(end - p - 1));
                p = close ? static_cast<const char*>(close) + 1 : end;
            } else if (kind == kDash && p + 1 < end && p[1] == '-') {
                const void* line_end = std::memchr(p + 2, '\n', static_cast<size_t>(end - p - 2));
                p = line_end ? static_cast<const char*>(line_end) : end;
            } else {
                at_ = static_cast<size_t>(p - begin);
                return kind == kWord || kind == kDash ? word() : mark();
            }
        }
        at_ = text_.size();
        return {Kind::End, {}, text_.size()};
    }

    // Whether "DEFINITIONS" occurs anywhere in the text from `at` on. Found through its 'F', a
    // letter rare in MIB texts, which memchr finds fast; memmem is several times slower here.
    bool holds_definitions_from(size_t at) const {
        constexpr std::string_view kWord = "DEFINITIONS";
        constexpr size_t kRare = 2;  // where the 'F' stands
        if (at >= text_.size() || text_.size() - at < kWord.size()) return false;
        const char* p = text_.data() + at + kRare;
        const char* last = text_.data() + text_.size() - (kWord.size() - kRare);
        while (p <= last) {
            p = static_cast<const char*>(std::memchr(p, 'F', static_cast<size_t>(last - p) + 1));
            if (!p) return false;
            if (std::memcmp(p - kRare, kWord.data(), kWord.size()) == 0) return true;
            ++p;
        }
        return false;
    }

    // The line of a token, counted only when asked for (mostly forward from the last asked).
    int line_of(const Token& token) {
        if (token.at < counted_to_) {
            counted_to_ = 0;
            counted_line_ = 1;
        }
        const char* p = text_.data() + counted_to_;
        const char* end = text_.data() + std::min(token.at, text_.size());
        while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p))))) {
            ++counted_line_;
            ++p;
        }
        counted_to_ = token.at;
        return counted_line_;
    }

  private:
    // A word ends at anything but a letter, digit, '-' or '_', and where a comment starts.
    Token word() {
        const char* const begin = text_.data();
        const char* const end = begin + text_.size();
        const char* p = begin + at_;
        for (;;) {
            while (p < end && class_of(*p) == kWord) ++p;
            if (p == end || *p != '-' || (p + 1 < end && p[1] == '-')) break;
            ++p;
        }
        const size_t start = at_;
        at_ = static_cast<size_t>(p - begin);
        return {Kind::Word, text_.substr(start, at_ - start), start};
    }

    Token mark() {
        const size_t start = at_;
        const std::string_view rest = text_.substr(at_);
        size_t length = 1;
        if (rest.substr(0, 3) == "::=") {
            length = 3;
        } else if (rest.substr(0, 2) == "..") {
            length = 2;
        }
        at_ += length;
        return {Kind::Mark, rest.substr(0, length), start};
    }

    std::string_view text_;
    size_t at_ = 0;
    size_t counted_to_ = 0;  // lines are counted up to here
    int counted_line_ = 1;
};

// Past the "}" that closes a "{" just read (or to the end of the text).
void skip_braces(Scanner& in) {
    int depth = 1;
    for (Token t = in.next(); t.kind != Kind::End; t = in.next()) {
        if (t.is("{")) {
            ++depth;
        } else if (t.is("}") && --depth == 0) {
            return;
        }
    }
}

// The IMPORTS list after its keyword: records each module named after FROM (an object
// identifier value that may follow it is skipped). Returns the token after the list.
Token read_imports(Scanner& in, ModuleHeader& module) {
    Token t = in.next();
    for (;;) {
        // "::=" cannot stand in the list: its ";" is missing and a definition has started.
        if (t.kind == Kind::End || t.is("::=")) return t;
        if (t.is(";")) return in.next();
        if (t.is("{")) {
            skip_braces(in);
        } else if (t.is("FROM")) {
            t = in.next();
            if (t.kind != Kind::Word) continue;
            module.imports.push_back({std::string(t.text), in.line_of(t)});
        }
        t = in.next();
    }
}

// After "DEFINITIONS": past BEGIN and the EXPORTS and IMPORTS lists. Returns the first token
// of the module's body.
Token read_module_start(Scanner& in, ModuleHeader& module) {
    Token t = in.next();
    while (t.kind != Kind::End && !t.is("BEGIN")) t = in.next();
    if (t.kind == Kind::End) return t;
    t = in.next();
    if (t.is("EXPORTS")) {
        while (t.kind != Kind::End && !t.is(";")) t = in.next();
        t = in.next();
    }
    return t.is("IMPORTS") ? read_imports(in, module) : t;
}

}  // namespace

std::vector<ModuleHeader> scan_module_headers(std::string_view text) {
    Scanner in(text);
    std::vector<ModuleHeader> modules;
    Token name;     // the word before the current token: a module's name when DEFINITIONS follows
    int depth = 0;  // BEGIN ... END nesting (macro definitions nest); 0 between modules
    Token t = in.next();
    while (t.kind != Kind::End) {
        if (t.is("DEFINITIONS") && name.kind == Kind::Word) {
            // Also inside a module whose END is missing: the next module starts all the same.
            modules.push_back({std::string(name.text), in.line_of(name), {}});
            t = read_module_start(in, modules.back());
            // Only a DEFINITIONS can start another module: without one in the rest of the
            // text, this is the last module and its body need not be read.
            if (!in.holds_definitions_from(t.at)) break;
            name = {};
            depth = 1;
            continue;
        }
        if (depth > 0) {
            if (t.is("BEGIN")) {
                ++depth;
            } else if (t.is("END")) {
                --depth;
            }
            name = t.kind == Kind::Word && depth > 0 ? t : Token{};
        } else if (t.is("{")) {
            skip_braces(in);  // NAME { identifier } DEFINITIONS
        } else {
            name = t.kind == Kind::Word ? t : Token{};
        }
        t = in.next();
    }
    return modules;
}
