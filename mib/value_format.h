// Value printers by type, the generic printer by encoding tag, and their text helpers.
//
// Every printer is a ValuePrinter: it writes into `buffer` at most `capacity` bytes, the NUL
// included, and cuts its text there (a hex dump at a whole line); a capacity of 0 or below
// writes nothing. A printer handed a value whose tag it does not handle passes the call on to
// render_by_tag, so the value's own tag decides.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mib/mib_tree.h"

// The generic printer: chooses by the value's tag; "Variable has bad type" for unknown tags.
int render_by_tag(char* buffer, int32_t capacity, const MibVariable* variable,
                  const EnumEntry* enums, int32_t form);

// The specific printers.
int print_octet_string(char* buffer, int32_t capacity, const MibVariable* variable,
                       const EnumEntry* enums, int32_t form);
int print_octet_string2(char* buffer, int32_t capacity, const MibVariable* variable,
                        const EnumEntry* enums, int32_t form);  // forwards to the above
int print_display_string(char* buffer, int32_t capacity, const MibVariable* variable,
                         const EnumEntry* enums, int32_t form);
int print_opaque(char* buffer, int32_t capacity, const MibVariable* variable,
                 const EnumEntry* enums, int32_t form);
int print_nsap_address(char* buffer, int32_t capacity, const MibVariable* variable,
                       const EnumEntry* enums, int32_t form);
int print_object_id(char* buffer, int32_t capacity, const MibVariable* variable,
                    const EnumEntry* enums, int32_t form);
int print_time_ticks(char* buffer, int32_t capacity, const MibVariable* variable,
                     const EnumEntry* enums, int32_t form);
int print_integer(char* buffer, int32_t capacity, const MibVariable* variable,
                  const EnumEntry* enums, int32_t form);
int print_unsigned_integer(char* buffer, int32_t capacity, const MibVariable* variable,
                           const EnumEntry* enums, int32_t form);
int print_gauge(char* buffer, int32_t capacity, const MibVariable* variable, const EnumEntry* enums,
                int32_t form);
int print_counter(char* buffer, int32_t capacity, const MibVariable* variable,
                  const EnumEntry* enums, int32_t form);
int print_ip_address(char* buffer, int32_t capacity, const MibVariable* variable,
                     const EnumEntry* enums, int32_t form);
int print_network_address(char* buffer, int32_t capacity, const MibVariable* variable,
                          const EnumEntry* enums, int32_t form);  // forwards to the above
int print_null(char* buffer, int32_t capacity, const MibVariable* variable, const EnumEntry* enums,
               int32_t form);

// The printer that a node of `type` carries (null for types without one).
ValuePrinter printer_for_type(int32_t type);

// The encoding tag of values of a node of `type`; 0 when none.
int32_t asn_tag_for_type(int32_t type);

// Text helpers. Each writes at most `capacity` bytes, the NUL included, and returns the number
// of characters written (the NUL not counted).

// One byte of an octet string counts as text: printable below 0x80, or white space.
bool byte_is_text(unsigned char byte);
// The whole value counts as text. A NUL as the last byte is allowed when the value is longer
// than one byte, or always when `lone_nul_is_text`. An empty value is text.
bool bytes_are_text(const uint8_t* data, size_t length, bool lone_nul_is_text);

// "%02X " for each byte; cut at a whole byte.
size_t hex_bytes(char* buffer, size_t capacity, const uint8_t* data, size_t length);
// Each text byte as it is, "." for every other; cut at a byte.
size_t text_bytes(char* buffer, size_t capacity, const uint8_t* data, size_t length);
// 16 bytes a line with offsets and a side column; cut at a whole line.
size_t hex_dump(char* buffer, size_t capacity, const uint8_t* data, size_t length);

// Room that ticks_text needs for its longest result.
constexpr size_t kTicksTextSize = 32;
// Hundredths of a second as "H:MM:SS.hh", "1 day, H:MM:SS.hh" or "N days, H:MM:SS.hh".
size_t ticks_text(char* buffer, size_t capacity, uint32_t ticks);
