// SNMP values as the library formats them, and the value-printer function type. The tags and
// the value union are the transport's.
#pragma once

#include <cstdint>

#include "runtime/snmp/protocol.h"

struct EnumEntry;

// An object identifier held by its owner: a count and the owner's sub-identifiers.
struct ObjectId {
    int32_t count;
    uint32_t* ids;
};

struct MibValue {
    int32_t tag;
    MibValueData data;
};

struct MibVariable {
    ObjectId* name;
    MibValue* value;
};

// Writes a NUL-terminated text of at most `capacity` bytes (NUL included) for the variable's
// value into `buffer`; form 0 labelled ("Gauge: 5"), 1 bare ("5"). The result carries no meaning.
using ValuePrinter = int (*)(char* buffer, int32_t capacity, const MibVariable* variable,
                             const EnumEntry* enums, int32_t form);
