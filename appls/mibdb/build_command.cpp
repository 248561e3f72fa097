// mibdb build: the standard definitions text and the modules into a MIB intermediate file.
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "appls/mibdb/mibdb.h"
#include "mib/mib_file.h"

namespace {

size_t count_nodes(const MibNode* node) {
    size_t count = 0;
    for (; node; node = node->peer) count += 1 + count_nodes(node->child);
    return count;
}

}  // namespace

int run_build(ArgumentReader& args) {
    std::string output;
    std::string standard;
    std::vector<std::string> modules;
    std::vector<std::string> search_options;
    while (!args.done()) {
        const std::string arg = args.take();
        if (arg == "-o") {
            output = args.value_of(arg);
        } else if (arg == "--standard") {
            standard = args.value_of(arg);
        } else if (arg == "-M") {
            search_options.push_back(args.value_of(arg));
            if (search_options.back().empty()) usage_error("build: -M needs a folder");
        } else if (arg.size() > 1 && arg[0] == '-') {
            usage_error("build: unknown option " + arg);
        } else {
            modules.push_back(arg);
        }
    }
    if (output.empty()) usage_error("build: no output file given (-o FILE)");

    const std::string standard_text = standard_text_path(standard);
    SearchPath search;
    if (!read_search_path(search_options, search)) return 1;
    // Without a search path the modules are compiled as given, in the order given.
    ModulePlan plan;
    if (search.folders.empty()) {
        plan.files = modules;
    } else if (!plan_modules(standard_text, modules, search, plan)) {
        return 1;
    }
    const CompileResult compiled = compile_modules(standard_text, plan.files, false);
    if (!compiled.tree) {
        report_error("nothing written to " + output);
        return 1;
    }
    const size_t nodes = count_nodes(compiled.tree);
    // Written beside the target and renamed over it, so a failed write keeps the database that
    // was there and a program loading it never sees half a file.
    const std::string partial = output + ".partial." + std::to_string(getpid());
    const int failed = write_mib_file(partial.c_str(), compiled.tree);
    release_mib_tree(compiled.tree);
    if (failed) {
        report_error(mib_file_message(output.c_str()));
        std::remove(partial.c_str());
        return 1;
    }
    if (std::rename(partial.c_str(), output.c_str()) != 0) {
        report_error("cannot replace " + output + ": " + std::strerror(errno));
        std::remove(partial.c_str());
        return 1;
    }
    if (search.folders.empty()) {
        std::printf("mibdb: wrote %zu nodes to %s\n", nodes, output.c_str());
    } else {
        std::printf("mibdb: wrote %zu nodes to %s (%zu modules)\n", nodes, output.c_str(),
                    plan.modules);
    }
    return 0;
}
