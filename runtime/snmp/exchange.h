// One request and its answer: request ids, tries, the wait, and which datagram is the answer.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include "runtime/snmp/dispatcher.h"
#include "runtime/snmp/message.h"
#include "runtime/snmp/session.h"
#include "runtime/snmp/settings.h"

namespace snmp {

// Sends `request` under a fresh request id (every try resends the same one) and waits for the
// answer: a datagram from the node's address and port that decodes fully, is a Response and
// carries the id, version and community of the request. Anything else is dropped and the wait
// goes on to the try's deadline; the answer to any try is taken. The answer's byte values point
// into a buffer that the next exchange reuses. False with the error recorded on socket failure,
// or after every try: kErrUndecodable when the node sent something that did not decode, else
// kErrTimeout.
bool exchange(Session& session, Message& request, Message& response);

bool exchange(Session& session, Message& request, Message& response, const RetryHook& before_retry);

// Records why every try went unanswered: kErrUndecodable with `undecodable` (why the node's last
// datagram did not decode) when there is one, else kErrTimeout naming the tries.
void record_no_answer(const Session& session, const Settings& config, const char* undecodable);

// The version, community and PDU fields of a request from the settings.
void start_request(Message& request, const char* community, uint8_t pdu_type);

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
