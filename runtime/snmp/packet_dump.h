// The "-d" packet dump: a one-line summary and a hex dump of a datagram, on standard error.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/snmp/message.h"

namespace snmp {

// `what` says what happened ("sent to", "received from", "dropped from"); `decoded` is null
// when the datagram did not decode, and `note` (may be null) says why it was dropped.
void dump_datagram(const char* what, const char* peer, const uint8_t* data, size_t size,
                   const Message* decoded, const char* note);

}  // namespace snmp
