// The session socket's primitives: wait for a datagram, take one as it came, send one.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
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

// A datagram that arrived while an SNMPv3 try waits.
struct Arrival {
    const uint8_t* data;
    size_t size;     // what the buffer kept
    bool too_long;   // the datagram was longer than the largest UDP payload
    bool from_node;  // it came from the node's address and port
    const sockaddr_storage& from;
};

// True when the datagram is the answer; anything else it drops (and dumps) itself.
using DatagramJudge = std::function<bool(const Arrival&)>;

enum class TryResult { kAnswer, kTimeout, kFailed };

// Sends `datagram` to the node, then hands every datagram that arrives to `judge` until it
// takes one or `deadline` passes. kFailed with the error recorded when the socket fails. The
// datagram taken stays in a buffer that the next call reuses.
TryResult send_and_await(const Session& session, const std::vector<uint8_t>& datagram,
                         std::chrono::steady_clock::time_point deadline,
                         const DatagramJudge& judge);

}  // namespace snmp
