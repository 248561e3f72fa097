// Column layout by object type: printer, enumerations, width and printf format.
#include <cstdio>
#include <cstring>

#include "mib/oid_names.h"
#include "mib/value_format.h"

int32_t longest_enum_label(const EnumEntry* enums) {
    size_t longest = 0;
    for (const EnumEntry* e = enums; e; e = e->next) {
        const size_t n = e->label ? std::strlen(e->label) : 0;
        if (n > longest) longest = n;
    }
    return longest > INT32_MAX ? INT32_MAX : static_cast<int32_t>(longest);
}

int32_t default_column_width(int32_t type, const EnumEntry* enums) {
    switch (type) {
        case MIB_TYPE_OCTET_STRING:
        case MIB_TYPE_NET_ADDRESS:
        case MIB_TYPE_OPAQUE:
            return 48;
        case MIB_TYPE_INTEGER:
            return enums ? longest_enum_label(enums) : 11;
        case MIB_TYPE_IP_ADDRESS:
            return 15;
        case MIB_TYPE_COUNTER:
        case MIB_TYPE_GAUGE:
            return 10;
        case MIB_TYPE_TIME_TICKS:
            return 34;
        case MIB_TYPE_NULL:
            return 4;
        case MIB_TYPE_OCTET_STRING2:
            return 18;
        default:
            return 40;
    }
}

bool column_right_aligned(int32_t type, const EnumEntry* enums) {
    if (enums) return false;
    return type == MIB_TYPE_INTEGER || type == MIB_TYPE_COUNTER || type == MIB_TYPE_GAUGE;
}

int32_t column_format(const uint32_t* ids, int32_t count, int32_t* width, ValuePrinter* printer,
                      const char** format, EnumEntry** enums) {
    // Holds "%-2147483647.2147483647s", the longest format there is.
    static char text[32];
    const MibNode* node = find_node_deepest(ids, count, Mib);
    const int32_t type = node ? node->type : MIB_TYPE_OTHER;
    EnumEntry* list = node ? node->enums : nullptr;

    int32_t final_width = *width;
    if (final_width <= 0) {
        // The magnitude of the most negative width does not fit; it stops at the largest.
        const int64_t magnitude = -static_cast<int64_t>(final_width);
        const int64_t wanted = magnitude > INT32_MAX ? INT32_MAX : magnitude;
        const int32_t fallback = default_column_width(type, list);
        final_width = static_cast<int32_t>(wanted > fallback ? wanted : fallback);
    }
    std::snprintf(text, sizeof text, "%%%s%d.%ds", column_right_aligned(type, list) ? "" : "-",
                  final_width, final_width);

    *width = final_width;
    *printer = node && node->printer ? node->printer : render_by_tag;
    *format = text;
    *enums = list;
    return final_width;
}
