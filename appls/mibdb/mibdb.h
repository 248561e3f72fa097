// mibdb: builds the MIB intermediate file from MIB module texts, lists and translates a
// database, and writes the event definitions of the traps that the modules define.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mib/companion.h"
#include "mib/compiler/mib_compiler.h"
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

// Memory about to be written, made resident in one call rather than faulted in page by page.
// The pages of [data, data + size):
void prefault(void* data, size_t size);
// From here on, freed heap blocks (large ones too) stay in the heap for what follows.
void keep_freed_heap();
// About `bytes` of the heap's free space, once keep_freed_heap was called (nothing before). No
// more than the allocations that follow will take: memory made resident and never used costs
// more than the faults it spares.
void prefault_heap(size_t bytes);

// The standard definitions text placed in front of the modules: the one given, else the one of
// the source tree, else the installed one.
std::string standard_text_path(const std::string& given);

bool is_regular_file(const std::string& path);
// No MIB module comes near this size: a larger file is never read whole.
constexpr uint64_t kMaxModuleFileBytes = uint64_t{64} << 20;
// How much of a file is read to find the modules it defines: their headers are at its start.
constexpr size_t kModuleHeaderBytes = size_t{1} << 20;
// Appends the whole file to `text`, with a line end after it when it has none; false with `why`
// set (also for a file larger than kMaxModuleFileBytes).
bool append_file(const std::string& path, std::string& text, std::string& why);
// The first `limit` bytes of the file into `text` and its size into `size`; false with `why`
// set.
bool read_file_start(const std::string& path, size_t limit, std::string& text, uint64_t& size,
                     std::string& why);
// "larger than any MIB module (N bytes)"
std::string too_large_text(uint64_t size);

// Folders searched for modules by name: those of the -M options, then those of this variable.
constexpr const char* kSearchPathVariable = "ZORVMIBDIRS";
struct SearchPath {
    std::vector<std::string> option_folders;  // from -M, in order
    std::vector<std::string> folders;         // every folder searched, in order
};
// Each value is a list of folders separated by ':'. False after reporting one that is not a
// folder.
bool read_search_path(const std::vector<std::string>& option_values, SearchPath& path);
// The regular files of the folder whose names do not start with '.', sorted by name; false
// after reporting why it cannot be listed.
bool files_of_folder(const std::string& folder, std::vector<std::string>& files);

// The files to compile after the standard text, in order: the modules given (files, or module
// names found on the search path; none given: every module of the -M folders) and the modules
// that they import, found on the search path. Each module comes once and after the modules it
// imports; modules that the standard text stands for are left out. False after reporting why
// (each import that is nowhere on the search path on a line of its own).
struct ModulePlan {
    std::vector<std::string> files;
    // The whole text of each file as the plan read it, or empty when it read only a part.
    std::vector<std::string> texts;
    size_t modules = 0;  // the modules those files hold (a file without a module header: one)
};
bool plan_modules(const std::string& standard_text, const std::vector<std::string>& given,
                  const SearchPath& search, ModulePlan& plan);

// The outcome of compiling the standard text followed by the modules as one stream.
struct CompileResult {
    MibNode* tree = nullptr;       // null when nothing could be built
    std::vector<NodeFacts> facts;  // the compile's facts of the nodes, in OID order
    TrapRecords traps;             // the trap records collected, in the order met
};
// Compiles with trap collection switched to `collect_traps`. Compile messages go to standard
// error, each located in the file it came from. `texts`, when given, holds the text of each
// module file already read (empty: read it now); they are released after the parse.
CompileResult compile_modules(const std::string& standard_text,
                              const std::vector<std::string>& modules, bool collect_traps,
                              std::vector<std::string>* texts = nullptr);

// The facts of a compile (in OID order) that are about nodes of its tree.
std::vector<NodeFacts> facts_of_tree(const MibNode* tree, std::vector<NodeFacts> facts);

// When the first label of a name that did not resolve is in the database elsewhere, a note
// with the path to write instead; otherwise "".
std::string name_hint(const std::string& name);

// Points the library at the database: `given` names the file with or without ".bin" (empty:
// "MIBDBV2" or the default file). Loads it into `Mib`; false after reporting why not.
bool load_database(const std::string& given);
