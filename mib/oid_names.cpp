// From sub-identifiers to nodes and to dotted label paths.
#include "mib/oid_names.h"

#include <cstring>

#include "mib/mib_init.h"
#include "mib/text_out.h"
#include "runtime/runtime.h"

namespace {

constexpr size_t kStaticTextSize = 32768;
constexpr size_t kOidLineSize = 256;

MibNode* find_in_list(MibNode* list, uint32_t subid) {
    while (list && list->subid != subid) list = list->peer;
    return list;
}

// Labels for as long as the tree knows the sub-identifiers, numbers from the first unknown one.
MibNode* write_labels(const uint32_t* ids, int32_t count, MibNode* list, TextOut& out) {
    MibNode* deepest = nullptr;
    int32_t i = 0;
    for (; i < count; ++i) {
        MibNode* n = find_in_list(list, ids[i]);
        if (!n) break;
        if (i > 0) out.put_char('.');
        out.put(n->label, strnlen(n->label, sizeof n->label));
        deepest = n;
        list = n->child;
    }
    for (; i < count; ++i) out.printf(i > 0 ? ".%u" : "%u", ids[i]);
    return deepest;
}

}  // namespace

MibNode* oid_to_labels(const uint32_t* ids, int32_t count, MibNode* list, char* buffer,
                       size_t capacity) {
    TextOut out(buffer, capacity);
    return write_labels(ids, count, list, out);
}

MibNode* find_node_deepest(const uint32_t* ids, int32_t count, MibNode* list) {
    MibNode* deepest = nullptr;
    for (int32_t i = 0; i < count; ++i) {
        MibNode* n = find_in_list(list, ids[i]);
        if (!n) break;
        deepest = n;
        list = n->child;
    }
    return deepest;
}

MibNode* find_node_exact(const uint32_t* ids, int32_t count, MibNode* list) {
    if (count <= 0) return nullptr;
    for (int32_t i = 0;; ++i) {
        MibNode* n = find_in_list(list, ids[i]);
        if (!n || i == count - 1) return n;
        list = n->child;
    }
}

int node_depth(const MibNode* node) {
    int depth = 0;
    for (; node; node = node->parent) ++depth;
    return depth;
}

MibNode* format_oid(char* buffer, size_t capacity, const uint32_t* ids, int32_t count) {
    TextOut out(buffer, capacity);
    out.put_char('.');
    return write_labels(ids, count, Mib, out);
}

void print_oid_line(const uint32_t* ids, int32_t count) {
    char line[kOidLineSize];
    format_oid(line, sizeof line, ids, count);
    PrintMessage("%s\n", line);
}

const char* format_oid_numeric(const uint32_t* ids, int32_t count) {
    static char text[kStaticTextSize];
    refresh_mib();
    TextOut out(text, sizeof text);
    for (int32_t i = 0; i < count; ++i) out.printf(".%u", ids[i]);
    return text;
}

// The helper library exports its tree root under the same name as ours and shares it.
const char* format_oid_with_helper_tree(const uint32_t* ids, int32_t count) {
    static char text[kStaticTextSize];
    refresh_mib();
    format_oid(text, sizeof text, ids, count);
    return text;
}
