// Value printers by type, the generic printer by encoding tag, and their text helpers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mib/mib_tree.h"

// The generic printer: chooses by the value's tag.
int render_by_tag(char* buffer, int32_t capacity, const MibVariable* variable,
                  const EnumEntry* enums, int32_t form);

// The printer that a node of `type` carries (null for types without one).
ValuePrinter printer_for_type(int32_t type);

// The encoding tag of values of a node of `type`; 0 when none.
int32_t asn_tag_for_type(int32_t type);
