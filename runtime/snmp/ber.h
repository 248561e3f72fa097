// Basic Encoding Rules as SNMP uses them: definite lengths only, every value tag of an SNMP
// binding, and the SNMPv2 exception markers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/snmp/protocol.h"

namespace snmp {

// The tag of messages, PDU contents, binding lists and bindings.
constexpr uint8_t kTagSequence = 0x30;

// Reads definite-length items from a byte range; every length is checked against what is left.
// A failed read leaves the reader unchanged and returns false.
class BerReader {
  public:
    BerReader(const uint8_t* data, size_t size) : pos_(data), end_(data + size) {}

    bool at_end() const { return pos_ == end_; }
    size_t left() const { return static_cast<size_t>(end_ - pos_); }
    const uint8_t* position() const { return pos_; }

    // The next item's tag and contents; the reader moves past the item.
    bool read_item(uint8_t& tag, BerReader& contents);
    // The next item, which must carry `tag`.
    bool expect(uint8_t tag, BerReader& contents);

    bool read_int32(uint8_t tag, int32_t& value);
    bool read_uint32(uint8_t tag, uint32_t& value);
    bool read_uint64(uint8_t tag, uint64_t& value);

  private:
    const uint8_t* pos_;
    const uint8_t* end_;
};

// Contents decoders: the bytes between the length and the item's end.
bool decode_signed(const uint8_t* data, size_t size, int32_t& value);
// Unsigned values of at most `bits` (32 or 64) bits. Leading zero bytes may be redundant, and
// the one a first byte of 0x80 or more needs may be missing (FF FF FF FF is 4294967295).
bool decode_unsigned(const uint8_t* data, size_t size, int bits, uint64_t& value);
// Appends the sub-identifiers to `out`; false for an empty, unterminated or too large one.
bool decode_oid(const uint8_t* data, size_t size, std::vector<uint32_t>& out);

// Builds an encoding from its end towards its start, so that every length is known when it is
// written. Items are therefore added in reverse order.
class BerWriter {
  public:
    explicit BerWriter(size_t reserve = 512);

    size_t size() const { return buffer_.size() - start_; }
    const uint8_t* data() const { return buffer_.data() + start_; }
    void clear() { start_ = buffer_.size(); }

    // Marks the end of a constructed item; close() wraps everything added since.
    size_t mark() const { return size(); }
    void close(uint8_t tag, size_t mark);

    void put_bytes(uint8_t tag, const uint8_t* data, size_t size);
    void put_signed(uint8_t tag, int64_t value);
    void put_unsigned(uint8_t tag, uint64_t value);
    void put_null(uint8_t tag = ASN_NULL) { put_header(tag, 0); }
    void put_oid(const uint32_t* ids, size_t count);

  private:
    void put_header(uint8_t tag, size_t length);
    void put_raw(const uint8_t* data, size_t size);
    void put_byte(uint8_t byte);
    void grow(size_t needed);

    std::vector<uint8_t> buffer_;
    size_t start_;
};

}  // namespace snmp

namespace snmp {

// True when the identifier can go into a request: at least two arcs, the first 0 to 2 and the
// second below 40 under the first two.
inline bool encodable_oid(const uint32_t* ids, int64_t count) {
    if (!ids || count < 2) return false;
    if (ids[0] > 2) return false;
    if (ids[0] < 2) return ids[1] < 40;
    return ids[1] <= 0xFFFFFFFFu - 80;
}

}  // namespace snmp
