// Identifier texts in both grammars over a small tree, with random capacities; every result
// is also written back as a label path into a buffer of random size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/small_tree.h"
#include "mib/oid_names.h"
#include "mib/oid_parse.h"

namespace {

constexpr uint32_t kGuard = 0xA5A5A5A5u;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // No database: parse_oid_text falls back on the numeric grammar, as without a MIB file.
    setenv("MIBDBV2", "/nonexistent/zorv-fuzz", 1);
    // The library's diagnostics, one per input, would only fill the log; libFuzzer keeps its own
    // stream and the sanitizers write to the descriptor, so their reports still show.
    if (FILE* null = std::fopen("/dev/null", "w")) stderr = null;
    Mib = fuzz_tree::build();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const int32_t capacity = data[0] % 80;
    const uint8_t which = data[1] % 3;
    const size_t text_room = data[2];
    const std::string text(reinterpret_cast<const char*>(data + 3), size - 3);

    std::vector<uint32_t> ids(static_cast<size_t>(capacity) + 4, kGuard);
    int32_t count = capacity;
    int ok = 0;
    switch (which) {
        case 0:
            ok = parse_oid_names(text.c_str(), ids.data(), &count) == 1;
            break;
        case 1:
            ok = parse_oid_digits(text.c_str(), ids.data(), &count) == 0;
            break;
        default:
            ok = parse_oid_text(text.c_str(), ids.data(), &count) == 0;
            break;
    }
    for (size_t i = static_cast<size_t>(capacity); i < ids.size(); ++i)
        if (ids[i] != kGuard) std::abort();
    oid_text_is_numeric(text.c_str());
    if (!ok) return 0;
    if (count < 0 || count > capacity) std::abort();

    std::vector<char> buffer(text_room ? text_room : 1);
    format_oid(buffer.data(), text_room, ids.data(), count);
    if (text_room && std::memchr(buffer.data(), 0, text_room) == nullptr) std::abort();
    find_node_exact(ids.data(), count, Mib);
    int32_t width = static_cast<int8_t>(data[2]);
    ValuePrinter printer;
    const char* format;
    EnumEntry* enums;
    column_format(ids.data(), count, &width, &printer, &format, &enums);
    return 0;
}
