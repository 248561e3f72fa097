// Process start to exit of `mibdb build` making the default database (our standard text and the
// four standard modules), beside smidump compiling the same modules as the peer to beat.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

const std::string kModules = ZORV_STANDARD_MIBS_DIR "/";

// mibdb sits beside this program's folder in the build tree.
std::string mibdb_path() {
    return (fs::canonical("/proc/self/exe").parent_path().parent_path() / "appls/mibdb/mibdb")
        .string();
}

// Runs the program with its output thrown away; its exit status.
int run_quietly(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool have_modules() {
    return fs::exists(kModules + "IF-MIB.mib");
}

void BM_MibdbBuildDefaultDatabase(benchmark::State& state) {
    const std::string mibdb = mibdb_path();
    if (!fs::exists(mibdb) || !have_modules()) {
        state.SkipWithError("mibdb or the standard modules are missing");
        return;
    }
    const std::string out = (fs::temp_directory_path() / "mibdb_bench_snmpv2mib.bin").string();
    const std::vector<std::string> args = {mibdb,
                                           "build",
                                           "-o",
                                           out,
                                           kModules + "IANAifType-MIB.mib",
                                           kModules + "RFC1213-MIB.mib",
                                           kModules + "IF-MIB.mib",
                                           kModules + "SNMPv2-MIB.mib"};
    for (auto _ : state) {
        if (run_quietly(args) != 0) {
            state.SkipWithError("mibdb build failed");
            break;
        }
    }
    fs::remove(out);
}
BENCHMARK(BM_MibdbBuildDefaultDatabase)->Unit(benchmark::kMillisecond)->UseRealTime();

// smidump parses the same four modules (with the SMI modules they import) and dumps IF-MIB's tree.
void BM_SmidumpSameModules(benchmark::State& state) {
    if (!fs::exists("/usr/bin/smidump") || !have_modules()) {
        state.SkipWithError("smidump or the standard modules are missing");
        return;
    }
    std::vector<std::string> args = {"/usr/bin/smidump", "-q", "-f", "tree"};
    for (const char* name : {"SNMPv2-SMI", "SNMPv2-TC", "SNMPv2-CONF", "RFC1155-SMI", "RFC-1212",
                             "IANAifType-MIB", "RFC1213-MIB", "SNMPv2-MIB"}) {
        args.push_back("-p");
        args.push_back(kModules + name + ".mib");
    }
    args.push_back(kModules + "IF-MIB.mib");
    for (auto _ : state) {
        if (run_quietly(args) != 0) {
            state.SkipWithError("smidump failed");
            break;
        }
    }
}
BENCHMARK(BM_SmidumpSameModules)->Unit(benchmark::kMillisecond)->UseRealTime();

// What starting and reaping any process costs on this machine, for scale.
void BM_ProcessStartBaseline(benchmark::State& state) {
    for (auto _ : state) run_quietly({"/bin/true"});
}
BENCHMARK(BM_ProcessStartBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
