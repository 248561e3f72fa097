// How many bindings to ask for in one request, learnt from how the agent answers. Requests
// start at a given size; while answers come back full and under a byte budget the size grows,
// it never passes a size the agent cut its answer to, and a refusal (tooBig, or silence after
// a request larger than any answered) halves it until answers fit, after which it climbs back
// to the largest size that worked by halving the distance to the smallest size refused.
#pragma once

#include <climits>
#include <cstddef>

#include "runtime/snmp/message.h"
#include "runtime/snmp/session.h"

namespace snmp {

// The answer size in bytes that growth stays within: ZORVSNMP_MAX_ANSWER_BYTES when set, else
// the payload of one unfragmented UDP datagram on the path to the node (the largest a UDP
// datagram may carry on loopback), under SNMPv3 no more than the agent's msgMaxSize once known.
size_t answer_budget(const Session& session);

// The encoded size of an answer, close enough to judge it against the budget.
size_t encoded_size(const Message& answer);

class RequestSizing {
  public:
    // `grow`: false keeps the size at `start` at most.
    RequestSizing(int start, size_t byte_budget, bool grow);

    // The size of the next request, in bindings; at least 1.
    int bindings() const { return size_; }

    // An answer to a request of `asked` bindings that carried `got` bindings (`bytes` encoded).
    // `ended` says whether the answer reached the end of what was asked for (an exception or a
    // column end), when a short answer is not the agent cutting it short.
    void answered(int asked, int got, size_t bytes, bool ended);
    // tooBig, or silence, for a request of `asked` bindings. False when `asked` is one binding:
    // nothing smaller can be asked.
    bool refused(int asked);
    // Whether silence at `asked` bindings is worth taking as a refusal: larger than every
    // size that was answered, and more than one binding.
    bool silence_is_refusal(int asked) const { return grow_ && asked > 1 && asked > worked_; }

    // The largest size answered in full since the last refusal at or below it; 0 when none.
    int worked() const { return worked_; }

  private:
    int size_;
    int worked_ = 0;           // the largest size answered in full
    int refused_ = INT_MAX;    // the smallest size refused
    int agent_cut_ = INT_MAX;  // the size the agent last cut an answer to
    size_t budget_;
    bool grow_;
};

}  // namespace snmp
