// The numbers of the SNMP protocol and the value of a binding, shared by the transport, its
// callers and the MIB library: message versions, PDU types, the encoding tags of values with the
// SNMPv2 exception markers, and the value union.
#pragma once

#include <cstdint>

// Encoding tags of SNMP values.
enum AsnTag : int32_t {
    ASN_INTEGER = 0x02,
    ASN_OCTET_STRING = 0x04,
    ASN_NULL = 0x05,
    ASN_OBJECT_ID = 0x06,
    ASN_IP_ADDRESS = 0x40,
    ASN_COUNTER = 0x41,
    ASN_GAUGE = 0x42,
    ASN_TIME_TICKS = 0x43,
    ASN_OPAQUE = 0x44,
    ASN_NSAP_ADDRESS = 0x45,
    ASN_COUNTER64 = 0x46,
    ASN_UINTEGER = 0x47,
};

// Bytes (octet strings, Opaque, NsapAddress, IpAddress) or sub-identifiers (OBJECT IDENTIFIER,
// `length` then being their count).
struct MibValueString {
    int32_t length;
    union {
        const uint8_t* bytes;
        const uint32_t* ids;
    };
};

// The payload of a value, read according to its tag; the 32-bit members and `length` share
// storage with the low half of the 64-bit member.
union MibValueData {
    int32_t integer;
    uint32_t uinteger;
    uint64_t counter64;
    MibValueString string;
};

namespace snmp {

constexpr int32_t kVersion1 = 0;
constexpr int32_t kVersion2c = 1;

enum PduType : uint8_t {
    kPduGet = 0xA0,
    kPduGetNext = 0xA1,
    kPduResponse = 0xA2,
    kPduSet = 0xA3,
    kPduTrapV1 = 0xA4,
    kPduGetBulk = 0xA5,
    kPduInform = 0xA6,
    kPduTrapV2 = 0xA7,
    kPduReport = 0xA8,
};

// What an SNMPv2 agent answers in place of a value.
constexpr uint8_t kTagNoSuchObject = 0x80;
constexpr uint8_t kTagNoSuchInstance = 0x81;
constexpr uint8_t kTagEndOfMibView = 0x82;

inline bool is_exception_tag(uint8_t tag) {
    return tag == kTagNoSuchObject || tag == kTagNoSuchInstance || tag == kTagEndOfMibView;
}

// Values whose payload is a byte string.
inline bool has_bytes(uint8_t tag) {
    return tag == ASN_OCTET_STRING || tag == ASN_IP_ADDRESS || tag == ASN_OPAQUE ||
           tag == ASN_NSAP_ADDRESS;
}

}  // namespace snmp
