// A scripted SNMP agent for fault tests: a UDP server thread on 127.0.0.1 with a free port.
// Each request that decodes is handed to a handler, which says what to send back: nothing
// (silence), the answer, datagrams from another port first, a wrong request id, malformed
// bytes, an error status, a short or out-of-order answer.
//
//   FakeMib mib;
//   mib.add(octets({1, 3, 6, 1, 2, 1, 1, 1, 0}, "router"));
//   FakeAgent agent(serve(mib));                         // a well-behaved agent
//   FakeAgent silent([](const snmp::Message&, int) { return FakeReply{}; });
//   ... "-node" agent.endpoint() ...
#pragma once

#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/snmp/message.h"

namespace testing_support {

// One binding as the agent holds or sends it.
struct FakeBinding {
    std::vector<uint32_t> name;
    uint8_t tag = ASN_NULL;
    int64_t number = 0;         // INTEGER and the unsigned 32-bit types
    uint64_t counter64 = 0;     // Counter64
    std::string bytes;          // OCTET STRING, IpAddress, Opaque, NsapAddress
    std::vector<uint32_t> oid;  // OBJECT IDENTIFIER
};

FakeBinding integer(std::vector<uint32_t> name, int32_t value);
FakeBinding unsigned32(std::vector<uint32_t> name, uint8_t tag, uint32_t value);
FakeBinding counter64(std::vector<uint32_t> name, uint64_t value);
FakeBinding octets(std::vector<uint32_t> name, std::string value, uint8_t tag = ASN_OCTET_STRING);
FakeBinding object_id(std::vector<uint32_t> name, std::vector<uint32_t> value);
FakeBinding exception(std::vector<uint32_t> name, uint8_t tag);  // 0x80, 0x81, 0x82

struct FakeAnswer {
    std::vector<FakeBinding> bindings;
    int32_t error_status = 0;
    int32_t error_index = 0;
};

// A Response to `request` (its version, community and request id unless `request_id` is given).
std::string encode_response(const snmp::Message& request, const FakeAnswer& answer);
std::string encode_response(const snmp::Message& request, const FakeAnswer& answer,
                            int32_t request_id);
// The Response as a message, whose names and values point into `answer`.
snmp::Message response_message(const snmp::Message& request, const FakeAnswer& answer,
                               int32_t request_id);

// Objects in identifier order, answering Get, GetNext and GetBulk as an agent of the request's
// version does (SNMPv1 with noSuchName, SNMPv2c with the exceptions), with at most
// `max_bindings` bindings in a GetBulk answer.
class FakeMib {
  public:
    void add(FakeBinding binding);
    FakeAnswer answer(const snmp::Message& request, size_t max_bindings = 64) const;
    size_t size() const { return objects_.size(); }

  private:
    const FakeBinding* next_after(const uint32_t* name, uint32_t length) const;
    std::map<std::vector<uint32_t>, FakeBinding> objects_;
};

// What the agent sends for one request: `strays` from a second socket (another port) first,
// then `datagrams` from its own port. Both empty: silence.
struct FakeReply {
    std::vector<std::string> strays;
    std::vector<std::string> datagrams;
};

// `number` counts the requests received so far, from 0. Called on the agent's thread.
using FakeHandler = std::function<FakeReply(const snmp::Message& request, int number)>;
// The same for every datagram as it came, for agents that decode it themselves (SNMPv3).
using FakeRawHandler = std::function<FakeReply(const uint8_t* data, size_t size, int number)>;
struct RawDatagrams {};

// The handler of a well-behaved agent serving `mib` (which must outlive the agent).
FakeHandler serve(const FakeMib& mib, size_t max_bindings = 64);

// Answers as `inner` does, but out of step with the requests: kReorder holds every odd-numbered
// request's answers back and sends them after the next request's; kDuplicate sends every answer
// twice; kEarlierTry leaves request 1 unanswered and sends its answer after request 2's (which
// may be its own retry).
enum class Misstep { kReorder, kDuplicate, kEarlierTry };
FakeHandler out_of_step(FakeHandler inner, Misstep how);

// For relays: sends `datagram` to the agent on 127.0.0.1:`port` from a socket of its own and
// returns the agent's answer, or nothing after `wait_ms`.
std::vector<std::string> forward_datagram(uint16_t port, const std::string& datagram, int wait_ms);

// What the agent received, for counting requests and checking their contents.
struct FakeRequestRecord {
    uint8_t pdu_type = 0;
    int32_t version = 0;
    int32_t request_id = 0;
    int32_t error_index = 0;  // max-repetitions for GetBulk
    std::string community;
    std::vector<std::vector<uint32_t>> names;
    uint16_t from_port = 0;  // the requester's source port
};

class FakeAgent {
  public:
    // On 127.0.0.1, or on ::1 when `ipv6`.
    explicit FakeAgent(FakeHandler handler, bool ipv6 = false);
    // Every datagram goes to `handler` undecoded; received() records only the sender's port.
    FakeAgent(FakeRawHandler handler, RawDatagrams);
    ~FakeAgent();
    FakeAgent(const FakeAgent&) = delete;
    FakeAgent& operator=(const FakeAgent&) = delete;

    bool ok() const { return fd_ >= 0; }  // false when the address family is unavailable
    uint16_t port() const { return port_; }
    // The "-node" text that reaches the agent.
    std::string endpoint() const {
        return (ipv6_ ? "[::1]:" : "127.0.0.1:") + std::to_string(port_);
    }
    int requests() const;
    // From now on a request that was already waiting when the agent finished the one before is
    // dropped unless its id was seen before: an agent that loses bursts but answers retries.
    void drop_bursts() { drop_bursts_ = true; }
    std::vector<FakeRequestRecord> received() const;

  private:
    void serve_loop();
    void send_reply(const FakeReply& reply, const sockaddr_storage& to, socklen_t length) const;

    FakeHandler handler_;
    FakeRawHandler raw_handler_;
    int fd_ = -1;
    int stray_fd_ = -1;
    uint16_t port_ = 0;
    bool ipv6_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<bool> drop_bursts_{false};
    mutable std::mutex mutex_;
    std::vector<FakeRequestRecord> received_;
    std::thread thread_;
};

}  // namespace testing_support
