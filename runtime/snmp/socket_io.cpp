#include "runtime/snmp/socket_io.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "runtime/snmp/errors.h"

namespace snmp {

Wait wait_readable(int fd, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return Wait::kTimeout;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready > 0) return Wait::kReady;
        if (ready == 0) return Wait::kTimeout;
        if (errno != EINTR) {
            set_error(kErrSocket, std::strerror(errno));
            return Wait::kFailed;
        }
    }
}

Received receive(int fd, Datagram& d) {
    const ssize_t got = recvfrom(fd, d.bytes.data(), d.bytes.size(), MSG_TRUNC | MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&d.from), &d.from_length);
    if (got >= 0) {
        d.size = static_cast<size_t>(got);
        return Received::kDatagram;
    }
    // An ICMP error from an earlier send, or nothing after all: keep waiting.
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNREFUSED ||
        errno == EHOSTUNREACH || errno == ENETUNREACH)
        return Received::kNothing;
    set_error(kErrSocket, std::strerror(errno));
    return Received::kFailed;
}

bool send_datagram(const Session& session, const uint8_t* data, size_t size) {
    if (sendto(session.fd, data, size, 0, reinterpret_cast<const sockaddr*>(&session.address),
               session.address_length) >= 0)
        return true;
    set_error(kErrSocket, std::strerror(errno));
    return false;
}

}  // namespace snmp
