// Feeds arbitrary bytes to the MIB intermediate file reader.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mib/mib_file.h"

namespace {

std::string& input_path() {
    static std::string path = [] {
        char pattern[] = "/tmp/mib_file_fuzz-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd < 0) std::abort();
        close(fd);
        return std::string(pattern);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A damaged file is read twice; the pause between the attempts would only slow the search.
    set_mib_file_retry_pause(0);
    std::atexit([] { unlink(input_path().c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(input_path().c_str(), "wb");
    if (!file) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    MibNode* tree = read_mib_file(input_path().c_str());
    if (!tree && mib_file_status() == MIB_FILE_OK) std::abort();  // a failure must say why
    if (tree && mib_file_status() != MIB_FILE_OK) std::abort();
    mib_file_message(input_path().c_str());
    if (tree) {
        // What was read must write back and read back the same.
        const std::string copy = input_path() + ".copy";
        if (write_mib_file(copy.c_str(), tree) != 0) std::abort();
        MibNode* again = read_mib_file(copy.c_str());
        if (!again) std::abort();
        release_mib_tree(again);
        unlink(copy.c_str());
    }
    release_mib_tree(tree);
    return 0;
}
