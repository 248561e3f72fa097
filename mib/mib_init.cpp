// Finding the MIB intermediate file and keeping `Mib` loaded from it.
#include "mib/mib_init.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "mib/coercion.h"
#include "mib/mib_file.h"
#include "mib/mib_tree.h"
#include "runtime/runtime.h"

namespace {

constexpr char kDefaultDirectory[] = "/usr/Zorv/conf";
constexpr char kDefaultBaseName[] = "snmpv2mib";
constexpr char kExtension[] = ".bin";

char* base_path = nullptr;
char* file_path = nullptr;
time_t last_load_time = 0;
bool loaded = false;

// Out of memory this early leaves nothing sensible to do.
char* allocate_or_exit(size_t size) {
    char* text = static_cast<char*>(std::malloc(size));
    if (!text) {
        std::fputs("ERROR: out of memory\n", stderr);
        std::exit(1);
    }
    return text;
}

}  // namespace

const char* mib_base_path() {
    if (base_path) return base_path;
    if (const char* from_environment = std::getenv("MIBDBV2")) {
        const size_t size = std::strlen(from_environment) + 1;
        base_path = allocate_or_exit(size);
        std::memcpy(base_path, from_environment, size);
    } else {
        base_path = allocate_or_exit(sizeof(kDefaultDirectory) + sizeof(kDefaultBaseName));
        std::memcpy(base_path, kDefaultDirectory, sizeof(kDefaultDirectory));
        _ZorvConcatPath(base_path, kDefaultBaseName);
    }
    return base_path;
}

const char* mib_file_path() {
    if (file_path) return file_path;
    const char* base = mib_base_path();
    const size_t length = std::strlen(base);
    file_path = allocate_or_exit(length + sizeof(kExtension));
    std::memcpy(file_path, base, length);
    std::memcpy(file_path + length, kExtension, sizeof(kExtension));
    return file_path;
}

int refresh_mib() {
    struct stat mib_status;
    // A file that went away leaves the tree loaded before in use.
    if (stat(mib_file_path(), &mib_status) != 0) return -1;

    bool reload_due = false;
    if (coercion_enabled()) {
        struct stat coercion_status;
        if (stat(coercion_file_path(), &coercion_status) == 0 &&
            coercion_status.st_mtime > last_load_time)
            reload_due = true;
    }
    if (loaded) {
        // Equal times count as unchanged.
        if (!reload_due && mib_status.st_mtime <= last_load_time) return 0;
        release_mib_tree(Mib);
        Mib = nullptr;
    }
    // Taken before the read, so that a change made during the read triggers the next reload.
    last_load_time = std::time(nullptr);
    Mib = read_mib_file(mib_file_path());
    if (!Mib) {
        loaded = false;
        return -1;
    }
    apply_coercion_file();
    loaded = true;
    return 0;
}

void reset_mib_init() {
    release_mib_tree(Mib);
    Mib = nullptr;
    loaded = false;
    last_load_time = 0;
    std::free(base_path);
    base_path = nullptr;
    std::free(file_path);
    file_path = nullptr;
}

int refresh_mib_or_exit() {
    if (refresh_mib() == -1) {
        PrintFMessage(stderr, "Couldn't find mib file: %s\n", mib_file_path());
        std::exit(2);
    }
    return 0;
}
