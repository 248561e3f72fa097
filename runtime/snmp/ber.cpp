#include "runtime/snmp/ber.h"

#include <algorithm>
#include <cstring>

namespace snmp {

namespace {

// A first tag byte whose number bits are all set starts a multi-byte tag.
constexpr uint8_t kTagNumberBits = 0x1F;
// A first length byte with this bit holds the count of the length bytes that follow.
constexpr uint8_t kLongLength = 0x80;
constexpr uint8_t kLengthCountBits = 0x7F;
// Larger lengths would describe more than any datagram holds.
constexpr size_t kMaxLengthBytes = 4;
// Sub-identifiers go in groups of seven bits, every group but the last with this bit set.
constexpr uint8_t kMoreGroups = 0x80;
constexpr uint8_t kGroupBits = 0x7F;
// The first two arcs share one sub-identifier: first * 40 + second, the first being 0, 1 or 2.
constexpr uint64_t kFirstArcFactor = 40;
constexpr uint64_t kMaxFirstArc = 2;

}  // namespace

bool BerReader::read_item(uint8_t& tag, BerReader& contents) {
    const uint8_t* p = pos_;
    if (end_ - p < 2) return false;
    const uint8_t t = *p++;
    // Multi-byte tags never occur in SNMP.
    if ((t & kTagNumberBits) == kTagNumberBits) return false;
    size_t length = *p++;
    if (length & kLongLength) {
        const size_t count = length & kLengthCountBits;
        // A count of 0 is the indefinite form.
        if (count == 0 || count > kMaxLengthBytes) return false;
        if (static_cast<size_t>(end_ - p) < count) return false;
        length = 0;
        for (size_t i = 0; i < count; ++i) length = (length << 8) | *p++;
    }
    if (length > static_cast<size_t>(end_ - p)) return false;
    tag = t;
    contents = BerReader(p, length);
    pos_ = p + length;
    return true;
}

bool BerReader::expect(uint8_t tag, BerReader& contents) {
    BerReader saved = *this;
    uint8_t t = 0;
    if (!read_item(t, contents)) return false;
    if (t != tag) {
        *this = saved;
        return false;
    }
    return true;
}

bool BerReader::read_int32(uint8_t tag, int32_t& value) {
    BerReader saved = *this;
    BerReader c(nullptr, 0);
    if (!expect(tag, c) || !decode_signed(c.pos_, c.left(), value)) {
        *this = saved;
        return false;
    }
    return true;
}

bool BerReader::read_uint32(uint8_t tag, uint32_t& value) {
    uint64_t v = 0;
    BerReader saved = *this;
    BerReader c(nullptr, 0);
    if (!expect(tag, c) || !decode_unsigned(c.pos_, c.left(), 32, v)) {
        *this = saved;
        return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

bool BerReader::read_uint64(uint8_t tag, uint64_t& value) {
    BerReader saved = *this;
    BerReader c(nullptr, 0);
    if (!expect(tag, c) || !decode_unsigned(c.pos_, c.left(), 64, value)) {
        *this = saved;
        return false;
    }
    return true;
}

bool decode_signed(const uint8_t* data, size_t size, int32_t& value) {
    if (size == 0) return false;
    // Redundant leading sign bytes are tolerated; the value itself must fit 32 bits.
    size_t i = 0;
    while (size - i > 4) {
        const bool redundant = (data[i] == 0x00 && (data[i + 1] & 0x80) == 0) ||
                               (data[i] == 0xFF && (data[i + 1] & 0x80) != 0);
        if (!redundant) return false;
        ++i;
    }
    uint32_t v = (data[i] & 0x80) ? 0xFFFFFFFFu : 0u;
    for (; i < size; ++i) v = (v << 8) | data[i];
    value = static_cast<int32_t>(v);
    return true;
}

bool decode_unsigned(const uint8_t* data, size_t size, int bits, uint64_t& value) {
    if (size == 0) return false;
    // A first byte with its top bit set would make the number negative, which these types
    // cannot be: agents that leave out the leading zero byte mean the bytes as they stand, so
    // they are read so when they fit the type.
    size_t i = 0;
    while (i + 1 < size && data[i] == 0x00) ++i;
    if ((size - i) * 8 > static_cast<size_t>(bits)) return false;
    uint64_t v = 0;
    for (; i < size; ++i) v = (v << 8) | data[i];
    value = v;
    return true;
}

bool decode_oid(const uint8_t* data, size_t size, std::vector<uint32_t>& out) {
    if (size == 0) return false;
    const size_t first = out.size();
    size_t i = 0;
    bool leading = true;
    while (i < size) {
        // A sub-identifier may not begin with a redundant zero group.
        if (data[i] == kMoreGroups) {
            out.resize(first);
            return false;
        }
        uint64_t v = 0;
        for (;;) {
            if (i >= size) {
                out.resize(first);
                return false;
            }
            const uint8_t b = data[i++];
            v = (v << 7) | (b & kGroupBits);
            // The first sub-identifier also carries the first arc.
            if (v > 0xFFFFFFFFull + (leading ? kMaxFirstArc * kFirstArcFactor : 0)) {
                out.resize(first);
                return false;
            }
            if ((b & kMoreGroups) == 0) break;
        }
        if (leading) {
            leading = false;
            const uint64_t first = std::min(v / kFirstArcFactor, kMaxFirstArc);
            out.push_back(static_cast<uint32_t>(first));
            out.push_back(static_cast<uint32_t>(v - first * kFirstArcFactor));
        } else {
            out.push_back(static_cast<uint32_t>(v));
        }
    }
    return true;
}

BerWriter::BerWriter(size_t reserve) : buffer_(reserve), start_(reserve) {}

void BerWriter::grow(size_t needed) {
    if (start_ >= needed) return;
    const size_t used = size();
    size_t capacity = buffer_.size() * 2;
    while (capacity - used < needed + 16) capacity *= 2;
    std::vector<uint8_t> bigger(capacity);
    std::memcpy(bigger.data() + capacity - used, data(), used);
    buffer_.swap(bigger);
    start_ = capacity - used;
}

void BerWriter::put_byte(uint8_t byte) {
    grow(1);
    buffer_[--start_] = byte;
}

void BerWriter::put_raw(const uint8_t* data, size_t size) {
    grow(size);
    start_ -= size;
    if (size) std::memcpy(buffer_.data() + start_, data, size);
}

void BerWriter::put_header(uint8_t tag, size_t length) {
    if (length < kLongLength) {
        put_byte(static_cast<uint8_t>(length));
    } else {
        uint8_t count = 0;
        for (size_t l = length; l; l >>= 8) {
            put_byte(static_cast<uint8_t>(l & 0xFF));
            ++count;
        }
        put_byte(static_cast<uint8_t>(kLongLength | count));
    }
    put_byte(tag);
}

void BerWriter::close(uint8_t tag, size_t mark) {
    put_header(tag, size() - mark);
}

void BerWriter::put_bytes(uint8_t tag, const uint8_t* data, size_t size) {
    put_raw(data, size);
    put_header(tag, size);
}

void BerWriter::put_signed(uint8_t tag, int64_t value) {
    uint8_t bytes[9];
    size_t n = 0;
    // Least significant byte first, until the rest is pure sign extension.
    for (;;) {
        bytes[n++] = static_cast<uint8_t>(value & 0xFF);
        const int64_t rest = value >> 8;
        const bool sign = (bytes[n - 1] & 0x80) != 0;
        if ((rest == 0 && !sign) || (rest == -1 && sign)) break;
        value = rest;
    }
    for (size_t i = 0; i < n; ++i) put_byte(bytes[i]);
    put_header(tag, n);
}

void BerWriter::put_unsigned(uint8_t tag, uint64_t value) {
    size_t n = 0;
    do {
        put_byte(static_cast<uint8_t>(value & 0xFF));
        ++n;
        value >>= 8;
    } while (value);
    if (buffer_[start_] & 0x80) {
        put_byte(0);
        ++n;
    }
    put_header(tag, n);
}

void BerWriter::put_oid(const uint32_t* ids, size_t count) {
    const size_t mark = size();
    auto put_subid = [this](uint64_t v) {
        put_byte(static_cast<uint8_t>(v & kGroupBits));
        for (v >>= 7; v; v >>= 7) put_byte(static_cast<uint8_t>(kMoreGroups | (v & kGroupBits)));
    };
    for (size_t i = count; i-- > 2;) put_subid(ids[i]);
    if (count >= 2) {
        put_subid(ids[0] * kFirstArcFactor + ids[1]);
    } else if (count == 1) {
        put_subid(ids[0] * kFirstArcFactor);
    }
    close(ASN_OBJECT_ID, mark);
}

}  // namespace snmp
