// mibdb: builds the MIB intermediate file from MIB module texts, lists and translates a
// database, and writes the event definitions of the traps that the modules define.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "mib/mib_tree.h"

// The usage text on `stream`.
void print_usage(FILE* stream);
// "mibdb: <message>" and the usage on standard error; exit status 1.
[[noreturn]] void usage_error(const std::string& message);
// "mibdb: <message>" on standard error.
void report_error(const std::string& message);

// The arguments of one command, read front to back.
class ArgumentReader {
  public:
    ArgumentReader(int argc, char** argv, int first);
    bool done() const { return next_ >= args_.size(); }
    const std::string& peek() const { return args_[next_]; }
    std::string take() { return args_[next_++]; }
    // The value of the option just taken; a missing value is a usage error.
    std::string value_of(const std::string& option);

  private:
    std::vector<std::string> args_;
    size_t next_ = 0;
};

// Room for the sub-identifiers of an identifier given on the command line.
constexpr int32_t kMaxSubids = 128;

int run_build(ArgumentReader& args);
int run_list(ArgumentReader& args);
int run_translate(ArgumentReader& args);
int run_events(ArgumentReader& args);

// The standard definitions text placed in front of the modules: the one given, else the one of
// the source tree, else the installed one.
std::string standard_text_path(const std::string& given);

// The outcome of compiling the standard text followed by the modules as one stream.
struct CompileResult {
    MibNode* tree = nullptr;  // null when nothing could be built
};
// Compiles with trap collection switched to `collect_traps`. Compile messages go to standard
// error, each located in the file it came from.
CompileResult compile_modules(const std::string& standard_text,
                              const std::vector<std::string>& modules, bool collect_traps);

// When the first label of a name that did not resolve is in the database elsewhere, a note
// with the path to write instead; otherwise "".
std::string name_hint(const std::string& name);

// Points the library at the database: `given` names the file with or without ".bin" (empty:
// "MIBDBV2" or the default file). Loads it into `Mib`; false after reporting why not.
bool load_database(const std::string& given);
