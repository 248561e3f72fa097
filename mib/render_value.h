// One typed renderer: a value, what the MIB says of its syntax, and flags choosing plain, named or
// hinted text. Index fields and -hints go through it; without kRenderHint its text is the bare
// form of the value printers, byte for byte what an ordinary column of that type shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mib/mib_tree.h"

// What the MIB says about a value's syntax. A caller fills it from the object's node (type and
// enumerations) and, where it knows one, the DISPLAY-HINT of the object's textual convention.
struct ValueSyntax {
    int32_t type = MIB_TYPE_OTHER;  // the object's MibType; it chooses the printer (OTHER: the tag)
    const EnumEntry* enums = nullptr;  // labels of an enumerated INTEGER (the node's `enums`)
    std::string_view hint;             // DISPLAY-HINT through the convention chain; empty when none
};

enum RenderFlags : unsigned {
    kRenderPlain = 0,
    kRenderHint = 1u << 0,     // render by the hint where it fits the value
    kRenderNumeric = 1u << 1,  // numbers, not enumeration labels
};

// Appends the value's text to `out`. With kRenderHint, an OCTET STRING value takes an octet-string
// hint and an INTEGER, Gauge or unsigned value without a label takes an integer hint; a hint that
// is malformed, does not fit the value's kind, or cannot show its bytes (see display_hint.h) leaves
// the value to its printer, as without the flag.
void render_value(std::string& out, const MibValue& value, const ValueSyntax& syntax,
                  unsigned flags);

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
