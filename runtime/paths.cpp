// Path helpers.
#include <cstring>

#include "runtime/multibyte.h"
#include "runtime/runtime.h"

using zorv_runtime::char_length;

const char* _Zorvbasename(const char* path) {
    if (path == nullptr) return "";
    // Stepping by characters keeps a trail byte that happens to equal '\' from counting.
    const char* last = path;
    for (const char* p = path; *p;) {
        const size_t n = char_length(p);
        if (n == 1 && (*p == '/' || *p == '\\')) last = p + 1;
        p += n;
    }
    return last;
}

char* _ZorvConcatPath(char* directory, const char* name) {
    if (directory == nullptr) return nullptr;
    const size_t length = std::strlen(directory);
    // A directory that already ends in '/' gets no second one.
    if (length == 0 || directory[length - 1] != '/') std::strcat(directory, "/");
    if (name) std::strcat(directory, name);
    return directory;
}

void SetCurDriveToProductDrive() {
    // POSIX paths have no drive: the default directory resolves as it stands.
}
