// A hint and a list of index components from the input's head, the rest as value bytes and as
// an instance: the hint renderers' text must be NUL-free valid UTF-8, and every index cell must
// stay within the instance.
//
// Input: byte 0 the component count (low 2 bits, plus one) and flags (bits 2-3); two bytes a
// component (kind, then fixed size in bits 0-2 and IMPLIED in bit 3); the hint up to a '\n'; the
// rest. In the instance each byte is a sub-identifier, but 0xFF takes the next four as one.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/small_tree.h"
#include "mib/display_hint.h"
#include "mib/index_decode.h"

namespace {

EnumEntry ipv6{nullptr, 2, const_cast<char*>("ipv6")};
EnumEntry ipv4{&ipv6, 1, const_cast<char*>("ipv4")};

bool valid_utf8_text(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        if (lead == 0) return false;
        size_t n = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : 4;
        if ((lead & 0xF8) == 0xF8 || (lead & 0xC0) == 0x80 || i + n > text.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

std::vector<uint32_t> instance_of(const uint8_t* data, size_t size) {
    std::vector<uint32_t> ids;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && i + 4 < size) {
            uint32_t id;
            std::memcpy(&id, data + i + 1, 4);
            ids.push_back(id);
            i += 4;
        } else {
            ids.push_back(data[i]);
        }
    }
    return ids;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Mib = fuzz_tree::build();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t count = (data[0] & 3u) + 1;
    const unsigned flags = (data[0] >> 2) & 3u;
    size_t at = 1;
    if (size < at + 2 * count) return 0;
    std::vector<IndexComponent> components(count);
    for (IndexComponent& c : components) {
        c.kind = static_cast<IndexKind>(data[at] % 8);
        c.fixed_size = data[at + 1] & 7u;
        c.implied = data[at + 1] & 8u;
        c.syntax.type = data[at] >> 4;
        if (c.kind == IndexKind::kInetAddressType || c.kind == IndexKind::kInteger)
            c.syntax.enums = &ipv4;
        at += 2;
    }
    const auto* rest = data + at;
    const size_t rest_size = size - at;
    const void* newline = std::memchr(rest, '\n', rest_size);
    const size_t hint_size =
        newline ? static_cast<size_t>(static_cast<const uint8_t*>(newline) - rest) : 0;
    const std::string_view hint(reinterpret_cast<const char*>(rest), hint_size);
    const uint8_t* value = rest + hint_size + (newline ? 1 : 0);
    const size_t value_size = rest_size - hint_size - (newline ? 1 : 0);
    for (IndexComponent& c : components) c.syntax.hint = hint;

    // The value bytes in a buffer of exactly their size, so a read past them is caught.
    std::vector<uint8_t> bytes(value, value + value_size);
    std::string text;
    if (render_octet_hint(text, hint, bytes.data(), bytes.size()) && !valid_utf8_text(text))
        std::abort();
    int64_t number = 0;
    if (!bytes.empty()) std::memcpy(&number, bytes.data(), bytes.size() < 8 ? bytes.size() : 8);
    text.clear();
    if (render_integer_hint(text, hint, number) && !valid_utf8_text(text)) std::abort();

    const std::vector<uint32_t> instance = instance_of(value, value_size);
    std::vector<IndexValue> values;
    decode_index(instance.data(), instance.size(), components, values);
    if (values.size() != components.size()) std::abort();
    for (size_t k = 0; k < values.size(); ++k) {
        const IndexValue& v = values[k];
        if (uint64_t{v.first} + v.count > instance.size()) std::abort();
        if (v.decoded && uint64_t{v.data} + v.size > instance.size()) std::abort();
        text.clear();
        render_index_value(text, instance.data(), v, components[k], flags);
    }
    return 0;
}
