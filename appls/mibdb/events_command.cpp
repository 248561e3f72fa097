// mibdb events: the alertreg commands, event classes, variable list and mapping rules of the
// traps that the modules define.
#include <cerrno>
#include <cstring>

#include "appls/mibdb/mibdb.h"
#include "mib/compiler/trap_definition.h"
#include "mib/events/mib_events.h"

namespace {

// One output file; "-" is standard output.
struct Output {
    std::string path;
    FILE* stream = nullptr;

    bool open() {
        if (path.empty()) return true;
        stream = path == "-" ? stdout : std::fopen(path.c_str(), "w");
        if (!stream) report_error("cannot write " + path + ": " + std::strerror(errno));
        return stream != nullptr;
    }
    bool close() {
        if (!stream) return true;
        const bool failed = std::ferror(stream) != 0;
        const bool close_failed =
            stream == stdout ? std::fflush(stream) != 0 : std::fclose(stream) != 0;
        stream = nullptr;
        if (failed || close_failed) report_error("writing " + path + " failed");
        return !failed && !close_failed;
    }
};

}  // namespace

int run_events(ArgumentReader& args) {
    std::string base_class;
    std::string standard;
    Output commands, classes, variables, rules;
    std::vector<std::string> modules;
    while (!args.done()) {
        const std::string arg = args.take();
        if (arg == "--base-class") {
            base_class = args.value_of(arg);
        } else if (arg == "--commands") {
            commands.path = args.value_of(arg);
        } else if (arg == "--classes") {
            classes.path = args.value_of(arg);
        } else if (arg == "--variables") {
            variables.path = args.value_of(arg);
        } else if (arg == "--rules") {
            rules.path = args.value_of(arg);
        } else if (arg == "--standard") {
            standard = args.value_of(arg);
        } else if (arg.size() > 1 && arg[0] == '-') {
            usage_error("events: unknown option " + arg);
        } else {
            modules.push_back(arg);
        }
    }
    if (base_class.empty()) usage_error("events: no base class given (--base-class CLASS)");
    if (commands.path.empty()) usage_error("events: no commands file given (--commands FILE)");
    if (modules.empty()) usage_error("events: no MIB module given");
    // Two streams on one file would truncate and overwrite each other.
    const Output* outputs[] = {&commands, &classes, &variables, &rules};
    for (size_t i = 0; i < 4; ++i) {
        for (size_t j = i + 1; j < 4; ++j) {
            const std::string& path = outputs[i]->path;
            if (!path.empty() && path != "-" && path == outputs[j]->path) {
                usage_error("events: " + path + " is given for two outputs");
            }
        }
    }

    CompileResult compiled = compile_modules(standard_text_path(standard), modules, true);
    if (!compiled.tree) {
        report_error("no event definitions written");
        return 1;
    }
    const bool found = !compiled.traps.empty();
    bool ok = commands.open() && classes.open() && variables.open() && rules.open();
    if (ok) {
        write_event_definitions(compiled.tree, compiled.traps, commands.stream, classes.stream,
                                variables.stream, rules.stream, base_class.c_str());
    }
    for (Output* out : {&commands, &classes, &variables, &rules}) ok = out->close() && ok;
    release_mib_tree(compiled.tree);
    return ok && found ? 0 : 1;
}
