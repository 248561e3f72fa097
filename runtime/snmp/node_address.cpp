#include "runtime/snmp/node_address.h"

#include <string_view>

namespace snmp {

namespace {

bool parse_port(std::string_view text, uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    if (v == 0 || v > 65535) return false;
    port = static_cast<uint16_t>(v);
    return true;
}

}  // namespace

bool parse_node(const char* text, uint16_t default_port, NodeAddress& out) {
    if (!text) return false;
    const std::string_view node(text);
    out.port = default_port;
    if (!node.empty() && node.front() == '[') {
        const size_t close = node.find(']');
        if (close == std::string_view::npos || close == 1) return false;
        out.host.assign(node.substr(1, close - 1));
        const std::string_view rest = node.substr(close + 1);
        if (rest.empty()) return true;
        return rest.front() == ':' && parse_port(rest.substr(1), out.port);
    }
    const size_t colon = node.find(':');
    if (colon != std::string_view::npos && node.find(':', colon + 1) == std::string_view::npos) {
        out.host.assign(node.substr(0, colon));
        if (!parse_port(node.substr(colon + 1), out.port)) return false;
    } else {
        // No colon, or several: a host name or a bare IPv6 address.
        out.host.assign(node);
    }
    return !out.host.empty();
}

}  // namespace snmp
