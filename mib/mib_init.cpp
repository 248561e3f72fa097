// Finding the MIB intermediate file and keeping `Mib` loaded from it.
#include "mib/mib_init.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <memory>

#include "mib/coercion.h"
#include "mib/companion.h"
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
std::unique_ptr<LazyCompanion> companion;

// The file as it was when a load last failed: the same file, unchanged, would only fail again
// after the pause that serves a file being rewritten.
struct FileVersion {
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
};
bool failed_before = false;
FileVersion failed_version{};

FileVersion version_of(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

bool same_version(const FileVersion& a, const FileVersion& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
}

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
    if (stat(mib_file_path(), &mib_status) != 0) {
        note_mib_file_unreachable(errno);
        return -1;
    }

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
    const FileVersion version = version_of(mib_status);
    const bool unchanged_since_failure = failed_before && same_version(version, failed_version);
    Mib = read_mib_file(mib_file_path(),
                        unchanged_since_failure ? MibFileRetry::kNone : MibFileRetry::kAfterPause);
    if (!Mib) {
        loaded = false;
        failed_before = true;
        failed_version = version;
        return -1;
    }
    failed_before = false;
    apply_coercion_file();
    loaded = true;
    return 0;
}

void reset_mib_init() {
    release_mib_tree(Mib);
    Mib = nullptr;
    loaded = false;
    last_load_time = 0;
    failed_before = false;
    std::free(base_path);
    base_path = nullptr;
    std::free(file_path);
    file_path = nullptr;
    companion.reset();
}

LazyCompanion& mib_companion() {
    if (!companion) companion = std::make_unique<LazyCompanion>(mib_file_path());
    return *companion;
}

int refresh_mib_or_exit() {
    if (refresh_mib() == -1) {
        PrintFMessage(stderr, "Couldn't find mib file: %s\n", mib_file_path());
        std::exit(2);
    }
    return 0;
}
