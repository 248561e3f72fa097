// Positional formatting of arbitrary format texts with a few inserts of every kind; nl_sprintf
// must stay inside its buffer whatever the format asks for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/runtime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::string format(reinterpret_cast<const char*>(data), size);  // stops at a NUL
    const char* text = format.c_str();

    std::string out;
    const NlArg args[] = {"text", -42, 4000000000u, -1LL, 2.5, static_cast<short>(-7), 'c'};
    nl_format(out, text, args);
    nl_format(out, text, std::span<const NlArg>());

    // A small buffer with guard bytes after it.
    char buffer[24];
    const size_t room = size % 16;
    std::memset(buffer, 0x5a, sizeof buffer);
    const int n = nl_sprintf(buffer, room, text, "a", 1, 2u, 3.0);
    if (room > 0 && (n < 0 || static_cast<size_t>(n) >= room || buffer[n] != '\0')) std::abort();
    for (size_t i = room; i < sizeof buffer; ++i)
        if (buffer[i] != 0x5a) std::abort();
    return 0;
}
