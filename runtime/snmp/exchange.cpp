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

#include "runtime/snmp/dispatcher.h"
#include "runtime/snmp/errors.h"
#include "runtime/snmp/packet_dump.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"
#include "runtime/snmp/socket_io.h"

int ZorvsnmpDumpPacket = 0;

namespace snmp {

namespace {

constexpr char kDefaultCommunity[] = "public";

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
    // The answer's byte values stay in this request's buffer until the next exchange.
    thread_local Pending p;
    p.request = request;
    p.before_retry = before_retry;
    Dispatcher dispatcher(session);
    dispatcher.submit(p);
    dispatcher.next();
    p.before_retry = nullptr;
    request.request_id = p.request.request_id;
    if (p.state != Pending::State::kAnswered) {
        p.record_error();
        return false;
    }
    std::swap(response, p.response);
    return true;
}

// The datagram loop of an SNMPv3 try, whose answers the caller judges.
TryResult send_and_await(const Session& session, const std::vector<uint8_t>& datagram,
                         std::chrono::steady_clock::time_point deadline,
                         const DatagramJudge& judge) {
    thread_local std::vector<uint8_t> buffer(kMaxDatagram + 1);
    if (!send_datagram(session, datagram.data(), datagram.size())) return TryResult::kFailed;
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
