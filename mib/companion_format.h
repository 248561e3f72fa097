// What the companion's writer and reader share: the header's fields. Internal to the mib module
// (companion_write.cpp, companion_read.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace companion_format {

constexpr std::string_view kMagic{"ZorvFcts", 8};
constexpr size_t kVersionAt = 8;
constexpr size_t kDatabaseSizeAt = 12;
constexpr size_t kDatabaseDigestAt = 20;
constexpr size_t kBodyDigestAt = 28;
constexpr size_t kBodyAt = 36;
constexpr char kPadding = '-';

constexpr size_t padding_for(size_t length) {
    return (4 - length % 4) % 4;
}

inline uint32_t load32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

inline uint64_t load64(const unsigned char* p) {
    return static_cast<uint64_t>(load32(p)) << 32 | load32(p + 4);
}

}  // namespace companion_format
