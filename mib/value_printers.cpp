// Placeholder until the value printers land.
#include <cstdio>

#include "mib/value_format.h"

int render_by_tag(char* buffer, int32_t capacity, const MibVariable*, const EnumEntry*, int32_t) {
    if (capacity > 0) std::snprintf(buffer, static_cast<size_t>(capacity), "Variable has bad type");
    return 0;
}

ValuePrinter printer_for_type(int32_t) { return nullptr; }

int32_t asn_tag_for_type(int32_t) { return 0; }
