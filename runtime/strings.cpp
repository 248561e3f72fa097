// The standard string and character functions, stepping over whole multibyte characters so that
// a trail byte is never taken for a character of its own.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "runtime/multibyte.h"
#include "runtime/runtime.h"

using zorv_runtime::char_in_set;
using zorv_runtime::char_length;

char* strchr_new(const char* s, int c) {
    if (s == nullptr) return nullptr;
    // Above 255, c is a two-byte character: lead byte high, trail byte low.
    char wanted[3] = {};
    size_t wanted_length = 1;
    if (c > 0xFF) {
        wanted[0] = static_cast<char>((c >> 8) & 0xFF);
        wanted[1] = static_cast<char>(c & 0xFF);
        wanted_length = 2;
    } else {
        wanted[0] = static_cast<char>(c & 0xFF);
        if (wanted[0] == '\0') return const_cast<char*>(s + std::strlen(s));
    }
    for (const char* p = s; *p;) {
        const size_t n = char_length(p);
        if (n == wanted_length && std::memcmp(p, wanted, n) == 0) return const_cast<char*>(p);
        p += n;
    }
    return nullptr;
}

size_t strspn_new(const char* s, const char* accept) {
    if (s == nullptr) return 0;
    const char* p = s;
    while (*p) {
        const size_t n = char_length(p);
        if (!char_in_set(p, n, accept)) break;
        p += n;
    }
    return static_cast<size_t>(p - s);
}

size_t strlen_new(const char* s) {
    if (s == nullptr) return 0;
    size_t count = 0;
    for (const char* p = s; *p; p += char_length(p)) ++count;
    return count;
}

char* strcpy_new(char* dest, const char* src) {
    return std::strcpy(dest, src ? src : "");
}

char* strcat_new(char* dest, const char* src) {
    return std::strcat(dest, src ? src : "");
}

char* strncpy_new(char* dest, const char* src, size_t n) {
    if (src == nullptr) src = "";
    size_t used = 0;
    for (const char* p = src; *p;) {
        const size_t m = char_length(p);
        if (used + m > n) break;  // never copy half a character
        std::memcpy(dest + used, p, m);
        used += m;
        p += m;
    }
    std::memset(dest + used, 0, n - used);
    return dest;
}

int strcmp_new(const char* a, const char* b) {
    return std::strcmp(a ? a : "", b ? b : "");
}

namespace {
// The classification functions take an unsigned char value or EOF; a plain char may be negative.
int as_byte(int c) {
    if (c == EOF || c < -128 || c > 0xFF) return -1;
    return c & 0xFF;
}
}  // namespace

int isdigit_new(int c) {
    const int b = as_byte(c);
    return b >= 0 && std::isdigit(b) ? 1 : 0;
}

int isspace_new(int c) {
    const int b = as_byte(c);
    return b >= 0 && std::isspace(b) ? 1 : 0;
}

char* _Zorvstrchr(const char* s, int c) {
    return strchr_new(s, c);
}

size_t _Zorvstrspn(const char* s, const char* accept) {
    return strspn_new(s, accept);
}
