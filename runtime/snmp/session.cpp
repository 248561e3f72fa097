#include "runtime/snmp/session.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "runtime/snmp/errors.h"
#include "runtime/snmp/node_address.h"
#include "runtime/snmp/settings.h"

namespace snmp {

namespace {

std::vector<std::unique_ptr<Session>>& sessions() {
    static std::vector<std::unique_ptr<Session>> list;
    return list;
}

}  // namespace

void peer_text(const sockaddr_storage& address, char* out, size_t size) {
    char host[INET6_ADDRSTRLEN] = "?";
    unsigned port = 0;
    if (address.ss_family == AF_INET) {
        const auto& a = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
        port = ntohs(a.sin_port);
        std::snprintf(out, size, "%s:%u", host, port);
    } else if (address.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &a.sin6_addr, host, sizeof host);
        port = ntohs(a.sin6_port);
        std::snprintf(out, size, "[%s]:%u", host, port);
    } else {
        std::snprintf(out, size, "(unknown address)");
    }
}

bool same_peer(const Session& s, const sockaddr_storage& from, socklen_t length) {
    if (from.ss_family != s.address.ss_family) return false;
    if (from.ss_family == AF_INET) {
        if (length < static_cast<socklen_t>(sizeof(sockaddr_in))) return false;
        const auto& a = reinterpret_cast<const sockaddr_in&>(from);
        const auto& b = reinterpret_cast<const sockaddr_in&>(s.address);
        return a.sin_port == b.sin_port && a.sin_addr.s_addr == b.sin_addr.s_addr;
    }
    if (from.ss_family == AF_INET6) {
        if (length < static_cast<socklen_t>(sizeof(sockaddr_in6))) return false;
        const auto& a = reinterpret_cast<const sockaddr_in6&>(from);
        const auto& b = reinterpret_cast<const sockaddr_in6&>(s.address);
        return a.sin6_port == b.sin6_port &&
               std::memcmp(&a.sin6_addr, &b.sin6_addr, sizeof a.sin6_addr) == 0;
    }
    return false;
}

void close_sessions() {
    for (const auto& s : sessions()) close(s->fd);
    sessions().clear();
}

Session* open_session(const char* node) {
    for (const auto& s : sessions()) {
        if (node && s->node == node) return s.get();
    }
    const Settings& config = settings();
    if (!config.invalid.empty()) {
        set_error(kErrBadSetting, config.invalid.c_str());
        return nullptr;
    }
    NodeAddress where;
    if (!parse_node(node, config.port, where)) {
        set_error(kErrBadNode, node);
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    addrinfo* found = nullptr;
    char port[8];
    std::snprintf(port, sizeof port, "%u", where.port);
    const int rc = getaddrinfo(where.host.c_str(), port, &hints, &found);
    if (rc != 0 || !found) {
        std::string detail = where.host + " (" + gai_strerror(rc) + ")";
        set_error(kErrUnknownHost, detail.c_str());
        return nullptr;
    }
    auto session = std::make_unique<Session>();
    int saved_errno = 0;
    for (addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof session->address) continue;
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            saved_errno = errno;
            continue;
        }
        session->fd = fd;
        std::memcpy(&session->address, a->ai_addr, a->ai_addrlen);
        session->address_length = a->ai_addrlen;
        break;
    }
    freeaddrinfo(found);
    if (session->fd < 0) {
        set_error(kErrSocket, std::strerror(saved_errno));
        return nullptr;
    }
    // The socket stays unconnected: answers are matched against the node's address by hand, so
    // that stray datagrams can be shown and dropped.
    session->node = node;
    peer_text(session->address, session->peer, sizeof session->peer);
    sessions().push_back(std::move(session));
    return sessions().back().get();
}

}  // namespace snmp
