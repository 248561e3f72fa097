// Every printer with a random tag, length, bytes and small capacity, with and without named
// values. The output buffer is exactly the capacity, so any write past it is caught.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/small_tree.h"
#include "mib/value_format.h"

namespace {

const ValuePrinter kPrinters[] = {
    render_by_tag,    print_octet_string,     print_octet_string2, print_display_string,
    print_opaque,     print_nsap_address,     print_object_id,     print_time_ticks,
    print_integer,    print_unsigned_integer, print_gauge,         print_counter,
    print_ip_address, print_network_address,  print_null,
};
const int32_t kTags[] = {0x02, 0x04, 0x05, 0x06, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47};

EnumEntry second{nullptr, 2, const_cast<char*>("down")};
EnumEntry first{&second, 1, const_cast<char*>("up")};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Mib = fuzz_tree::build();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    const ValuePrinter printer = kPrinters[data[0] % (sizeof kPrinters / sizeof kPrinters[0])];
    const int32_t tag = data[1] < 0xF0 ? kTags[data[1] % 12] : data[1];
    // Mostly small capacities, sometimes up to a few thousand bytes.
    const int32_t capacity = data[2] < 0xF8 ? data[2] % 100 : (data[2] - 0xF7) * 700;
    const int32_t form = data[3] & 1;
    const EnumEntry* enums = data[3] & 2 ? &first : nullptr;
    const uint8_t* bytes = data + 4;
    const size_t length = size - 4;

    std::vector<uint8_t> payload(bytes, bytes + length);  // exactly the value, nothing after
    std::vector<uint32_t> ids(length / 4);
    if (!ids.empty()) std::memcpy(ids.data(), bytes, ids.size() * 4);

    MibValue value{};
    value.tag = tag;
    if (tag == 0x06) {
        value.data.string.length = static_cast<int32_t>(ids.size());
        value.data.string.ids = ids.data();
    } else if (tag == 0x04 || tag == 0x40 || tag == 0x44 || tag == 0x45) {
        value.data.string.length = static_cast<int32_t>(payload.size());
        value.data.string.bytes = payload.data();
    } else {
        std::memcpy(&value.data.counter64, bytes, length < 8 ? length : 8);
    }
    const MibVariable variable{nullptr, &value};
    char* buffer = capacity > 0 ? static_cast<char*>(std::malloc(capacity)) : nullptr;
    printer(buffer, capacity, &variable, enums, form);
    if (capacity > 0 && std::memchr(buffer, 0, static_cast<size_t>(capacity)) == nullptr)
        std::abort();
    std::free(buffer);
    return 0;
}
