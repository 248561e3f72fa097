// Feeds arbitrary bytes to the MIB intermediate file reader. The reader takes only what the
// writer could have written, so whatever loads must write back to exactly the same bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mib/mib_file.h"

namespace {

// The whole of a file, or abort.
std::string contents_of(const std::string& path) {
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) std::abort();
    char chunk[1 << 16];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.append(chunk, n);
    std::fclose(file);
    return bytes;
}

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
    set_mib_file_pause([](unsigned) {});
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
        const std::string copy = input_path() + ".copy";
        if (write_mib_file(copy.c_str(), tree) != 0) std::abort();
        const std::string written = contents_of(copy);
        if (written.size() != size || (size > 0 && std::memcmp(written.data(), data, size) != 0))
            std::abort();
        unlink(copy.c_str());
    }
    release_mib_tree(tree);
    return 0;
}
