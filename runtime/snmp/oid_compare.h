// Object identifiers compared as agents order them: sub-identifier by sub-identifier, and an
// identifier before every longer one that begins with it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace snmp {

// Below 0 when `a` comes before `b`, 0 when they are equal, above 0 when it comes after.
inline int compare_oids(const uint32_t* a, size_t a_length, const uint32_t* b, size_t b_length) {
    const size_t n = std::min(a_length, b_length);
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return a_length == b_length ? 0 : (a_length < b_length ? -1 : 1);
}

// True when `name` begins with all of `prefix` (it may be equal to it).
inline bool oid_starts_with(const uint32_t* name, size_t name_length, const uint32_t* prefix,
                            size_t prefix_length) {
    return name_length >= prefix_length && std::equal(prefix, prefix + prefix_length, name);
}

}  // namespace snmp
