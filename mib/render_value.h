// One typed renderer: a value, what the MIB says of its syntax, and flags choosing plain, named,
// labelled or hinted text. The value printers, index fields and -hints all go through it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mib/mib_tree.h"
#include "mib/text_out.h"

// What the MIB says about a value's syntax. A caller fills it from the object's node (type and
// enumerations) and, where it knows one, the DISPLAY-HINT of the object's textual convention.
struct ValueSyntax {
    int32_t type = MIB_TYPE_OTHER;  // the object's MibType; it chooses the printer (OTHER: the tag)
    const EnumEntry* enums = nullptr;  // labels of an enumerated INTEGER (the node's `enums`)
    std::string_view hint;             // DISPLAY-HINT through the convention chain; empty when none
};

enum RenderFlags : unsigned {
    kRenderPlain = 0,           // the bare form: "5", "up", "C0 00 02 09 "
    kRenderHint = 1u << 0,      // render by the hint where it fits the value (bare form only)
    kRenderNumeric = 1u << 1,   // numbers, not enumeration labels
    kRenderLabelled = 1u << 2,  // the labelled form: "Gauge: 5", "INTEGER: up", a hex dump
};

// Appends the value's text to `out`. The value's tag chooses the form; of the syntax's type only
// MIB_TYPE_DISPLAY_STRING matters (an OCTET STRING then ends at its first NUL and is labelled as a
// display string). A tag the printers do not know reads "Variable has bad type".
// With kRenderHint, an OCTET STRING value takes an octet-string hint and an INTEGER, Gauge or
// unsigned value without a label takes an integer hint; a hint that is malformed, does not fit the
// value's kind, or cannot show its bytes (see display_hint.h) leaves the value to the plain text.
void render_value(std::string& out, const MibValue& value, const ValueSyntax& syntax,
                  unsigned flags);
// The same into a caller's buffer, cut at its capacity as TextOut cuts (a hex dump at a whole
// line, hex bytes at a whole byte).
void render_value(TextOut& out, const MibValue& value, const ValueSyntax& syntax, unsigned flags);

// InetAddressType codes and what an InetAddress of each type holds.
enum InetAddressType : int64_t {
    kInetUnknown = 0,
    kInetIPv4 = 1,
    kInetIPv6 = 2,
    kInetIPv4z = 3,
    kInetIPv6z = 4,
    kInetDns = 16,
};
// The hint of the convention for an address of `type` ("1d.1d.1d.1d" for ipv4); empty for
// unknown(0) and codes without one.
std::string_view inet_address_hint(int64_t type);
// Whether `size` octets are an address of `type` (4 for ipv4, 1 to 255 for dns, ...); any size
// for codes that are not defined.
bool inet_address_size_fits(int64_t type, size_t size);
