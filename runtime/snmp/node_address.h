// The "-node" text: host, host:port, [IPv6 address]:port, [IPv6 address] or a bare IPv6 address.
#pragma once

#include <cstdint>
#include <string>

namespace snmp {

struct NodeAddress {
    std::string host;
    uint16_t port = 0;
};

// False for an empty host, an unclosed bracket or a port that is not 1..65535.
bool parse_node(const char* text, uint16_t default_port, NodeAddress& out);

}  // namespace snmp
