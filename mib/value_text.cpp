// Text helpers of the value printers: the text test, hexadecimal bytes, text bytes, the hex
// dump and the uptime form of TimeTicks.
#include <cctype>
#include <cstdio>

#include "mib/text_out.h"
#include "mib/value_format.h"
#include "runtime/runtime.h"

bool byte_is_text(unsigned char byte) {
    return (byte < 0x80 && std::isprint(byte)) || isspace_new(byte);
}

bool bytes_are_text(const uint8_t* data, size_t length, bool lone_nul_is_text) {
    for (size_t i = 0; i < length; ++i) {
        if (byte_is_text(data[i])) continue;
        // A C string's terminator sent along with it still reads as text.
        const bool last = i + 1 == length;
        if (data[i] == 0 && last && (length > 1 || lone_nul_is_text)) continue;
        return false;
    }
    return true;
}

size_t hex_bytes(char* buffer, size_t capacity, const uint8_t* data, size_t length) {
    TextOut out(buffer, capacity);
    static const char digits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < length; ++i) {
        const char unit[3] = {digits[data[i] >> 4], digits[data[i] & 0xF], ' '};
        if (!out.put_whole(unit, sizeof unit)) break;
    }
    return out.length();
}

size_t text_bytes(char* buffer, size_t capacity, const uint8_t* data, size_t length) {
    TextOut out(buffer, capacity);
    for (size_t i = 0; i < length && out.room() > 0; ++i)
        out.put_char(byte_is_text(data[i]) ? static_cast<char>(data[i]) : '.');
    return out.length();
}

namespace {

constexpr size_t kDumpWidth = 16;

// Writes one whole dump line of `n` bytes (1..16, or 0 for the filler line of an empty value)
// starting at `offset`; false when it does not fit.
bool dump_line(TextOut& out, const uint8_t* bytes, size_t n, size_t offset) {
    char line[128];
    TextOut l(line, sizeof line);
    char side[kDumpWidth + 1];
    if (n > 0) l.printf("  %4zu:  ", offset);
    for (size_t col = 0; col < kDumpWidth; ++col) {
        if (col < n) {
            l.printf("%02x ", bytes[col]);
            side[col] =
                bytes[col] >= 0x20 && bytes[col] <= 0x7E ? static_cast<char>(bytes[col]) : '.';
        } else {
            l.put("-- ", 3);
            side[col] = '.';
        }
    }
    side[kDumpWidth] = '\0';
    l.printf("    %s\n", side);
    return out.put_whole(line, l.length());
}

}  // namespace

size_t hex_dump(char* buffer, size_t capacity, const uint8_t* data, size_t length) {
    TextOut out(buffer, capacity);
    if (length == 0) {
        dump_line(out, data, 0, 0);
        return out.length();
    }
    for (size_t offset = 0; offset < length; offset += kDumpWidth) {
        const size_t n = length - offset < kDumpWidth ? length - offset : kDumpWidth;
        if (!dump_line(out, data + offset, n, offset)) break;
    }
    return out.length();
}

size_t ticks_text(char* buffer, size_t capacity, uint32_t ticks) {
    const unsigned days = ticks / 8640000;
    const unsigned rest = ticks % 8640000;
    const unsigned hours = rest / 360000;
    const unsigned minutes = rest % 360000 / 6000;
    const unsigned seconds = rest % 6000 / 100;
    const unsigned hundredths = rest % 100;
    TextOut out(buffer, capacity);
    if (days == 0)
        out.printf("%u:%02u:%02u.%02u", hours, minutes, seconds, hundredths);
    else
        out.printf("%u %s, %u:%02u:%02u.%02u", days, days == 1 ? "day" : "days", hours, minutes,
                   seconds, hundredths);
    return out.length();
}
