// Object identifier texts in the named grammar (labels resolved against the tree) and the
// numeric grammar (dotted decimal).
#include "mib/oid_parse.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "mib/mib_init.h"
#include "mib/mib_tree.h"
#include "runtime/runtime.h"

namespace {

constexpr uint32_t kMib2Prefix[] = {1, 3, 6, 1, 2, 1};
constexpr uint32_t kEnterprisesPrefix[] = {1, 3, 6, 1, 4, 1};
constexpr size_t kPrefixLength = 6;
constexpr size_t kMaxLabel = kMibLabelSize - 1;

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

char fold(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return std::isupper(u) ? static_cast<char>(std::tolower(u)) : c;
}

// Compares the node label with the first `n` characters of `element`, ignoring case, in place.
bool label_matches(const char* label, const char* element, size_t n) {
    if (n > kMaxLabel) return false;
    for (size_t i = 0; i < n; ++i)
        if (label[i] == '\0' || fold(label[i]) != fold(element[i])) return false;
    return n == kMaxLabel || label[n] == '\0';
}

// The children of the node at the end of the prefix, or null when the tree lacks it.
MibNode* children_under(const uint32_t* prefix) {
    MibNode* list = Mib;
    for (size_t i = 0; i < kPrefixLength; ++i) {
        MibNode* n = list;
        while (n && n->subid != prefix[i]) n = n->peer;
        if (!n) return nullptr;
        list = n->child;
    }
    return list;
}

// Identifier storage with the caller's capacity; running out prints the one message.
struct IdSink {
    uint32_t* ids;
    int32_t capacity;
    int32_t count = 0;

    bool store(uint32_t id) {
        if (count >= capacity) {
            PrintFMessage(stderr, "Object identifier too long\n");
            return false;
        }
        ids[count++] = id;
        return true;
    }
};

// Resolves the elements of `text` starting at `list`.
bool resolve_elements(const char* text, MibNode* list, IdSink& sink) {
    for (;;) {
        if (*text == '\0' || *text == '.') return false;
        MibNode* matched = nullptr;
        uint32_t id = 0;
        if (is_digit(*text)) {
            const char* start = text;
            uint64_t value = 0;
            bool too_large = false;
            for (; is_digit(*text); ++text) {
                value = value * 10 + static_cast<uint64_t>(*text - '0');
                if (value > UINT32_MAX) {
                    too_large = true;
                    value = UINT32_MAX;  // keeps reading the run without overflowing
                }
            }
            if (too_large) {
                const std::string digits(start, static_cast<size_t>(text - start));
                PrintFMessage(stderr, "Sub-identifier too large: %s\n", digits.c_str());
                return false;
            }
            id = static_cast<uint32_t>(value);
            for (matched = list; matched && matched->subid != id;) matched = matched->peer;
        } else {
            const char* end = std::strchr(text, '.');
            const size_t n = end ? static_cast<size_t>(end - text) : std::strlen(text);
            for (matched = list; matched && !label_matches(matched->label, text, n);)
                matched = matched->peer;
            if (!matched) return false;
            id = matched->subid;
            text += n;
        }
        if (!sink.store(id)) return false;
        if (*text == '\0') return true;
        if (*text != '.') return false;
        ++text;
        list = matched ? matched->child : nullptr;
    }
}

}  // namespace

bool labels_equal(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (fold(*a) != fold(*b)) return false;
        if (*a == '\0') return true;
    }
}

int oid_text_is_numeric(const char* text) {
    if (!text) return 0;
    return std::strspn(text, "0123456789.") == std::strlen(text) ? 1 : 0;
}

int parse_oid_names(const char* text, uint32_t* ids, int32_t* count) {
    if (!text || !ids || !count) return 0;
    IdSink sink{ids, *count};
    MibNode* list = nullptr;
    if (*text == '.') {
        ++text;
        list = Mib;
    } else {
        const uint32_t* prefix = kMib2Prefix;
        MibNode* enterprises = children_under(kEnterprisesPrefix);
        // A leading number is always a sub-identifier under mib-2, never an enterprise label.
        if (enterprises && !is_digit(*text)) {
            const char* end = std::strchr(text, '.');
            const size_t n = end ? static_cast<size_t>(end - text) : std::strlen(text);
            for (MibNode* e = enterprises; e; e = e->peer) {
                if (label_matches(e->label, text, n)) {
                    prefix = kEnterprisesPrefix;
                    list = enterprises;
                    break;
                }
            }
        }
        if (prefix == kMib2Prefix) list = children_under(kMib2Prefix);
        for (size_t i = 0; i < kPrefixLength; ++i)
            if (!sink.store(prefix[i])) return 0;
    }
    if (!resolve_elements(text, list, sink)) return 0;
    *count = sink.count;
    return 1;
}

int parse_oid_digits(const char* text, uint32_t* ids, int32_t* count) {
    if (!text || !ids || !count) return -1;
    const int32_t capacity = *count;
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (*p == '.') ++p;
    int32_t stored = 0;
    for (;;) {
        // One number as strtoul reads it, with a 32-bit unsigned long: white space, a sign,
        // decimal digits; a minus negates modulo 2^32; above 4294967295 is out of range.
        while (std::isspace(static_cast<unsigned char>(*p))) ++p;
        bool negative = false;
        if (*p == '+' || *p == '-') negative = *p++ == '-';
        if (!is_digit(*p)) return -1;
        uint64_t value = 0;
        for (; is_digit(*p); ++p) {
            value = value * 10 + static_cast<uint64_t>(*p - '0');
            if (value > UINT32_MAX) return -1;
        }
        if (stored >= capacity) return -1;
        uint32_t id = static_cast<uint32_t>(value);
        if (negative) id = 0u - id;
        ids[stored++] = id;
        if (*p == '.') ++p;
        while (std::isspace(static_cast<unsigned char>(*p))) ++p;
        if (*p == '\0') break;
        if (!is_digit(*p)) return -1;
    }
    *count = stored;
    return 0;
}

int parse_oid_text(const char* text, uint32_t* ids, int32_t* count) {
    if (!text || !ids || !count) return -1;
    const int32_t capacity = *count;
    if (refresh_mib() == 0 && parse_oid_names(text, ids, count) == 1) return 0;
    *count = capacity;
    return parse_oid_digits(text, ids, count);
}
