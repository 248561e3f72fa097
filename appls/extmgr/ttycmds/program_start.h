// Start-up that rowscan and objpeek share: the program's name, the messages of its catalogue
// set, the usage exits, and the command line both programs take.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "runtime/runtime.h"

// One message of a program's catalogue set.
struct ProgramMessage {
    int number;                // in the program's set
    const char* default_text;  // used when the catalogue has no text of its own
};

// The version of the tools, "name (zorv) VERSION" on a line of its own.
void print_version(FILE* stream, const char* name);

// The program being run: its name, its catalogue set and its usage text. Every exit it makes
// flushes standard output and standard error first.
class Program {
  public:
    // `usage_text` writes the usage text for the program name it is given on the stream.
    constexpr Program(const char* name, int set, void (*usage_text)(FILE* stream, const char* name))
        : name_(name), set_(set), usage_text_(usage_text) {}

    // Makes the product drive current, sets the locale from the environment and takes the
    // program name from argv[0]. A first argument "--help" writes the usage text on standard
    // output, "--version" the version; either ends with status 0. Elsewhere on the command line
    // they are arguments like any other.
    void start(int argc, char** argv);

    const char* name() const { return name_; }

    // The catalogue's text of the message, else its default text.
    const char* text(const ProgramMessage& message) const;

    // The message with its inserts (%1, %2, ...) on standard error.
    template <class... A>
    void report(const ProgramMessage& message, const A&... inserts) const {
        nl_fprintf(stderr, text(message), inserts...);
    }
    // The same message as a text.
    template <class... A>
    std::string message_text(const ProgramMessage& message, const A&... inserts) const {
        const NlArg list[] = {NlArg(inserts)..., NlArg("")};
        std::string out;
        nl_format(out, text(message), std::span<const NlArg>(list, sizeof...(A)));
        return out;
    }

    // The usage text on standard error, then status 1.
    [[noreturn]] void exit_with_usage() const;
    // The message with `insert`, then the usage text and status 1.
    [[noreturn]] void usage_error(const ProgramMessage& message, const char* insert) const;
    // The message with `insert`, then status 1.
    [[noreturn]] void fail(const ProgramMessage& message, const char* insert) const;
    // As fail, for a name that did not resolve: when no MIB database could be loaded, a line
    // after the message names the database file and why it could not be loaded.
    [[noreturn]] void fail_unresolved(const ProgramMessage& message, const char* insert) const;

  private:
    const char* name_;
    int set_;
    void (*usage_text_)(FILE* stream, const char* name);
};

// The messages, from the program's set, that its command line can give.
struct CommandLineMessages {
    const ProgramMessage& bad_argument;    // an option without its argument
    const ProgramMessage& stray_argument;  // an argument that is not an option of the table
};

// The form of a program's output: text, "-html", "-csv" or "-json".
enum class OutputForm { kText, kHtml, kCsv, kJson };

// What both programs take from their command line alike.
struct CommonOptions {
    const char* title = nullptr;
    const char* community = nullptr;  // null when "-c" is absent
    const char* node = nullptr;
    int html = 0;
    int script_escape = 0;  // "-js"
    OutputForm form = OutputForm::kText;
    bool hints = false;  // "-hints": values by their DISPLAY-HINT
};

// The command line both programs take, in table order: "-title" and "-c", the program's own
// options (each with an argument), then "-node", "-appname" (any argument, never read), the
// flags "-d", "-html" and "-js", then "-htmlFmt", "-inst" and the flags "-csv", "-json" and
// "-hints". "-t" stands for "-title".
class CommandLine {
  public:
    CommandLine(const Program& program, CommandLineMessages messages,
                std::span<const char* const> own_options);
    CommandLine(const Program& program, CommandLineMessages messages,
                std::initializer_list<const char*> own_options)
        : CommandLine(program, messages, std::span(own_options.begin(), own_options.size())) {}

    // Every option of the table, in table order.
    std::vector<const char*> options() const;

    // Fills the slots from argv. An option without its argument, or an argument that is not an
    // option of the table, ends the program with its message and the usage text.
    void parse(int argc, char** argv);

    // The argument of `option` (a flag's is "True"); null when the option was not given.
    const char* value(const char* option) const;
    bool given(const char* option) const { return value(option) != nullptr; }
    // The argument of `option`; when it is absent, `missing` with the option's name, then the
    // usage text and status 1.
    const char* required(const char* option, const ProgramMessage& missing) const;

    // With "-html": the wrappers of "-htmlFmt", else `default_spec`, go to parseHtmlSpec. A
    // wrapper is used as a printf format, so one that is not safe is refused before any output,
    // as a bad argument of "-htmlFmt".
    void use_html_wrappers(const char* default_spec) const;

    // The options of CommonOptions into `out`, the title defaulting to the text of
    // `default_title`; "-d" switches the packet dump on. "-csv" or "-json" together with
    // "-html", "-js" or each other ends the program with the stray-argument message and the
    // usage text.
    void take_common(CommonOptions& out, const ProgramMessage& default_title) const;

  private:
    const Program& program_;
    CommandLineMessages messages_;
    std::vector<OptionDesc> table_;
    std::vector<OptionSlot> slots_;
};
