// Object identifier texts in the named grammar (labels resolved against the tree) and the
// numeric grammar (dotted decimal).
#include "mib/oid_parse.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "mib/companion.h"
#include "mib/mib_init.h"
#include "mib/mib_tree.h"
#include "mib/oid_names.h"
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

// "MODULE::rest" where MODULE is a module identifier (a letter, then letters, digits and
// hyphens); the position of "::" or npos. Anything else keeps today's grammars.
size_t module_separator(std::string_view text) {
    const size_t at = text.find("::");
    if (at == std::string_view::npos || at == 0 ||
        !std::isalpha(static_cast<unsigned char>(text[0])))
        return std::string_view::npos;
    for (size_t i = 0; i < at; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '-') return std::string_view::npos;
    }
    return at;
}

bool parse_module_name(const char* text, size_t separator, IdSink& sink) {
    const std::string_view all(text);
    const std::string_view module = all.substr(0, separator);
    const char* rest = text + separator + 2;
    const char* dot = std::strchr(rest, '.');
    const std::string_view label(rest, dot ? static_cast<size_t>(dot - rest) : std::strlen(rest));
    if (label.empty()) return false;
    LazyCompanion& lazy = mib_companion();
    const Companion* companion = lazy.get();
    if (!companion) {
        const std::string why = lazy.failure_message();
        if (!why.empty()) std::fprintf(stderr, "%s\n", why.c_str());
        return false;
    }
    const std::optional<NodeFacts> facts = companion->find_in_module(Mib, module, label);
    if (!facts) return false;
    for (uint32_t id : facts->oid)
        if (!sink.store(id)) return false;
    if (!dot) return true;
    const MibNode* node =
        find_node_exact(facts->oid.data(), static_cast<int32_t>(facts->oid.size()), Mib);
    return resolve_elements(dot + 1, node ? node->child : nullptr, sink);
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
    const size_t separator = module_separator(text);
    if (separator != std::string_view::npos) {
        IdSink sink{ids, capacity};
        if (refresh_mib() != 0 || !parse_module_name(text, separator, sink)) return -1;
        *count = sink.count;
        return 0;
    }
    if (refresh_mib() == 0 && parse_oid_names(text, ids, count) == 1) return 0;
    *count = capacity;
    return parse_oid_digits(text, ids, count);
}
