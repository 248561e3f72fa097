// Values rendered by a MIB DISPLAY-HINT: octet-string hints ("1x:", "255a",
// "2d-1d-1d,1d:1d:1d.1d,1a1d:1d") and integer hints ("d", "d-2", "x", "o", "b").
//
// Each renderer appends to `out` and returns true, or returns false with `out` unchanged; the
// caller then renders the value as it would without a hint. False means the hint is malformed,
// or (octet strings only) the value holds bytes that the hint cannot show faithfully:
//  - `a`: every byte must be printable ASCII or white space (no NUL, no other control byte, nothing
//    above 0x7F);
//  - `t`: each application's bytes must be whole, valid UTF-8 (no overlong form, surrogate or code
//    point above U+10FFFF) and no control character other than white space (C0, DEL or C1).
// So the text added never holds a NUL and is always valid UTF-8. Separators come from the hint and
// must be printable ASCII.
//
// Octet strings: the specifications apply in order; once they are used up the last one applies
// again until the value is; specifications left when the value ends are ignored. `x` writes two
// lowercase hexadecimal digits per byte; `d` and `o` write the bytes (at most 8, big-endian) as one
// unsigned number; `a` and `t` copy. A separator is dropped when the repeat terminator follows it,
// and a separator or terminator that would end the text is dropped. A repeat count of zero
// writes just the terminator. A hint whose last specification takes no bytes and no repeat count
// (it could never use the value up) is malformed when bytes are left for it.
//
// Integers: "d" plain decimal, "d-N" with N (at most 64) digits after an implied decimal point
// ("d-2": 1234 -> "12.34", 5 -> "0.05"), "x" lowercase hexadecimal, "o" octal, "b" binary; a
// negative value has its minus sign before the digits of its magnitude.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

bool render_octet_hint(std::string& out, std::string_view hint, const uint8_t* data, size_t length);
bool render_integer_hint(std::string& out, std::string_view hint, int64_t value);

// Whether the hint is well formed, for callers that check a hint once (the value aside).
bool octet_hint_valid(std::string_view hint);
bool integer_hint_valid(std::string_view hint);
