// From sub-identifiers to nodes and names; variables as name and value; column layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mib/mib_tree.h"

// Writes the labels path (no leading dot) of the identifier resolved from `list` into `buffer`
// (never more than `capacity` bytes, NUL included); returns the deepest node matched.
MibNode* oid_to_labels(const uint32_t* ids, int32_t count, MibNode* list, char* buffer,
                       size_t capacity);
MibNode* find_node_deepest(const uint32_t* ids, int32_t count, MibNode* list);
MibNode* find_node_exact(const uint32_t* ids, int32_t count, MibNode* list);
int node_depth(const MibNode* node);

// "." and the labels path from `Mib`.
MibNode* format_oid(char* buffer, size_t capacity, const uint32_t* ids, int32_t count);
void print_oid_line(const uint32_t* ids, int32_t count);
const char* format_oid_numeric(const uint32_t* ids, int32_t count);
const char* format_oid_with_helper_tree(const uint32_t* ids, int32_t count);

void show_named_value(const uint32_t* ids, int32_t count, const MibVariable* variable, int form);
void format_named_value(char* buffer, int32_t capacity, const uint32_t* ids, int32_t count,
                        const MibVariable* variable, const char* prefix, int form);
void format_node_value(char* buffer, int32_t capacity, const uint32_t* ids, int32_t count,
                       const MibVariable* variable, int form);
void show_node_value(const uint32_t* ids, int32_t count, const MibVariable* variable, int form);
void show_var(const MibVariable* variable, int form);
void format_var(char* buffer, int32_t capacity, const MibVariable* variable, int form);
void format_var_value(char* buffer, int32_t capacity, const MibVariable* variable, int form);
void format_var_prefixed(char* buffer, int32_t capacity, const MibVariable* variable, int form,
                         const char* prefix);

// The column layout of the object: `width` in (requested) and out (final); the printer, the
// printf format text ("%-W.Ws" or "%W.Ws", static, overwritten by the next call) and the
// enumerations. Returns the final width.
int32_t column_format(const uint32_t* ids, int32_t count, int32_t* width, ValuePrinter* printer,
                      const char** format, EnumEntry** enums);
int32_t default_column_width(int32_t type, const EnumEntry* enums);
bool column_right_aligned(int32_t type, const EnumEntry* enums);
int32_t longest_enum_label(const EnumEntry* enums);
