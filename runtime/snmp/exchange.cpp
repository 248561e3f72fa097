#include "runtime/snmp/exchange.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "runtime/snmp/errors.h"
#include "runtime/snmp/packet_dump.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"
#include "runtime/snmp/v3_exchange.h"

int ZorvsnmpDumpPacket = 0;

namespace snmp {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kDefaultCommunity[] = "public";
// Request ids are positive 32-bit numbers.
constexpr uint32_t kRequestIdMask = 0x7FFFFFFF;
constexpr size_t kMaxDatagram = 65535;

// Ids start at a random point so that answers meant for an earlier process are not taken.
int32_t next_request_id() {
    static uint32_t next = [] {
        std::random_device device;
        return device() & kRequestIdMask;
    }();
    next = (next + 1) & kRequestIdMask;
    if (next == 0) next = 1;
    return static_cast<int32_t>(next);
}

enum class Wait { kReady, kTimeout, kFailed };

// Until a datagram waits on the socket or the deadline passes.
Wait wait_readable(int fd, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
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

// One datagram as it came: its whole size (which may exceed what the buffer kept) and sender.
struct Datagram {
    std::vector<uint8_t>& bytes;
    size_t size = 0;
    sockaddr_storage from{};
    socklen_t from_length = sizeof from;
};

enum class Received { kDatagram, kNothing, kFailed };

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

// Why a datagram that decoded is not the answer to `request`, or null when it is.
const char* mismatch(const Message& request, const Message& response) {
    if (response.pdu_type != kPduResponse) return "not a response";
    if (response.request_id != request.request_id) return "other request id";
    // An answer under another version or community was not asked for in this session.
    if (response.version != request.version) return "other version";
    if (response.community != request.community) return "other community";
    return nullptr;
}

// What one datagram is to the request.
struct Verdict {
    const char* why = nullptr;  // why it is not the answer; null when it is
    bool decoded = false;       // `response` holds its decoding
    bool undecodable = false;   // it came from the node and could not be decoded
};

Verdict judge(const Session& session, const Datagram& d, const Message& request,
              Message& response) {
    if (!same_peer(session, d.from, d.from_length)) return {"not from the node"};
    if (d.size > kMaxDatagram) return {"too long", false, true};
    const char* why = nullptr;
    if (!decode_message(d.bytes.data(), d.size, response, &why)) return {why, false, true};
    return {mismatch(request, response), true, false};
}

void dump_dropped(const Datagram& d, const Message* decoded, const char* why) {
    char peer[64];
    peer_text(d.from, peer, sizeof peer);
    dump_datagram("dropped from", peer, d.bytes.data(), std::min(d.size, kMaxDatagram), decoded,
                  why);
}

// Takes datagrams until the answer comes or the deadline passes; drops everything else, and
// keeps in `undecodable` why the node's last undecodable datagram was refused. The answer's byte
// values point into a buffer that the next call reuses.
Wait await_answer(const Session& session, const Message& request, Clock::time_point deadline,
                  Message& response, bool dump, const char*& undecodable) {
    thread_local std::vector<uint8_t> buffer(kMaxDatagram + 1);
    for (;;) {
        const Wait wait = wait_readable(session.fd, deadline);
        if (wait != Wait::kReady) return wait;
        Datagram d{buffer};
        const Received received = receive(session.fd, d);
        if (received == Received::kFailed) return Wait::kFailed;
        if (received == Received::kNothing) continue;
        const Verdict verdict = judge(session, d, request, response);
        if (!verdict.why) {
            if (dump) {
                dump_datagram("received from", session.peer, d.bytes.data(), d.size, &response,
                              nullptr);
            }
            return Wait::kReady;
        }
        if (verdict.undecodable) undecodable = verdict.why;
        if (dump) dump_dropped(d, verdict.decoded ? &response : nullptr, verdict.why);
    }
}

bool send_request(const Session& session, const uint8_t* data, size_t size) {
    if (sendto(session.fd, data, size, 0, reinterpret_cast<const sockaddr*>(&session.address),
               session.address_length) >= 0)
        return true;
    set_error(kErrSocket, std::strerror(errno));
    return false;
}

}  // namespace

// After every try: the node's last undecodable datagram says more than silence would.
void record_no_answer(const Session& session, const Settings& config, const char* undecodable) {
    char detail[160];
    if (undecodable) {
        std::snprintf(detail, sizeof detail, "%s (from %s)", undecodable, session.peer);
        set_error(kErrUndecodable, detail);
        return;
    }
    const int tries = config.retries + 1;
    std::snprintf(detail, sizeof detail, "%s (%d %s of %d ms)", session.peer, tries,
                  tries == 1 ? "try" : "tries", config.timeout_ms);
    set_error(kErrTimeout, detail);
}

void start_request(Message& request, const char* community, uint8_t pdu_type) {
    request.version = settings().version;
    request.community = community ? community : kDefaultCommunity;
    request.pdu_type = pdu_type;
    request.error_status = kErrNoError;
    request.error_index = 0;
}

bool exchange(Session& session, Message& request, Message& response) {
    return exchange(session, request, response, nullptr);
}

bool exchange(Session& session, Message& request, Message& response,
              const RetryHook& before_retry) {
    thread_local BerWriter writer(1024);
    const Settings& config = settings();
    request.request_id = next_request_id();
    if (config.version == kVersion3) return exchange_v3(session, request, response);
    encode_message(request, writer);
    const bool dump = ZorvsnmpDumpPacket == 1;
    const char* undecodable = nullptr;
    for (int attempt = 0; attempt <= config.retries; ++attempt) {
        if (attempt > 0 && before_retry) {
            before_retry(request);
            encode_message(request, writer);
        }
        if (dump) {
            dump_datagram("sent to", session.peer, writer.data(), writer.size(), &request, nullptr);
        }
        if (!send_request(session, writer.data(), writer.size())) return false;
        const auto deadline = Clock::now() + std::chrono::milliseconds(config.timeout_ms);
        const Wait wait = await_answer(session, request, deadline, response, dump, undecodable);
        if (wait == Wait::kReady) return true;
        if (wait == Wait::kFailed) return false;
    }
    record_no_answer(session, config, undecodable);
    return false;
}

// The datagram loop of an SNMPv3 try, whose answers the caller judges.
TryResult send_and_await(const Session& session, const std::vector<uint8_t>& datagram,
                         std::chrono::steady_clock::time_point deadline,
                         const DatagramJudge& judge) {
    thread_local std::vector<uint8_t> buffer(kMaxDatagram + 1);
    if (!send_request(session, datagram.data(), datagram.size())) return TryResult::kFailed;
    for (;;) {
        const Wait wait = wait_readable(session.fd, deadline);
        if (wait == Wait::kTimeout) return TryResult::kTimeout;
        if (wait == Wait::kFailed) return TryResult::kFailed;
        Datagram d{buffer};
        const Received received = receive(session.fd, d);
        if (received == Received::kFailed) return TryResult::kFailed;
        if (received == Received::kNothing) continue;
        const Arrival arrival{d.bytes.data(), std::min(d.size, kMaxDatagram), d.size > kMaxDatagram,
                              same_peer(session, d.from, d.from_length), d.from};
        if (judge(arrival)) return TryResult::kAnswer;
    }
}

}  // namespace snmp
