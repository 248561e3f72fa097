// The type-coercion file: site overrides of object types, applied after every load.
#include "mib/coercion.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mib/mib_tree.h"
#include "mib/oid_names.h"
#include "mib/oid_parse.h"
#include "runtime/runtime.h"

namespace {

constexpr char kDefaultDirectory[] = "/usr/Zorv/conf";
constexpr char kDefaultName[] = "mib.coerce";
constexpr int32_t kMaxIds = 64;
// A line is read in pieces of this many characters (the newline included).
constexpr int kLinePiece = 1023;

bool enabled = false;
char* file_path = nullptr;  // read from the environment once

struct Coercion {
    const char* name;
    int32_t type;
};

constexpr Coercion kCoercions[] = {
    {"INTEGER", MIB_TYPE_INTEGER},
    {"COUNTER", MIB_TYPE_COUNTER},
    {"GAUGE", MIB_TYPE_GAUGE},
};

bool is_space(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Cuts the next white-space separated word out of `*cursor` in place; null when none is left.
char* next_word(char** cursor) {
    char* p = *cursor;
    while (*p && is_space(*p)) ++p;
    if (!*p) return nullptr;
    char* word = p;
    while (*p && !is_space(*p)) ++p;
    if (*p) *p++ = '\0';
    *cursor = p;
    return word;
}

void apply_line(const char* path, const char* line) {
    if (line[0] == '#') return;
    if (line[0] != '.') {
        PrintFMessage(stderr, "Invalid line in %s: %s", path, line);
        return;
    }
    char words[kLinePiece + 1];
    const size_t n = strnlen(line, kLinePiece);
    std::memcpy(words, line, n);
    words[n] = '\0';
    char* cursor = words;
    const char* oid_text = next_word(&cursor);
    const char* type_name = oid_text ? next_word(&cursor) : nullptr;
    if (!type_name) {
        PrintFMessage(stderr, "Invalid line in %s: %s", path, line);
        return;
    }
    uint32_t ids[kMaxIds];
    int32_t count = kMaxIds;
    if (parse_oid_digits(oid_text, ids, &count) != 0) {
        PrintFMessage(stderr, "Invalid objectID in %s: %s", path, line);
        return;
    }
    MibNode* node = find_node_exact(ids, count, Mib);
    if (!node) return;
    for (const Coercion& c : kCoercions) {
        if (std::strcmp(type_name, c.name) == 0) {
            node->type = c.type;
            return;
        }
    }
    PrintFMessage(stderr, "Invalid type: \"%s\" in %s.  Use INTEGER, COUNTER or GAUGE\n", type_name,
                  path);
}

}  // namespace

int set_coercion_enabled(int flag) {
    enabled = flag != 0;
    return flag;
}

int coercion_enabled() {
    return enabled ? 1 : 0;
}

const char* coercion_file_path() {
    if (file_path) return file_path;
    if (const char* value = std::getenv("ZORVMIBCOERCEFILE")) {
        file_path = strdup(value);
    } else {
        const size_t size = sizeof kDefaultDirectory + sizeof kDefaultName;  // both NULs: 2
        file_path = static_cast<char*>(std::malloc(size));
        if (file_path) {
            std::memcpy(file_path, kDefaultDirectory, sizeof kDefaultDirectory);
            _ZorvConcatPath(file_path, kDefaultName);
        }
    }
    // Without memory there is no file to read; an empty path never opens.
    return file_path ? file_path : "";
}

void reset_coercion() {
    enabled = false;
    std::free(file_path);
    file_path = nullptr;
}

void apply_coercion_file() {
    if (!enabled) return;
    const char* path = coercion_file_path();
    FILE* file = std::fopen(path, "r");
    if (!file) return;
    char line[kLinePiece + 1];
    while (std::fgets(line, sizeof line, file)) apply_line(path, line);
    std::fclose(file);
}
