// Trap names, enterprise and variable labels and "--#" directive texts from arbitrary bytes, put
// into a module with one TRAP-TYPE and one NOTIFICATION-TYPE, compiled with trap collection and
// written out as event definitions. Every alertreg line must split, by the shell's rules, into
// exactly the words of its record (nothing expanded but the format's own placeholders, no
// second command), and every class and slot name must be one identifier.
//
// The input is split at newlines: name, enterprise, variable, summary, arguments, category,
// event class, slot map, severity. A missing or empty label takes a plain one; a missing or empty
// directive text leaves its line out.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "mib/compiler/compiler_internal.h"
#include "mib/events/mib_events.h"

namespace {

// ---- A POSIX sh word splitter for one simple command line ------------------------------------

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// The parameters the format may leave to the shell; kept as written.
bool is_placeholder(char c) {
    return (c >= '0' && c <= '9') || c == 'E' || c == 'G' || c == 'S' || c == '#' || c == '*';
}

// The words of `line` as sh reads them, or nothing when the line holds anything but plain words
// (an operator, a comment, a command substitution, a pathname or tilde pattern, an expansion
// other than a placeholder, an open quote).
std::optional<std::vector<std::string>> split_words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    size_t i = 0;
    const auto dollar = [&](std::string& out) {
        if (i + 1 >= line.size() || !is_placeholder(line[i + 1])) return false;
        out += line.substr(i, 2);
        i += 2;
        return true;
    };
    while (i < line.size()) {
        const char c = line[i];
        if (is_blank(c)) {
            if (in_word) words.push_back(word);
            word.clear();
            in_word = false;
            ++i;
            continue;
        }
        if (!in_word && (c == '#' || c == '~')) return std::nullopt;
        in_word = true;
        if (std::strchr("|&;<>()`*?[\n", c)) return std::nullopt;
        if (c == '$') {
            if (!dollar(word)) return std::nullopt;
        } else if (c == '\\') {
            if (i + 1 >= line.size()) return std::nullopt;
            word += line[i + 1];
            i += 2;
        } else if (c == '\'') {
            const size_t end = line.find('\'', i + 1);
            if (end == std::string::npos) return std::nullopt;
            word += line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else if (c == '"') {
            for (++i;;) {
                if (i >= line.size() || line[i] == '`') return std::nullopt;
                const char d = line[i];
                if (d == '"') break;
                if (d == '$') {
                    if (!dollar(word)) return std::nullopt;
                    continue;
                }
                if (d == '\\' && i + 1 < line.size() && std::strchr("$`\"\\\n", line[i + 1])) {
                    word += line[i + 1];
                    i += 2;
                    continue;
                }
                word += d;
                ++i;
            }
            ++i;
        } else {
            word += c;
            ++i;
        }
    }
    if (in_word) words.push_back(word);
    return words;
}

// ---- The module ------------------------------------------------------------------------------

std::vector<std::string> fields_of(const uint8_t* data, size_t size) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            fields.emplace_back();
        } else {
            fields.back() += static_cast<char>(data[i]);
        }
    }
    fields.resize(9);
    return fields;
}

std::string module_text(const std::vector<std::string>& f) {
    const std::string name = f[0].empty() ? "t" : f[0];
    const std::string enterprise = f[1].empty() ? "e" : f[1];
    const std::string variable = f[2].empty() ? "v" : f[2];
    std::string directives;
    const char* words[] = {"SUMMARY", "ARGUMENTS", "CATEGORY", "EVENTCLASS", "SLOTMAP", "SEVERITY"};
    for (size_t k = 0; k < 6; ++k) {
        if (!f[3 + k].empty()) directives += "--#" + std::string(words[k]) + " " + f[3 + k] + "\n";
    }
    return "FUZZ-MIB DEFINITIONS ::= BEGIN\n" + enterprise +
           " OBJECT IDENTIFIER ::= { enterprises 9 }\n" + variable +
           " OBJECT-TYPE SYNTAX INTEGER ACCESS read-only STATUS mandatory ::= { " + enterprise +
           " 1 }\n" + name + " TRAP-TYPE ENTERPRISE " + enterprise + " VARIABLES { " + variable +
           " }\n" + directives + "::= 1\n" + name + "N NOTIFICATION-TYPE OBJECTS { " + variable +
           " } STATUS current\n" + directives + "::= { " + enterprise + " 2 }\nEND\n";
}

// ---- What each line must hold ----------------------------------------------------------------

struct Expected {
    std::vector<std::string> words;     // all but the -F word
    std::optional<std::string> format;  // the -F word when the text may be written
};

std::string code_or(char code, char fallback) {
    return std::string(1, code == kCodeUnset ? fallback : code);
}

Expected expected_line(const MibNode* tree, const TrapDefinition& record, bool last) {
    Expected e;
    e.words = {"alertreg",
               "-l",
               record.name,
               "-g",
               std::to_string(record.generic),
               "-s",
               std::to_string(record.specific)};
    if (record.enterprise[0] != '\0') {
        e.words.insert(e.words.end(), {"-n", record.enterprise});
        const std::string identifier = enterprise_oid_text(tree, record);
        if (!identifier.empty()) e.words.insert(e.words.end(), {"-i", identifier});
    }
    e.words.insert(e.words.end(), {"-o", code_or(record.option_char, kDefaultOptionChar), "-c",
                                   record.category[0] == '\0' ? "LOGONLY" : "Status Events", "-t",
                                   code_or(record.status, kStateDefaults), "-S",
                                   code_or(record.severity, kSeverityIndeterminate)});
    if (!last) e.words.push_back("-T");
    e.words.insert(e.words.end(), {"-f", "-", "-F"});
    if (record.summary[0] == '\0') return e;
    TrapDefinition copy = record;
    std::string text = record.summary;
    if (record.arguments[0] != '\0' &&
        convert_summary(copy, text) == SummaryConversion::TooManyArguments) {
        return e;
    }
    const auto words = split_words(text);
    if (words && words->size() == 1) e.format = words->front();
    return e;
}

void check_commands(const std::string& text, const std::vector<Expected>& expected) {
    const std::string fallback = *split_words(kDefaultEventFormat)->begin();
    size_t line_start = 0;
    for (const Expected& e : expected) {
        const size_t end = text.find('\n', line_start);
        if (end == std::string::npos) std::abort();
        const auto words = split_words(text.substr(line_start, end - line_start));
        line_start = end + 1;
        if (!words || words->size() != e.words.size() + 1) std::abort();
        if (!std::equal(e.words.begin(), e.words.end(), words->begin())) std::abort();
        const std::string& format = words->back();
        if (format != fallback && format != e.format) std::abort();
    }
    if (line_start != text.size()) std::abort();
}

constexpr const char* kBaseClass = "Fuzz_Base";

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The name before `end`, blanks around it dropped, must be one identifier.
void check_name_before(const std::string& line, const std::string& end) {
    std::string name = line.substr(0, line.size() - end.size());
    while (!name.empty() && is_blank(name.back())) name.pop_back();
    const size_t first = name.find_first_not_of(" \t");
    if (first == std::string::npos || !is_identifier_label(name.c_str() + first)) std::abort();
}

// Every line of the classes is one of the fixed ones, or names a class or a slot with one
// identifier.
void check_classes(const std::string& text) {
    const std::string isa = std::string(" ISA ") + kBaseClass;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        if (line.empty() || line == "PLEXA_CLASS :" || line == "        DEFINES {" ||
            line == "        };" || line == "END" ||
            line.rfind("                severity: default = ", 0) == 0) {
            continue;
        }
        if (ends_with(line, isa)) {
            check_name_before(line, isa);
        } else if (ends_with(line, " : STRING ")) {
            check_name_before(line, " : STRING ");
        } else {
            std::abort();
        }
    }
    if (start != text.size()) std::abort();
}

class MemoryStream {
  public:
    MemoryStream() : stream_(open_memstream(&data_, &size_)) {}
    ~MemoryStream() {
        if (stream_) std::fclose(stream_);
        std::free(data_);
    }
    FILE* get() { return stream_; }
    std::string text() {
        std::fflush(stream_);
        return std::string(data_, size_);
    }

  private:
    char* data_ = nullptr;
    size_t size_ = 0;
    FILE* stream_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    // The compiler's and the generator's warnings, one or more per input, would flood the log.
    static FILE* quiet = std::fopen("/dev/null", "w");
    if (!quiet) return 0;
    // A drive before every command would not be the words the shell is meant to see.
    unsetenv("BRIX_DRIVE");
    MibCompiler compiler;
    compiler.set_diagnostics(quiet);
    compiler.collect_traps(true);
    FILE* const saved_stderr = stderr;
    stderr = quiet;

    std::string text = module_text(fields_of(data, size));
    FILE* stream = fmemopen(text.data(), text.size(), "r");
    ParseNode* list = stream ? compiler.parse(stream) : nullptr;
    MibNode* tree = list ? compiler.link(list) : nullptr;
    if (stream) std::fclose(stream);
    TrapRecords records = compiler.take_traps();
    if (tree && !records.empty()) {
        std::vector<Expected> expected;
        for (size_t i = 0; i < records.size(); ++i) {
            expected.push_back(expected_line(tree, *records[i], i + 1 == records.size()));
        }
        MemoryStream commands, classes, variables, rules;
        write_event_definitions(tree, records, commands.get(), classes.get(), variables.get(),
                                rules.get(), kBaseClass);
        check_commands(commands.text(), expected);
        check_classes(classes.text());
    }
    release_mib_tree(tree);
    reset_event_generator();
    stderr = saved_stderr;
    return 0;
}
