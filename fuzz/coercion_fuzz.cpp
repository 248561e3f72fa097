// Coercion files of arbitrary bytes applied to a small tree.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/small_tree.h"
#include "mib/coercion.h"

namespace {

std::string path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed where there is such a folder: one write and one read per input.
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path = std::string(dir) + "/zorv-coercion-fuzz-" + std::to_string(getpid());
    setenv("ZORVMIBCOERCEFILE", path.c_str(), 1);
    set_coercion_enabled(1);
    std::atexit([] { std::remove(path.c_str()); });
    // The library's diagnostics, one per input, would only fill the log; libFuzzer keeps its own
    // stream and the sanitizers write to the descriptor, so their reports still show.
    if (FILE* null = std::fopen("/dev/null", "w")) stderr = null;
    Mib = fuzz_tree::build();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    apply_coercion_file();
    return 0;
}
