// A scanner of its own rather than the compiler's lexer: the lexer keeps process-wide state and
// applies "--#" directives, and a quick look at a file must touch neither.
#include "mib/compiler/module_header.h"

namespace {

enum class Kind { End, Word, Mark };

struct Token {
    Kind kind = Kind::End;
    std::string_view text;
    int line = 0;

    bool is(std::string_view what) const { return kind != Kind::End && text == what; }
};

bool is_word_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

class Scanner {
  public:
    explicit Scanner(std::string_view text) : text_(text) {}

    Token next() {
        for (;;) {
            if (at_ >= text_.size()) return {Kind::End, {}, line_};
            const char c = text_[at_];
            if (c == '\n') {
                ++line_;
                ++at_;
            } else if (is_blank(c)) {
                ++at_;
            } else if (starts_comment(at_)) {
                while (at_ < text_.size() && text_[at_] != '\n') ++at_;
            } else if (c == '"') {
                skip_quoted_text();
            } else if (is_word_char(c)) {
                return word();
            } else {
                return mark();
            }
        }
    }

  private:
    bool starts_comment(size_t at) const {
        return text_[at] == '-' && at + 1 < text_.size() && text_[at + 1] == '-';
    }

    // Up to the closing quote, or the end of the text when there is none.
    void skip_quoted_text() {
        for (++at_; at_ < text_.size() && text_[at_] != '"'; ++at_) {
            if (text_[at_] == '\n') ++line_;
        }
        if (at_ < text_.size()) ++at_;
    }

    // A word ends at anything but a letter, digit, '-' or '_', and where a comment starts.
    Token word() {
        const size_t start = at_;
        while (at_ < text_.size() && is_word_char(text_[at_]) && !starts_comment(at_)) ++at_;
        return {Kind::Word, text_.substr(start, at_ - start), line_};
    }

    Token mark() {
        const std::string_view rest = text_.substr(at_);
        size_t length = 1;
        if (rest.substr(0, 3) == "::=") {
            length = 3;
        } else if (rest.substr(0, 2) == "..") {
            length = 2;
        }
        at_ += length;
        return {Kind::Mark, rest.substr(0, length), line_};
    }

    std::string_view text_;
    size_t at_ = 0;
    int line_ = 1;
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
            module.imports.push_back({std::string(t.text), t.line});
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
            modules.push_back({std::string(name.text), name.line, {}});
            t = read_module_start(in, modules.back());
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
