// SNMPv3 messages: the header, the user-based security parameters and the scoped PDU, encoded
// and decoded. Decoding is strict: every length is checked, sizes the protocol bounds are
// enforced, and nothing may follow the message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "runtime/snmp/ber.h"

namespace snmp {

constexpr int32_t kVersion3 = 3;
constexpr int32_t kUserSecurityModel = 3;
constexpr int32_t kMinMaxSize = 484;  // the smallest message size an engine may announce

// msgFlags bits.
constexpr uint8_t kFlagAuth = 0x01;
constexpr uint8_t kFlagPriv = 0x02;
constexpr uint8_t kFlagReportable = 0x04;

// Engine ids are 5 to 32 bytes; only a discovery request carries an empty one.
constexpr size_t kMinEngineId = 5;
constexpr size_t kMaxEngineId = 32;
constexpr size_t kMaxUserName = 32;
constexpr size_t kMaxContextName = 32;
// Longer than any digest or salt of a known protocol; the exact sizes are checked when the
// message is authenticated or decrypted.
constexpr size_t kMaxAuthParameters = 64;
constexpr size_t kMaxPrivParameters = 64;

using ByteView = std::span<const uint8_t>;

struct UsmParameters {
    ByteView engine_id;
    int32_t boots = 0;
    int32_t time = 0;
    ByteView user_name;
    ByteView auth;  // the digest, or empty
    ByteView priv;  // the salt, or empty
};

// A decoded message. Views point into the datagram.
struct V3Message {
    int32_t msg_id = 0;
    int32_t max_size = 0;
    uint8_t flags = 0;
    UsmParameters usm;
    // With kFlagPriv the encrypted scoped PDU, else the whole plaintext scoped PDU item.
    ByteView data;
    // Where the digest's bytes start in the datagram, for checking it.
    size_t auth_offset = 0;
};

// A scoped PDU. Views point into the bytes it was decoded from.
struct ScopedPdu {
    ByteView context_engine_id;
    ByteView context_name;
    uint8_t pdu_type = 0;
    ByteView pdu;  // the whole PDU item, tag and length included
};

// Decodes a whole datagram. On failure `why` names what was wrong.
bool decode_v3_message(const uint8_t* data, size_t size, V3Message& out, const char** why);

// Decodes a scoped PDU item. Decrypted data may end in at most `padding` bytes of block
// padding (a whole block when the PDU was aligned); any other bytes after the item are an error.
bool decode_scoped_pdu(ByteView bytes, size_t padding, ScopedPdu& out, const char** why);

// Writes a PDU into a writer (which builds from the end; see BerWriter).
using PduWriter = std::function<void(BerWriter&)>;

// Writes the scoped PDU around what `pdu` writes.
void encode_scoped_pdu(ByteView context_engine_id, ByteView context_name, const PduWriter& pdu,
                       BerWriter& writer);

// Completes a message in `writer`, which holds its last item, the message data: the scoped PDU
// (encode_scoped_pdu) or, under privacy, the encrypted scoped PDU as an OCTET STRING. `message`
// gives the header and security parameters; its `data` is not used. The authentication
// parameters are written as given (zeros of the digest's length when the digest is to be
// filled in) and their offset from the start of the encoding is stored in `auth_offset`.
void encode_v3_message(V3Message& message, BerWriter& writer);

}  // namespace snmp
