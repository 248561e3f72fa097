// SNMPv1/SNMPv2c messages: community, PDU header and variable bindings, encoded and decoded;
// the PDU alone for SNMPv3.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "runtime/snmp/ber.h"

namespace snmp {

// One binding. Names and identifier values point into the owning message's `ids`; byte
// values point into the decoded datagram (or the caller's data when encoding).
struct Binding {
    const uint32_t* name;
    uint32_t name_length;
    uint8_t tag;
    MibValueData value;
};

struct Message {
    int32_t version = kVersion2c;
    std::string_view community;  // into the datagram when decoded
    uint8_t pdu_type = kPduGet;
    int32_t request_id = 0;
    // Error status and index; for GetBulk the non-repeaters and max-repetitions.
    int32_t error_status = 0;
    int32_t error_index = 0;
    std::vector<Binding> bindings;
    std::vector<uint32_t> ids;  // storage for decoded names and identifier values
};

// Decodes a whole datagram. Every length is checked, nothing may follow the message, and every
// value must have a known tag and fit its type. On failure `why` names what was wrong. The
// message refers to `data`, which must outlive it. Buffers of `out` are reused.
bool decode_message(const uint8_t* data, size_t size, Message& out, const char** why);

// Encodes `message` into `writer` (cleared first).
void encode_message(const Message& message, BerWriter& writer);

// The PDU alone, as an SNMPv3 scoped PDU carries it: `data` is exactly one PDU item. The
// message's version and community are left as they were.
bool decode_pdu(const uint8_t* data, size_t size, Message& out, const char** why);
// Adds the PDU of `message` to `writer` (which builds from the end; not cleared).
void encode_pdu(const Message& message, BerWriter& writer);

// The short name of a PDU type ("GetBulk"), or "PDU 0x.." for an unknown one.
const char* pdu_type_name(uint8_t type, char (&scratch)[16]);

}  // namespace snmp
