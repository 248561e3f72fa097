// Character stepping in the current locale's multibyte encoding.
#include "runtime/multibyte.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace zorv_runtime {

size_t char_length(const char* p) {
    if (*p == '\0') return 0;
    if (MB_CUR_MAX == 1) return 1;
    // A valid character never holds a NUL byte, so stepping by it never passes the end.
    const int n = std::mblen(p, MB_CUR_MAX);
    return n > 0 ? static_cast<size_t>(n) : 1;
}

bool char_in_set(const char* p, size_t n, const char* set) {
    if (set == nullptr) return false;
    for (const char* s = set; *s;) {
        const size_t m = char_length(s);
        if (m == n && std::memcmp(s, p, n) == 0) return true;
        s += m;
    }
    return false;
}

}  // namespace zorv_runtime
