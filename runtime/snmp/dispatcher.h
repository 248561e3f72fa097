// Requests in flight together on a session's socket: each outstanding request owns its datagram,
// its answer, its deadline, its tries and its result, and one receive loop hands every answer to
// the request whose id it carries.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "runtime/snmp/message.h"
#include "runtime/snmp/session.h"
#include "runtime/snmp/settings.h"

namespace snmp {

// Called before every try after the first with the request, whose fields (never its id) it may
// change for that try: the answer to any try is taken.
using RetryHook = std::function<void(Message& request)>;

// One outstanding request. Fill `request` (its names must outlive the request) and the hook;
// the dispatcher sets the id and everything below.
struct Pending {
    enum class State { kIdle, kWaiting, kAnswered, kFailed };

    Message request;
    RetryHook before_retry;
    State state = State::kIdle;
    // Answered: the answer, whose byte values point into `answer_bytes`.
    Message response;
    std::vector<uint8_t> answer_bytes;
    // Failed: the error and its text as ZorvsnmpErrString would give it.
    int error = 0;
    std::string error_text;
    // Some try went unanswered.
    bool retried = false;

    // The dispatcher's own.
    std::vector<uint8_t> datagram;
    std::chrono::steady_clock::time_point deadline;
    // timeout x (retries + 1) after the submit, the engine's discovery included.
    std::chrono::steady_clock::time_point give_up;
    int tries_left = 0;
    const char* undecodable = nullptr;  // why the node's last undecodable datagram was refused
    // The security model's: the SNMPv3 message ids of the tries, whether a time report made us
    // send again, how many answers failed our digest.
    V3Request v3;
    bool resynchronised = false;
    int wrong_digests = 0;

    // Makes the failure the last one recorded for the programs.
    void record_error() const;
};

class Dispatcher {
  public:
    explicit Dispatcher(Session& session);

    // Sends the request's first try, after the engine's discovery when the security model needs
    // it. A failure to send leaves it failed; next() hands it back either way.
    void submit(Pending& p);
    // Waits until some submitted request is answered or has spent its tries and hands it back,
    // finished requests in the order they finished; null when none is outstanding.
    Pending* next();
    size_t outstanding() const { return waiting_.size() + done_.size(); }

  private:
    // Sends the security model's probe and waits for it; false with the error recorded.
    bool discover(std::chrono::steady_clock::time_point give_up);
    // Waits once: for a datagram, or until the nearest deadline.
    void step();
    void send_try(Pending& p);
    void expire(Pending& p);
    // One datagram from the socket; false after a socket failure, which fails every request.
    bool receive_one();
    void finish(Pending& p, Pending::State state);
    void fail_all(int code, const char* detail);
    // Every waiting request fails with the error just recorded.
    void fail_waiting();

    Session& session_;
    SecurityModel& model_;
    std::vector<Pending*> waiting_;
    std::deque<Pending*> done_;
};

// Records why every try went unanswered: kErrUndecodable with `undecodable` (why the node's last
// datagram did not decode) when there is one, else kErrTimeout naming the tries.
void record_no_answer(const Session& session, const Settings& config, const char* undecodable);

// A fresh request id, shared by every request of the process.
int32_t next_request_id();

}  // namespace snmp
