// One UDP socket per node, opened on first use and kept for the life of the process, with what
// SNMPv3 learns of the node's engine.
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "runtime/snmp/security_model.h"
#include "runtime/snmp/usm.h"

namespace snmp {

// What an SNMPv3 session keeps: the agent's engine, learnt once, and our user's keys for it.
struct V3Session {
    UsmPeer peer;
    bool discovered = false;
    // Some request of the user was answered: answers that fail our digest are not the key's
    // fault then.
    bool user_answered = false;
    // The agent's msgMaxSize from its latest answer, for the answer budget; 0 until known.
    int32_t agent_max_size = 0;
    // The agent refused the user (a report it authenticated, or only answers that fail our
    // digest): every later request fails at once with the same error.
    int refused = 0;
    std::string refused_detail;
};

struct Session {
    std::string node;  // the node text as given
    int fd = -1;
    sockaddr_storage address{};
    socklen_t address_length = 0;
    char peer[64] = {};  // "address:port" for messages and the dump
    V3Session v3;
    // Ids of the latest answered requests: a datagram with one of them is a duplicate.
    std::deque<int32_t> spent_ids;
    // How requests are wrapped and answers read under the settings' version.
    std::unique_ptr<SecurityModel> security;
};

// The node's session; null with the error recorded when the node text is bad, the host does
// not resolve or no socket can be made.
Session* open_session(const char* node);

// Closes every session's socket; sessions handed out before are gone.
void close_sessions();

// True when `from` is the session's address and port.
bool same_peer(const Session& s, const sockaddr_storage& from, socklen_t length);

// "address:port" ("[v6 address]:port") of a socket address.
void peer_text(const sockaddr_storage& address, char* out, size_t size);

}  // namespace snmp
