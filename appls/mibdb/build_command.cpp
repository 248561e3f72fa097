// mibdb build: the standard definitions text and the modules into a MIB intermediate file and
// its companion.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <future>
#include <memory>
#include <system_error>

#include "appls/mibdb/mibdb.h"
#include "mib/mib_file.h"

namespace {

// "label (.1.3.6...)": the node and its identifier, from the parent links.
std::string describe_node(const MibNode* node) {
    std::string identifier;
    for (const MibNode* n = node; n; n = n->parent) {
        identifier.insert(0, "." + std::to_string(n->subid));
    }
    return std::string(node->label) + " (" + identifier + ")";
}

// A build ended by a signal takes its partial file with it. The handlers are in place only
// while that file exists; a signal the caller had us ignore stays ignored.
class PartialFileGuard {
  public:
    explicit PartialFileGuard(const std::string& path) {
        partial_path = path.c_str();
        struct sigaction remove_then_die {};
        remove_then_die.sa_handler = remove_partial_and_die;
        sigemptyset(&remove_then_die.sa_mask);
        // Back to the default action on entry, and not blocked, so the re-raised signal ends us.
        remove_then_die.sa_flags = SA_RESETHAND | SA_NODEFER;
        for (size_t i = 0; i < kSignalCount; ++i) {
            sigaction(kSignals[i], nullptr, &saved_[i]);
            if (saved_[i].sa_handler != SIG_IGN) sigaction(kSignals[i], &remove_then_die, nullptr);
        }
    }
    ~PartialFileGuard() {
        for (size_t i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
        partial_path = nullptr;
    }
    PartialFileGuard(const PartialFileGuard&) = delete;
    PartialFileGuard& operator=(const PartialFileGuard&) = delete;

  private:
    static constexpr int kSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGPIPE,   SIGALRM,
                                       SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF};
    static constexpr size_t kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);

    static void remove_partial_and_die(int signal) {
        if (partial_path) unlink(partial_path);
        raise(signal);
    }

    static inline const char* volatile partial_path = nullptr;
    struct sigaction saved_[kSignalCount] {};
};

// A thread costs about as much as replacing a small file; from about this size on, replacing
// one can wait on the device for longer.
constexpr uint64_t kReplaceInThreadFrom = 1 << 20;

// Runs `work` in a thread of its own when `in_thread` and one can be started, else when get()
// is called.
template <typename Work>
auto beside(bool in_thread, Work work) -> std::future<decltype(work())> {
    if (in_thread) {
        try {
            return std::async(std::launch::async, work);
        } catch (const std::system_error&) {
        }
    }
    return std::async(std::launch::deferred, work);
}

// What a successful build held is freed by the process's end, whole, rather than node by node
// (a twentieth of a large build). Kept reachable, so a leak checker does not count it.
struct LeftToExit {
    MibNode* tree = nullptr;
    std::vector<NodeFacts> facts;
};
LeftToExit* volatile left_to_exit = nullptr;  // volatile: the store is kept, so is the root

void leave_to_exit(MibNode* tree, std::vector<NodeFacts> facts) {
    left_to_exit = new LeftToExit{tree, std::move(facts)};
}

// Writes the tree to `output` and the facts to its companion, each beside its target and
// renamed over it; 0 with `nodes` set, or 1 after saying why. Both are released, or left to the
// process's end once written.
int write_database(const std::string& output, MibNode* tree, std::vector<NodeFacts> facts,
                   size_t& nodes) {
    const auto release = [](MibNode* node) { release_mib_tree(node); };
    std::unique_ptr<MibNode, decltype(release)> owned(tree, release);  // until left to exit
    // Written beside the target and renamed over it, so a failed write keeps the database that
    // was there and a program loading it never sees half a file.
    const std::string partial = output + ".partial." + std::to_string(getpid());
    const PartialFileGuard guard(partial);
    MibFileWritten written;
    if (write_mib_file(partial.c_str(), tree, &written) != 0) {
        if (const MibNode* deep = mib_file_too_deep(tree)) {
            report_error("cannot write " + output + ": " + describe_node(deep) +
                         " lies deeper than the " + std::to_string(kMibFileMaxDepth) +
                         " levels a MIB database holds");
        } else {
            report_error(mib_file_message(output.c_str()));
        }
        std::remove(partial.c_str());
        return 1;
    }
    // Replacing a file can wait on the device (the old file's blocks are freed, on a filesystem
    // with online discard discarded, before rename returns): a large database goes into place in
    // a second thread while this one encodes the companion.
    const bool in_thread = written.size >= kReplaceInThreadFrom;
    auto replaced = beside(
        in_thread, [&] { return std::rename(partial.c_str(), output.c_str()) == 0 ? 0 : errno; });
    std::string companion_bytes;
    CompanionResult companion =
        prepare_companion(output, facts, {written.size, written.digest}, companion_bytes);
    if (const int error = replaced.get()) {
        report_error("cannot replace " + output + ": " + std::strerror(error));
        std::remove(partial.c_str());
        return 1;
    }
    // Its companion follows; should it fail, the one left there no longer matches and is not used.
    const std::string companion_partial = companion_partial_path(output);
    const PartialFileGuard companion_guard(companion_partial);
    if (companion.ok()) {
        companion = place_companion(output, companion_bytes);
    }
    if (!companion.ok()) {
        report_error(companion.message);
        return 1;
    }
    nodes = written.nodes;
    leave_to_exit(owned.release(), std::move(facts));
    return 0;
}

}  // namespace

int run_build(ArgumentReader& args) {
    // A build's large buffers (the stream's text, the encoded files) are freed while the
    // compile goes on; kept in the heap rather than unmapped, their pages serve what follows.
    keep_freed_heap();
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
    CompileResult compiled = compile_modules(standard_text, plan.files, false, &plan.texts);
    if (!compiled.tree) {
        report_error("nothing written to " + output);
        return 1;
    }
    size_t nodes = 0;
    if (write_database(output, compiled.tree,
                       facts_of_tree(compiled.tree, std::move(compiled.facts)), nodes) != 0)
        return 1;
    if (search.folders.empty()) {
        std::printf("mibdb: wrote %zu nodes to %s\n", nodes, output.c_str());
    } else {
        std::printf("mibdb: wrote %zu nodes to %s (%zu modules)\n", nodes, output.c_str(),
                    plan.modules);
    }
    return 0;
}
