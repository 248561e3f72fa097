// Splitting texts into tokens and item vectors at separator characters.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/multibyte.h"
#include "runtime/runtime.h"

using zorv_runtime::char_in_set;
using zorv_runtime::char_length;

char* _Zorvstrtok(char* text, const char* delimiters, int first) {
    // What is left after the last token, or null when no token is left.
    static char* rest = nullptr;
    if (first || text) rest = text;
    if (rest == nullptr) return nullptr;
    char* const token = rest;
    for (char* p = token; *p;) {
        const size_t n = char_length(p);
        if (char_in_set(p, n, delimiters)) {
            *p = '\0';
            rest = p + n;
            // A delimiter ends the token before it; at the very end of the text it starts no
            // new one, so "a\n" is the one line "a" and "a\n\n" is "a" and "".
            if (*rest == '\0') rest = nullptr;
            return token;
        }
        p += n;
    }
    rest = nullptr;
    return token;
}

int _ZorvstrToArgv(const char* text, int* count, char*** vector, const char* separators,
                   int /*reserved1*/, int /*reserved2*/) {
    if (text == nullptr || count == nullptr || vector == nullptr) return -1;
    // Item boundaries first: [begin, end) byte ranges.
    std::vector<std::pair<size_t, size_t>> items;
    if (*text) {
        size_t begin = 0;
        size_t at = 0;
        while (text[at]) {
            const size_t n = char_length(text + at);
            if (char_in_set(text + at, n, separators)) {
                items.emplace_back(begin, at);
                begin = at + n;
            }
            at += n;
        }
        items.emplace_back(begin, at);
    }
    // An argv-style vector ending in a null pointer; caller frees items and vector with free().
    char** out = static_cast<char**>(std::malloc((items.size() + 1) * sizeof(char*)));
    if (out == nullptr) return -1;
    for (size_t i = 0; i < items.size(); ++i) {
        const size_t length = items[i].second - items[i].first;
        out[i] = static_cast<char*>(std::malloc(length + 1));
        if (out[i] == nullptr) {
            for (size_t j = 0; j < i; ++j) std::free(out[j]);
            std::free(out);
            return -1;
        }
        std::memcpy(out[i], text + items[i].first, length);
        out[i][length] = '\0';
    }
    out[items.size()] = nullptr;
    *count = static_cast<int>(items.size());
    *vector = out;
    return 0;
}
