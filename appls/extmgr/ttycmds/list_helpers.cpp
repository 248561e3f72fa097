#include "appls/extmgr/ttycmds/list_helpers.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "runtime/runtime.h"

void flush_and_exit(int status) {
    // Output that could not be written (a full disk, say) must not end as a success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "ERROR: could not write standard output: %s\n", std::strerror(errno));
        if (status == 0) status = 1;
    }
    std::fflush(stderr);
    std::exit(status);
}

void* alloc_or_exit(size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        std::fprintf(stderr, "ERROR: out of memory\n");
        flush_and_exit(1);
    }
    return block;
}

char* copy_or_exit(const char* text) {
    const size_t length = std::strlen(text);
    char* copy = static_cast<char*>(alloc_or_exit(length + 1));
    std::memcpy(copy, text, length + 1);
    return copy;
}

int split_list(const char* text, char*** items) {
    int count = 0;
    char** vector = nullptr;
    if (text == nullptr || _ZorvstrToArgv(text, &count, &vector, "\n,", 0, 0) != 0) return -1;
    if (count > 0 && vector != nullptr && vector[0][0] != '\0' && vector[count - 1][0] != '\0') {
        *items = vector;
        return count;
    }
    for (int i = 0; vector != nullptr && i < count; ++i) std::free(vector[i]);
    std::free(vector);
    return -1;
}

namespace {

// atoi without its undefined overflow: leading blanks, a sign, digits; clamped to 32 bits.
int32_t parse_width(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > INT_MAX) {
            value = static_cast<long long>(INT_MAX) + 1;
            if (!negative) value = INT_MAX;
            break;
        }
    }
    return static_cast<int32_t>(negative ? -value : value);
}

// Bytes in the character at `s` (at least 1) under the current locale.
size_t char_bytes(const char* s) {
    const int n = std::mblen(s, MB_CUR_MAX);
    return n > 1 ? static_cast<size_t>(n) : 1;
}

bool starts_with_letter(const char* s) {
    if (*s == '\0') return false;
    wchar_t wide = 0;
    const int n = std::mbtowc(&wide, s, MB_CUR_MAX);
    if (n > 1) return std::iswalpha(static_cast<wint_t>(wide)) != 0;
    return std::isalpha(static_cast<unsigned char>(*s)) != 0;
}

// The label of an id given without one.
char* derive_label(char* id) {
    char* start = id;
    char* p = id;
    while (*p != '\0') {
        if (*p == '.') {
            if (!starts_with_letter(p + 1)) break;
            start = p + 1;
            p = start;
            continue;
        }
        p += char_bytes(p);
    }
    std::mblen(nullptr, 0);
    return start;
}

}  // namespace

void parse_field_spec(char* text, char** id, char** label, int32_t* width) {
    char* equals = _Zorvstrchr(text, '=');
    char* label_text = nullptr;
    char* id_text = text;
    if (equals != nullptr) {
        *equals = '\0';
        label_text = text;
        id_text = equals + 1;
    }
    *width = 0;
    if (char* colon = _Zorvstrchr(id_text, ':'); colon != nullptr) {
        *colon = '\0';
        *width = parse_width(colon + 1);
    }
    *id = id_text;
    *label = label_text != nullptr ? label_text : derive_label(id_text);
}

bool parse_module_field_spec(char* text, char** id, char** label, int32_t* width) {
    char* equals = _Zorvstrchr(text, '=');
    char* id_text = equals != nullptr ? equals + 1 : text;
    char* separator = std::strstr(id_text, "::");
    if (separator == nullptr) return false;
    if (equals != nullptr) *equals = '\0';
    *width = 0;
    if (char* colon = _Zorvstrchr(separator + 2, ':'); colon != nullptr) {
        *colon = '\0';
        *width = parse_width(colon + 1);
    }
    *id = id_text;
    *label = equals != nullptr ? text : derive_label(separator + 2);
    return true;
}

int count_oid_parts(const char* text) {
    if (text == nullptr || *text == '\0') return 0;
    int parts = 1;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '.') ++parts;
    }
    if (*text == '.') --parts;
    return parts;
}

char* encode_string_instance(const char* text, bool star_is_prefix, bool* is_prefix) {
    size_t length = std::strlen(text);
    if (std::strspn(text, "0123456789.") == length) return copy_or_exit(text);
    if (star_is_prefix && text[length - 1] == '*') {
        *is_prefix = true;
        --length;
    }
    // "255." is the longest piece a byte can give.
    char* encoded = static_cast<char*>(alloc_or_exit(length * 4 + 1));
    char* out = encoded;
    for (size_t i = 0; i < length; ++i) {
        const unsigned value = static_cast<unsigned char>(text[i]);
        out += std::snprintf(out, 5, "%u.", value);
    }
    if (out != encoded) --out;
    *out = '\0';
    return encoded;
}
