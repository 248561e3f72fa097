// mibdb build: the standard definitions text and the modules into a MIB intermediate file.
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
    while (!args.done()) {
        const std::string arg = args.take();
        if (arg == "-o") {
            output = args.value_of(arg);
        } else if (arg == "--standard") {
            standard = args.value_of(arg);
        } else if (arg.size() > 1 && arg[0] == '-') {
            usage_error("build: unknown option " + arg);
        } else {
            modules.push_back(arg);
        }
    }
    if (output.empty()) usage_error("build: no output file given (-o FILE)");

    const CompileResult compiled = compile_modules(standard_text_path(standard), modules, false);
    if (!compiled.tree) {
        report_error("nothing written to " + output);
        return 1;
    }
    const size_t nodes = count_nodes(compiled.tree);
    const int failed = write_mib_file(output.c_str(), compiled.tree);
    release_mib_tree(compiled.tree);
    if (failed) {
        report_error(mib_file_message(output.c_str()));
        return 1;
    }
    std::printf("mibdb: wrote %zu nodes to %s\n", nodes, output.c_str());
    return 0;
}
