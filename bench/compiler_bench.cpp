// Compiling our standard definitions text with IANAifType-MIB, RFC1213-MIB, IF-MIB and
// SNMPv2-MIB, beside smitools' smidump on the same four modules in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mib/compiler/mib_compiler.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const char* const kModules[] = {"IANAifType-MIB", "RFC1213-MIB", "IF-MIB", "SNMPv2-MIB"};

std::string modules_dir() {
    return ZORV_STANDARD_MIBS_DIR;
}

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The prefix and the four modules in one file, and the prefix's line count.
struct Input {
    std::string path;
    int prefix_lines = 0;
};

const Input& input() {
    static const Input made = [] {
        Input in;
        const std::string prefix = read_text(std::string(ZORV_SOURCE_DIR) + "/mibs/snmpv2mib.txt");
        for (char c : prefix) in.prefix_lines += c == '\n';
        std::string all = prefix;
        for (const char* module : kModules)
            all += read_text(modules_dir() + "/" + module + ".mib") + "\n";
        in.path = (fs::temp_directory_path() / "zorv-compiler-bench.mib").string();
        std::ofstream(in.path, std::ios::binary) << all;
        return in;
    }();
    return made;
}

bool modules_present() {
    return fs::exists(modules_dir() + "/IF-MIB.mib");
}

MibNode* compile_once() {
    set_prefix_line_count(input().prefix_lines);
    return compile_mib_file(input().path.c_str());
}

// Runs smidump -k -u -f identifiers over the four modules, output dropped; false on failure.
bool run_smidump() {
    std::vector<std::string> args = {"smidump", "-k", "-u", "-f", "identifiers"};
    for (const char* module : kModules) args.push_back(modules_dir() + "/" + module + ".mib");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    static std::string smipath = "SMIPATH=" + modules_dir();
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) env.push_back(*e);
    env.push_back(smipath.data());
    env.push_back(nullptr);
    pid_t pid;
    const int spawned = posix_spawnp(&pid, "smidump", &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status);
}

void BM_CompileStandardModules(benchmark::State& state) {
    if (!modules_present()) {
        state.SkipWithError("standard modules missing: configure again to fetch them");
        return;
    }
    for (auto _ : state) {
        MibNode* tree = compile_once();
        if (!tree) {
            state.SkipWithError(compile_messages());
            return;
        }
        release_mib_tree(tree);
    }
}
BENCHMARK(BM_CompileStandardModules)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SmidumpIdentifiers(benchmark::State& state) {
    if (!modules_present()) {
        state.SkipWithError("standard modules missing: configure again to fetch them");
        return;
    }
    for (auto _ : state) {
        if (!run_smidump()) {
            state.SkipWithError("smidump (Debian smitools) is not installed");
            return;
        }
    }
}
BENCHMARK(BM_SmidumpIdentifiers)->Unit(benchmark::kMillisecond)->UseRealTime();

// Alternating rounds of both, so that both see the same machine load; prints the ratio.
void compare() {
    if (!modules_present() || !run_smidump()) return;
    using Clock = std::chrono::steady_clock;
    double ours = 0, theirs = 0;
    constexpr int kRounds = 40;
    for (int i = 0; i < kRounds; ++i) {
        auto start = Clock::now();
        release_mib_tree(compile_once());
        ours += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        start = Clock::now();
        run_smidump();
        theirs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    std::printf(
        "compiler %.3f ms, smidump %.3f ms per run (%d alternating rounds): %.1f%% of smidump's "
        "time\n",
        ours / kRounds, theirs / kRounds, kRounds, 100.0 * ours / theirs);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    compare();
    std::remove(input().path.c_str());
    return 0;
}
