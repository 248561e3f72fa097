// Variables written as a short name and their value text.
#include <cstring>

#include "mib/mib_init.h"
#include "mib/oid_names.h"
#include "mib/text_out.h"
#include "mib/value_format.h"
#include "runtime/runtime.h"

namespace {

constexpr size_t kScratchSize = 32768;
constexpr int32_t kLineSize = 32768;

struct FixedPrefix {
    const char* text;
    size_t removed;  // the prefix and, where one follows, the dot after it
};

// Tested in this order; the second also shortens the paths of siblings such as "mibx".
constexpr FixedPrefix kFixedPrefixes[] = {
    {".iso.org.dod.internet.mgmt.mib-2", 33},
    {".iso.org.dod.internet.mgmt.mib", 31},
    {".iso.org.dod.internet.private.enterprises", 42},
};

bool starts_with(const char* text, const char* prefix, size_t n) {
    return std::strncmp(text, prefix, n) == 0;
}

// The path without the caller's prefix or the first fixed prefix it begins with; never past
// the end of the path.
const char* short_name(const char* path, const char* prefix) {
    const size_t length = std::strlen(path);
    size_t skip = 0;
    if (prefix && starts_with(path, prefix, std::strlen(prefix))) {
        skip = std::strlen(prefix) + 1;
    } else {
        for (const FixedPrefix& p : kFixedPrefixes) {
            if (starts_with(path, p.text, std::strlen(p.text))) {
                skip = p.removed;
                break;
            }
        }
    }
    return path + (skip < length ? skip : length);
}

void write_value(TextOut& out, const MibNode* node, const MibVariable* variable, int form) {
    const ValuePrinter printer = node && node->printer ? node->printer : render_by_tag;
    char* tail = out.tail();
    const size_t room = out.tail_capacity();
    if (!tail) return;
    // The value gets what is left after the name, never the caller's whole capacity again.
    const int32_t capacity = room > INT32_MAX ? INT32_MAX : static_cast<int32_t>(room);
    printer(tail, capacity, variable, node ? node->enums : nullptr, form);
    out.advance(strnlen(tail, room));
}

}  // namespace

void format_named_value(char* buffer, int32_t capacity, const uint32_t* ids, int32_t count,
                        const MibVariable* variable, const char* prefix, int form) {
    char path[kScratchSize];  // on the stack: no call sees another's text
    const MibNode* node = format_oid(path, sizeof path, ids, count);
    TextOut out = TextOut::from_signed(buffer, capacity);
    out.printf("%s : ", short_name(path, prefix));
    write_value(out, node, variable, form);
}

void format_node_value(char* buffer, int32_t capacity, const uint32_t* ids, int32_t count,
                       const MibVariable* variable, int form) {
    const MibNode* node = find_node_deepest(ids, count, Mib);
    TextOut out = TextOut::from_signed(buffer, capacity);
    write_value(out, node, variable, form);
}

void show_named_value(const uint32_t* ids, int32_t count, const MibVariable* variable, int form) {
    char line[kLineSize];
    format_named_value(line, kLineSize, ids, count, variable, nullptr, form);
    PrintMessage("%s\n", line);
}

void show_node_value(const uint32_t* ids, int32_t count, const MibVariable* variable, int form) {
    char line[kLineSize];
    format_node_value(line, kLineSize, ids, count, variable, form);
    PrintMessage("%s\n", line);
}

namespace {

const uint32_t* name_ids(const MibVariable* variable) {
    return variable && variable->name ? variable->name->ids : nullptr;
}

int32_t name_count(const MibVariable* variable) {
    return variable && variable->name && variable->name->ids ? variable->name->count : 0;
}

}  // namespace

void show_var(const MibVariable* variable, int form) {
    refresh_mib();
    show_named_value(name_ids(variable), name_count(variable), variable, form);
}

void format_var(char* buffer, int32_t capacity, const MibVariable* variable, int form) {
    refresh_mib();
    format_named_value(buffer, capacity, name_ids(variable), name_count(variable), variable,
                       nullptr, form);
}

void format_var_value(char* buffer, int32_t capacity, const MibVariable* variable, int form) {
    refresh_mib();
    format_node_value(buffer, capacity, name_ids(variable), name_count(variable), variable, form);
}

void format_var_prefixed(char* buffer, int32_t capacity, const MibVariable* variable, int form,
                         const char* prefix) {
    refresh_mib();
    format_named_value(buffer, capacity, name_ids(variable), name_count(variable), variable, prefix,
                       form);
}
