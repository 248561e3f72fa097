#include "runtime/snmp/dispatcher.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <utility>

#include "runtime/snmp/errors.h"
#include "runtime/snmp/packet_dump.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"
#include "runtime/snmp/socket_io.h"
#include "runtime/snmp/v3_exchange.h"

namespace snmp {

namespace {

using Clock = std::chrono::steady_clock;

// Request ids are positive 32-bit numbers.
constexpr uint32_t kRequestIdMask = 0x7FFFFFFF;
// Ids of answered requests kept to tell a duplicate from a stranger in the dump.
constexpr size_t kSpentIds = 256;

// The failure just recorded, kept with the request it belongs to.
void capture_error(Pending& p) {
    p.error = ZorvsnmpErrno;
    p.error_text = ZorvsnmpErrString(p.error);
}

// Why a decoded datagram is not the answer to the request whose id it carries.
const char* mismatch(const Message& request, const Message& response) {
    // An answer under another version or community was not asked for in this session.
    if (response.version != request.version) return "other version";
    if (response.community != request.community) return "other community";
    return nullptr;
}

// The SNMPv3 answer's PDU copied into the request's own buffer: the exchange leaves it in one
// that the next exchange reuses.
void keep_pdu(Pending& p) {
    thread_local BerWriter writer(1024);
    writer.clear();
    encode_pdu(p.response, writer);
    p.answer_bytes.assign(writer.data(), writer.data() + writer.size());
    const int32_t version = p.response.version;
    const char* why = nullptr;
    decode_pdu(p.answer_bytes.data(), p.answer_bytes.size(), p.response, &why);
    p.response.version = version;
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

int32_t next_request_id() {
    // Ids start at a random point so that answers meant for an earlier process are not taken.
    static uint32_t next = [] {
        std::random_device device;
        return device() & kRequestIdMask;
    }();
    next = (next + 1) & kRequestIdMask;
    if (next == 0) next = 1;
    return static_cast<int32_t>(next);
}

void Pending::record_error() const {
    set_error_text(error, error_text.c_str());
}

Dispatcher::Dispatcher(Session& session) : session_(session), dump_(ZorvsnmpDumpPacket == 1) {}

void Dispatcher::submit(Pending& p) {
    p.request.request_id = next_request_id();
    p.retried = false;
    p.undecodable = nullptr;
    p.error = 0;
    p.error_text.clear();
    const Settings& config = settings();
    if (config.version == kVersion3) {
        p.state = Pending::State::kWaiting;
        if (exchange_v3(session_, p.request, p.response)) {
            keep_pdu(p);
            p.state = Pending::State::kAnswered;
        } else {
            capture_error(p);
            p.state = Pending::State::kFailed;
        }
        done_.push_back(&p);
        return;
    }
    thread_local BerWriter writer(1024);
    encode_message(p.request, writer);
    p.datagram.assign(writer.data(), writer.data() + writer.size());
    p.tries_left = config.retries + 1;
    p.state = Pending::State::kWaiting;
    waiting_.push_back(&p);
    send_try(p);
}

void Dispatcher::send_try(Pending& p) {
    if (dump_) {
        dump_datagram("sent to", session_.peer, p.datagram.data(), p.datagram.size(), &p.request,
                      nullptr);
    }
    --p.tries_left;
    if (!send_datagram(session_, p.datagram.data(), p.datagram.size())) {
        capture_error(p);
        finish(p, Pending::State::kFailed);
        return;
    }
    p.deadline = Clock::now() + std::chrono::milliseconds(settings().timeout_ms);
}

void Dispatcher::expire(Pending& p) {
    if (p.tries_left > 0) {
        p.retried = true;
        if (p.before_retry) {
            p.before_retry(p.request);
            thread_local BerWriter writer(1024);
            encode_message(p.request, writer);
            p.datagram.assign(writer.data(), writer.data() + writer.size());
        }
        send_try(p);
        return;
    }
    record_no_answer(session_, settings(), p.undecodable);
    capture_error(p);
    finish(p, Pending::State::kFailed);
}

void Dispatcher::finish(Pending& p, Pending::State state) {
    p.state = state;
    waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), &p), waiting_.end());
    done_.push_back(&p);
    if (state == Pending::State::kAnswered) {
        auto& spent = session_.spent_ids;
        spent.push_back(p.request.request_id);
        if (spent.size() > kSpentIds) spent.pop_front();
    }
}

void Dispatcher::fail_all(int code, const char* detail) {
    set_error(code, detail);
    while (!waiting_.empty()) {
        Pending& p = *waiting_.front();
        capture_error(p);
        finish(p, Pending::State::kFailed);
    }
}

Pending* Dispatcher::next() {
    for (;;) {
        if (!done_.empty()) {
            Pending* p = done_.front();
            done_.pop_front();
            return p;
        }
        if (waiting_.empty()) return nullptr;
        auto nearest = waiting_.front()->deadline;
        for (const Pending* p : waiting_) nearest = std::min(nearest, p->deadline);
        const Wait wait = wait_readable(session_.fd, nearest);
        if (wait == Wait::kFailed) {
            fail_all(ZorvsnmpErrno, nullptr);
        } else if (wait == Wait::kReady) {
            receive_one();
        } else {
            const auto now = Clock::now();
            // A copy: expiring a request changes the list.
            const std::vector<Pending*> due = waiting_;
            for (Pending* p : due) {
                if (p->deadline <= now) expire(*p);
            }
        }
    }
}

bool Dispatcher::receive_one() {
    thread_local std::vector<uint8_t> buffer;
    thread_local Message candidate;
    buffer.resize(kMaxDatagram + 1);
    Datagram d{buffer};
    const Received received = receive(session_.fd, d);
    if (received == Received::kFailed) {
        fail_all(ZorvsnmpErrno, nullptr);
        return false;
    }
    if (received == Received::kNothing) return true;
    const size_t kept = std::min(d.size, kMaxDatagram);
    const char* why = nullptr;
    bool decoded = false;
    Pending* owner = nullptr;
    if (!same_peer(session_, d.from, d.from_length)) {
        why = "not from the node";
    } else if (d.size > kMaxDatagram) {
        why = "too long";
    } else if (!decode_message(d.bytes.data(), d.size, candidate, &why)) {
        // why says what did not decode
    } else {
        decoded = true;
        if (candidate.pdu_type != kPduResponse) {
            why = "not a response";
        } else {
            for (Pending* p : waiting_) {
                if (p->request.request_id == candidate.request_id) owner = p;
            }
            if (!owner) {
                const auto& spent = session_.spent_ids;
                why = std::find(spent.begin(), spent.end(), candidate.request_id) != spent.end()
                          ? "duplicate of an answer taken"
                          : "other request id";
            } else {
                why = mismatch(owner->request, candidate);
            }
        }
    }
    if (why) {
        // The node's undecodable datagram says more than silence would, to whoever waits.
        if (!decoded && std::string_view(why) != "not from the node") {
            for (Pending* p : waiting_) p->undecodable = why;
        }
        if (dump_) {
            char peer[64];
            peer_text(d.from, peer, sizeof peer);
            dump_datagram("dropped from", peer, d.bytes.data(), kept,
                          decoded ? &candidate : nullptr, why);
        }
        return true;
    }
    if (dump_) {
        dump_datagram("received from", session_.peer, d.bytes.data(), d.size, &candidate, nullptr);
    }
    // The answer's values point into the buffer, which goes with it.
    std::swap(buffer, owner->answer_bytes);
    std::swap(candidate, owner->response);
    finish(*owner, Pending::State::kAnswered);
    return true;
}

}  // namespace snmp
