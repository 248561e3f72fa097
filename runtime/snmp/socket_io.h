// The session socket's primitives: wait for a datagram, take one as it came, send one.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/snmp/session.h"

namespace snmp {

// The largest UDP payload; a datagram longer than this was cut by the buffer.
constexpr size_t kMaxDatagram = 65535;

enum class Wait { kReady, kTimeout, kFailed };

// Until a datagram waits on the socket or the deadline passes; kFailed with the error recorded.
Wait wait_readable(int fd, std::chrono::steady_clock::time_point deadline);

// One datagram as it came: its whole size (which may exceed what the buffer kept) and sender.
struct Datagram {
    std::vector<uint8_t>& bytes;  // kMaxDatagram + 1 long
    size_t size = 0;
    sockaddr_storage from{};
    socklen_t from_length = sizeof from;
};

enum class Received { kDatagram, kNothing, kFailed };

// kFailed with the error recorded.
Received receive(int fd, Datagram& d);

// False with the error recorded.
bool send_datagram(const Session& session, const uint8_t* data, size_t size);

// A datagram as the security model reads it.
struct Arrival {
    std::vector<uint8_t>& buffer;  // its bytes; the answer may take the buffer along
    size_t size;                   // what the buffer kept
    bool too_long;                 // the datagram was longer than the largest UDP payload
    bool from_node;                // it came from the node's address and port
    const sockaddr_storage& from;
};

// Why an arrival can be no one's answer before it is decoded (null when it may be one);
// `undecodable` is set for a datagram too long to decode.
inline const char* refusal_before_decoding(const Arrival& a, bool& undecodable) {
    if (!a.from_node) return "not from the node";
    if (!a.too_long) return nullptr;
    undecodable = true;
    return "too long";
}

}  // namespace snmp
