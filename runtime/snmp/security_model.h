// How a session's requests are wrapped and its answers read: the community of SNMPv1/v2c or the
// SNMPv3 user-based model. The dispatcher runs every version through one, so it never asks which.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace snmp {

struct Arrival;
struct Pending;
struct Session;
struct Settings;

// What one datagram means to the requests waiting.
struct Verdict {
    enum class Kind {
        kDrop,         // nobody's answer: `why`
        kAnswer,       // `owner`'s answer, now in its response
        kResend,       // `owner` goes out again at once, not counted as a try
        kFailRequest,  // `owner` fails with the error recorded
        kFailRun,      // the agent refused us: every request fails with the error recorded
    };
    Kind kind = Kind::kDrop;
    Pending* owner = nullptr;
    const char* why = nullptr;
    bool undecodable = false;  // the node sent something that does not decode
};

class SecurityModel {
  public:
    virtual ~SecurityModel() = default;
    virtual bool user_based() const = 0;
    // True with the error recorded once the agent has refused us for the run.
    virtual bool refused() const = 0;
    // Whether a discovery probe must be answered before requests can be wrapped, and the probe.
    virtual bool needs_discovery() const = 0;
    virtual void make_probe(Pending& probe) = 0;
    // A request about to be submitted under a fresh request id.
    virtual void start(Pending& p) = 0;
    // Wraps the request's PDU for its next try into its datagram; false with the error recorded.
    virtual bool wrap(Pending& p) = 0;
    // Reads a datagram and finds which of the waiting requests it answers.
    virtual Verdict unwrap(const Arrival& a, const std::vector<Pending*>& waiting) = 0;
    // After the request's last try went unanswered: true with the error recorded when that
    // means the agent refused us.
    virtual bool unanswered(Pending& p) = 0;
};

// The model the settings ask for, for the session's node.
std::unique_ptr<SecurityModel> make_community_model(Session& session);
std::unique_ptr<SecurityModel> make_usm_model(Session& session, const Settings& config);

}  // namespace snmp
