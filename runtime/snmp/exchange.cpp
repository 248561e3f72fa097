#include "runtime/snmp/exchange.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "runtime/snmp/errors.h"
#include "runtime/snmp/packet_dump.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"

int ZorvsnmpDumpPacket = 0;

namespace snmp {

namespace {

using Clock = std::chrono::steady_clock;

// Ids start at a random point so that answers meant for an earlier process are not taken.
int32_t next_request_id() {
    static uint32_t next = [] {
        std::random_device device;
        return device() & 0x7FFFFFFF;
    }();
    next = (next + 1) & 0x7FFFFFFF;
    if (next == 0) next = 1;
    return static_cast<int32_t>(next);
}

constexpr size_t kMaxDatagram = 65535;

}  // namespace

void start_request(Message& request, const char* community, uint8_t pdu_type) {
    request.version = settings().version;
    request.community = community ? community : "public";
    request.pdu_type = pdu_type;
    request.error_status = 0;
    request.error_index = 0;
}

bool exchange(Session& session, Message& request, Message& response) {
    thread_local BerWriter writer(1024);
    thread_local std::vector<uint8_t> datagram(kMaxDatagram + 1);
    const Settings& config = settings();

    request.request_id = next_request_id();
    encode_message(request, writer);
    const bool dump = ZorvsnmpDumpPacket == 1;
    for (int attempt = 0; attempt <= config.retries; ++attempt) {
        if (dump) {
            dump_datagram("sent to", session.peer, writer.data(), writer.size(), &request, nullptr);
        }
        if (sendto(session.fd, writer.data(), writer.size(), 0,
                   reinterpret_cast<const sockaddr*>(&session.address),
                   session.address_length) < 0) {
            set_error(kErrSocket, std::strerror(errno));
            return false;
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(config.timeout_ms);
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            pollfd p{session.fd, POLLIN, 0};
            const int ready = poll(&p, 1, static_cast<int>(left.count()));
            if (ready < 0) {
                if (errno == EINTR) continue;
                set_error(kErrSocket, std::strerror(errno));
                return false;
            }
            if (ready == 0) break;
            sockaddr_storage from{};
            socklen_t from_length = sizeof from;
            const ssize_t got =
                recvfrom(session.fd, datagram.data(), datagram.size(), MSG_TRUNC | MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&from), &from_length);
            if (got < 0) {
                // An ICMP error from an earlier send, or nothing after all: keep waiting.
                if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK ||
                    errno == ECONNREFUSED || errno == EHOSTUNREACH || errno == ENETUNREACH)
                    continue;
                set_error(kErrSocket, std::strerror(errno));
                return false;
            }
            const size_t size = static_cast<size_t>(got);
            const char* why = nullptr;
            bool decoded = false;
            if (size > kMaxDatagram) {
                why = "too long";
            } else if (!same_peer(session, from, from_length)) {
                why = "not from the node";
            } else if (!(decoded = decode_message(datagram.data(), size, response, &why))) {
                // `why` says what did not decode
            } else if (response.pdu_type != kPduResponse) {
                why = "not a response";
            } else if (response.request_id != request.request_id) {
                why = "other request id";
            }
            if (!why) {
                if (dump) {
                    dump_datagram("received from", session.peer, datagram.data(), size, &response,
                                  nullptr);
                }
                return true;
            }
            if (dump) {
                char peer[64];
                peer_text(from, peer, sizeof peer);
                const size_t shown = size > kMaxDatagram ? kMaxDatagram : size;
                dump_datagram("dropped from", peer, datagram.data(), shown,
                              decoded ? &response : nullptr, why);
            }
        }
    }
    set_error(kErrTimeout, session.peer);
    return false;
}

}  // namespace snmp
