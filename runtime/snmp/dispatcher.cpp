#include "runtime/snmp/dispatcher.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <utility>

#include "runtime/snmp/errors.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"
#include "runtime/snmp/socket_io.h"

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

// The session's model for the settings' version, made anew when the version changed.
SecurityModel& model_for(Session& session) {
    const bool user_based = settings().version == kVersion3;
    if (!session.security || session.security->user_based() != user_based) {
        session.security =
            user_based ? make_usm_model(session, settings()) : make_community_model(session);
    }
    return *session.security;
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

Dispatcher::Dispatcher(Session& session) : session_(session), model_(model_for(session)) {}

void Dispatcher::submit(Pending& p) {
    p.request.request_id = next_request_id();
    p.retried = false;
    p.undecodable = nullptr;
    p.error = 0;
    p.error_text.clear();
    p.state = Pending::State::kWaiting;
    const Settings& config = settings();
    p.give_up = Clock::now() + std::chrono::milliseconds(config.timeout_ms) * (config.retries + 1);
    if (model_.refused() || (model_.needs_discovery() && !discover(p.give_up))) {
        capture_error(p);
        p.state = Pending::State::kFailed;
        done_.push_back(&p);
        return;
    }
    model_.start(p);
    p.tries_left = config.retries + 1;
    waiting_.push_back(&p);
    send_try(p);
}

bool Dispatcher::discover(Clock::time_point give_up) {
    Pending probe;
    model_.make_probe(probe);
    probe.request.request_id = next_request_id();
    probe.give_up = give_up;
    probe.tries_left = settings().retries + 1;
    probe.state = Pending::State::kWaiting;
    waiting_.push_back(&probe);
    send_try(probe);
    while (probe.state == Pending::State::kWaiting) step();
    done_.erase(std::remove(done_.begin(), done_.end(), &probe), done_.end());
    if (probe.state == Pending::State::kAnswered) return true;
    probe.record_error();
    return false;
}

void Dispatcher::send_try(Pending& p) {
    if (!model_.wrap(p)) {
        capture_error(p);
        finish(p, Pending::State::kFailed);
        return;
    }
    --p.tries_left;
    if (!send_datagram(session_, p.datagram.data(), p.datagram.size())) {
        capture_error(p);
        finish(p, Pending::State::kFailed);
        return;
    }
    p.deadline =
        std::min(Clock::now() + std::chrono::milliseconds(settings().timeout_ms), p.give_up);
}

void Dispatcher::expire(Pending& p) {
    if (p.tries_left > 0 && Clock::now() < p.give_up) {
        p.retried = true;
        if (p.before_retry) p.before_retry(p.request);
        send_try(p);
        return;
    }
    if (model_.unanswered(p)) {
        fail_waiting();
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
    fail_waiting();
}

void Dispatcher::fail_waiting() {
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
        step();
    }
}

void Dispatcher::step() {
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
            if (p->state == Pending::State::kWaiting && p->deadline <= now) expire(*p);
        }
    }
}

bool Dispatcher::receive_one() {
    thread_local std::vector<uint8_t> buffer;
    buffer.resize(kMaxDatagram + 1);
    Datagram d{buffer};
    const Received received = receive(session_.fd, d);
    if (received == Received::kFailed) {
        fail_all(ZorvsnmpErrno, nullptr);
        return false;
    }
    if (received == Received::kNothing) return true;
    const Arrival a{buffer, std::min(d.size, kMaxDatagram), d.size > kMaxDatagram,
                    same_peer(session_, d.from, d.from_length), d.from};
    const Verdict v = model_.unwrap(a, waiting_);
    switch (v.kind) {
        case Verdict::Kind::kDrop:
            // The node's undecodable datagram says more than silence would, to whoever waits.
            if (v.undecodable) {
                for (Pending* p : waiting_) p->undecodable = v.why;
            }
            break;
        case Verdict::Kind::kAnswer:
            finish(*v.owner, Pending::State::kAnswered);
            break;
        case Verdict::Kind::kResend:
            ++v.owner->tries_left;
            send_try(*v.owner);
            break;
        case Verdict::Kind::kFailRequest:
            capture_error(*v.owner);
            finish(*v.owner, Pending::State::kFailed);
            break;
        case Verdict::Kind::kFailRun:
            fail_waiting();
            break;
    }
    return true;
}

}  // namespace snmp
