// Building blocks shared by rowscan and objpeek: the field record, list splitting, field specs,
// identifier part counting, string-instance encoding, and the allocate-or-exit and
// flush-and-exit helpers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mib/mib_tree.h"

// One entry of a field or object list.
struct FieldSpec {
    char* id;                   // the column or object id text
    char* label;                // given or derived from the id
    uint32_t* identifier;       // rowscan: the field's own column number; objpeek: the object
    int32_t identifier_length;  // rowscan: always 1
    ValuePrinter printer;       // from column_format; kept, not used further
    EnumEntry* enums;           // from column_format; kept, not used further
    int32_t width;              // requested, then final column width
    char format[32];            // printf format of the column; room for any 32-bit width
};

// Flushes standard output, then standard error, then ends the process. When standard output
// could not all be written, says so on standard error and ends with status 1 at least.
[[noreturn]] void flush_and_exit(int status);

// Memory that is kept until the process exits; "ERROR: out of memory\n" and status 1 when there
// is none. Not zero-filled.
void* alloc_or_exit(size_t size);

// A copy of `text` from alloc_or_exit.
char* copy_or_exit(const char* text);

// Splits `text` at every comma and newline into `*items`. The item count, or -1 when there is
// no item or the first or last item is empty.
int split_list(const char* text, char*** items);

// Splits "[label=]id[:width]" in place. Without a label the label is derived from the id: the
// text after the last of the leading "."s that are followed by a letter (ifEntry.ifDescr gives
// ifDescr, ifDescr.3 stays ifDescr.3). An absent or non-numeric width is 0.
void parse_field_spec(char* text, char** id, char** label, int32_t* width);

// As parse_field_spec, for a text whose id is a module's name ("IF-MIB::ifName:20"): the
// width starts at the first ':' that is not part of a "::", and the derived label is derived from
// what follows the "::". False, with nothing changed, when no "::" follows the label.
bool parse_module_field_spec(char* text, char** id, char** label, int32_t* width);

// Dot-separated components of an identifier text: .1.3.6 and 1.3.6 both give 3, "" gives 0.
int count_oid_parts(const char* text);

// An instance made only of digits and dots is returned as it is. Otherwise each byte is written
// as its unsigned decimal value followed by "." (the last dot dropped). When `star_is_prefix`
// is set, a trailing "*" is left out and marks the instance as a prefix (*is_prefix = true).
char* encode_string_instance(const char* text, bool star_is_prefix, bool* is_prefix);
