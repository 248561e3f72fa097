// SNMP values as the library formats them, and the value-printer function type.
#pragma once

#include <cstdint>

struct EnumEntry;

// An object identifier held by its owner: a count and the owner's sub-identifiers.
struct ObjectId {
    int32_t count;
    uint32_t* ids;
};

// ASN.1 encoding tags of SNMP values.
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

// The payload of a value; the 32-bit members and `length` share storage with the low half of
// the 64-bit member.
union MibValueData {
    int32_t integer;
    uint32_t uinteger;
    uint64_t counter64;
    MibValueString string;
};

struct MibValue {
    int32_t tag;
    MibValueData data;
};

struct MibVariable {
    ObjectId* name;
    MibValue* value;
};

// Writes a NUL-terminated text of at most `capacity` bytes (NUL included) for the variable's
// value into `buffer`; form 0 labelled ("Gauge: 5"), 1 bare ("5"). The result carries no meaning.
using ValuePrinter = int (*)(char* buffer, int32_t capacity, const MibVariable* variable,
                             const EnumEntry* enums, int32_t form);
