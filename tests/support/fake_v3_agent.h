// The agent's half of SNMPv3 for the scripted agent (fake_agent.h): one engine and one user,
// requests unwrapped with the user's keys, and answers that are right or wrong on purpose.
//
//   FakeUsm usm(user);
//   FakeAgent agent(serve_v3(usm, [&](const FakeV3Request& r, int) {
//       return std::vector<std::string>{usm.response(r, mib.answer(r.pdu))};
//   }), RawDatagrams{});
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/snmp/usm.h"
#include "tests/support/fake_agent.h"

namespace testing_support {

// A request as the agent read it. `pdu` points into the datagram: valid during the handler.
struct FakeV3Request {
    int32_t msg_id = 0;
    int32_t time = 0;  // the engine time the request carries
    std::string salt;  // its privacy parameters
    std::string context;
    snmp::Message pdu;
};

// What an answer gets wrong.
struct FakeV3Change {
    int32_t time_offset = 0;       // seconds added to the engine time it carries
    std::vector<uint8_t> engine;   // another engine's id (keys localized for it when it may be)
    bool flip_digest = false;      // a bit of the digest
    bool unauthenticated = false;  // sent at noAuthNoPriv
    int32_t max_size = snmp::kLargestMessage;  // the message size it announces
};

class FakeUsm {
  public:
    // The user must be usable at its level; the engine starts at `boots` and `time`.
    explicit FakeUsm(const snmp::UsmUser& user,
                     std::vector<uint8_t> engine = {0x80, 0x00, 0x1f, 0x88, 0x80, 0x5a, 0x6f, 0x72,
                                                    0x76},
                     int32_t boots = 3, int32_t time = 5000);

    // Unwraps a request of our user; false for one the agent cannot read or check.
    bool unwrap(const uint8_t* data, size_t size, FakeV3Request& out);
    // The engine's report to a discovery request (`data` is one; false when it is not).
    bool discovery_report(const uint8_t* data, size_t size, std::string& out);

    // A Response carrying `answer`, at the user's level unless `change` says otherwise.
    std::string response(const FakeV3Request& request, const FakeAnswer& answer,
                         const FakeV3Change& change = {});
    // A Report of the counter `counter` (an instance, "...15.1.1.2.0").
    std::string report(const FakeV3Request& request, const std::vector<uint32_t>& counter,
                       snmp::SecurityLevel level, const FakeV3Change& change = {});

    const snmp::UsmPeer& peer() const { return peer_; }

    // What the engine's discovery reports get wrong.
    FakeV3Change discovery_change;

  private:
    std::string wrap(snmp::UsmPeer peer, int32_t msg_id, const std::string& context,
                     const snmp::Message& pdu, const FakeV3Change& change);

    snmp::UsmPeer peer_;
    std::vector<uint8_t> plaintext_;
};

// Datagrams of an agent that speaks SNMPv3 as `usm`: discovery is answered with the engine's
// report, every other request the agent can read goes to `answer` (its datagrams are sent back),
// and anything else gets no answer.
using FakeV3Handler = std::function<std::vector<std::string>(const FakeV3Request&, int number)>;
FakeRawHandler serve_v3(FakeUsm& usm, FakeV3Handler answer);

}  // namespace testing_support
