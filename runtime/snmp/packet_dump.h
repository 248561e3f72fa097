// The "-d" packet dump: a one-line summary and a hex dump of a datagram, on standard error;
// for SNMPv3 also the scoped PDU, decrypted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/snmp/message.h"
#include "runtime/snmp/v3_message.h"

namespace snmp {

// `what` says what happened ("sent to", "received from", "dropped from"); `decoded` is null
// when the datagram did not decode, and `note` (may be null) says why it was dropped.
void dump_datagram(const char* what, const char* peer, const uint8_t* data, size_t size,
                   const Message* decoded, const char* note);

// The scoped PDU of an SNMPv3 message as the dump shows it.
struct ScopedPduShown {
    ByteView bytes;  // the scoped PDU, decrypted when the message was encrypted
    const ScopedPdu& scoped;
    const Message* pdu;  // null when the PDU did not decode
};

// An SNMPv3 datagram: the summary gives the header and security parameters (the digest and salt
// only by their length: no key is ever shown). When `shown` is given, the scoped PDU follows
// under a line of its own; when the message was encrypted that line says the PDU is shown
// decrypted and its bytes are dumped too.
void dump_v3_datagram(const char* what, const char* peer, const uint8_t* data, size_t size,
                      const char* note, const ScopedPduShown* shown);

}  // namespace snmp
