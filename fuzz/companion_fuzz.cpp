// Feeds arbitrary bytes to the companion's reader. The body's digest would refuse nearly every
// input before the checks behind it, so an input whose first byte is even is first resealed for
// the binding the reader expects. Whatever loads must write back to exactly the bytes it came
// from, and a lookup of each node must find it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mib/companion.h"

namespace {

constexpr CompanionBinding kExpected{1234, 0x0123456789ABCDEFu};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (size >= kCompanionHeaderSize && data[0] % 2 == 0) seal_companion(bytes, kExpected);
    Companion companion;
    const CompanionStatus status = decode_companion(bytes, kExpected, companion);
    if (status != CompanionStatus::kOk) {
        if (companion.size() != 0) std::abort();
        return 0;
    }
    const std::vector<NodeFacts> facts = companion.all();
    std::string again;
    std::string why;
    if (!encode_companion(facts, companion.binding(), again, why) || again != bytes) std::abort();
    for (const NodeFacts& node : facts) {
        if (companion.find(node.oid) != node) std::abort();
    }
    return 0;
}
