#include "runtime/snmp/request_sizing.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "runtime/snmp/settings.h"

namespace snmp {

namespace {

constexpr size_t kIpv4Headers = 20 + 8;  // IPv4 and UDP
constexpr size_t kIpv6Headers = 40 + 8;
constexpr size_t kLargestPayload = 65507;
// When the path cannot be asked: Ethernet's frame less the headers.
constexpr size_t kEthernetPayload = 1500 - kIpv4Headers;
// Growth leaves this share of the budget free for values larger than those seen so far.
constexpr size_t kHeadroomShare = 8;
// The message, community and PDU around the bindings, as far as a budget needs.
constexpr size_t kMessageOverhead = 32;
// No request asks for more than the largest max-repetitions a setting may give.
constexpr int kMostBindings = 10000;

// The path MTU to the node as the kernel knows it, from a socket connected for the purpose
// (connecting a UDP socket sends nothing); 0 when it cannot tell.
size_t path_mtu(const Session& session) {
    const int family = session.address.ss_family;
    const int fd = socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    int mtu = 0;
    socklen_t length = sizeof mtu;
    const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&session.address),
                            session.address_length) == 0 &&
                    (family == AF_INET6 ? getsockopt(fd, IPPROTO_IPV6, IPV6_MTU, &mtu, &length)
                                        : getsockopt(fd, IPPROTO_IP, IP_MTU, &mtu, &length)) == 0;
    close(fd);
    return ok && mtu > 0 ? static_cast<size_t>(mtu) : 0;
}

size_t length_octets(size_t n) {
    return n < 0x80 ? 1 : n < 0x100 ? 2 : n < 0x10000 ? 3 : 4;
}
size_t item(size_t content) {
    return 1 + length_octets(content) + content;
}

size_t base128_octets(uint64_t v) {
    size_t n = 1;
    while (v >>= 7) ++n;
    return n;
}

size_t unsigned_octets(uint64_t v) {
    size_t n = 2;  // with the leading zero a high first bit needs
    while (v >>= 8) ++n;
    return n;
}

size_t oid_octets(const uint32_t* ids, uint32_t count) {
    if (count < 2) return 1;
    size_t n = base128_octets(uint64_t{ids[0]} * 40 + ids[1]);
    for (uint32_t i = 2; i < count; ++i) n += base128_octets(ids[i]);
    return n;
}

size_t value_octets(const Binding& b) {
    if (has_bytes(b.tag)) return static_cast<size_t>(b.value.string.length);
    if (b.tag == ASN_OBJECT_ID)
        return oid_octets(b.value.string.ids, static_cast<uint32_t>(b.value.string.length));
    if (b.tag == ASN_COUNTER64) return unsigned_octets(b.value.counter64);
    if (b.tag == ASN_NULL || is_exception_tag(b.tag)) return 0;
    return 5;  // a 32-bit number at its longest
}

}  // namespace

size_t answer_budget(const Session& session) {
    const Settings& config = settings();
    if (config.max_answer_bytes > 0) return static_cast<size_t>(config.max_answer_bytes);
    const size_t headers = session.address.ss_family == AF_INET6 ? kIpv6Headers : kIpv4Headers;
    const size_t mtu = path_mtu(session);
    size_t budget = mtu > headers ? std::min(mtu - headers, kLargestPayload) : kEthernetPayload;
    if (session.v3.agent_max_size > 0)
        budget = std::min(budget, static_cast<size_t>(session.v3.agent_max_size));
    return budget;
}

size_t encoded_size(const Message& answer) {
    size_t bytes = kMessageOverhead + answer.community.size();
    for (const Binding& b : answer.bindings)
        bytes += item(item(oid_octets(b.name, b.name_length)) + item(value_octets(b)));
    return bytes;
}

RequestSizing::RequestSizing(int start, size_t byte_budget, bool grow)
    : size_(std::max(start, 1)), budget_(byte_budget), grow_(grow) {}

void RequestSizing::answered(int asked, int got, size_t bytes, bool ended) {
    if (got < asked && !ended) {
        // The agent's own limit: asking for more only gets cut short again.
        agent_cut_ = std::max(got, 1);
        worked_ = std::max(worked_, agent_cut_);
        size_ = agent_cut_;
        return;
    }
    worked_ = std::max(worked_, asked);
    // A size answered in full is not too big, whatever silence said before.
    if (asked >= refused_) refused_ = INT_MAX;
    // Without growth the size still climbs back towards the one refused.
    if (!grow_ && refused_ == INT_MAX) return;
    const int target = refused_ == INT_MAX
                           ? static_cast<int>(std::min(2 * int64_t{worked_}, int64_t{INT_MAX}))
                           : worked_ + (refused_ - worked_) / 2;
    int next = std::min({target, agent_cut_, refused_ - 1, kMostBindings});
    if (got > 0 && bytes > 0) {
        // As many bindings as fit the budget at the sizes just seen; never below what worked.
        size_t fit = budget_ * static_cast<size_t>(got) / bytes;
        fit -= fit / kHeadroomShare;
        next = std::min(next, std::max(static_cast<int>(std::min<size_t>(fit, kMostBindings)),
                                       std::min(asked, next)));
    }
    size_ = std::max(next, 1);
}

bool RequestSizing::refused(int asked) {
    if (asked <= 1) return false;
    refused_ = std::min(refused_, asked);
    // What worked before no longer does (larger values, a busier agent): halve afresh.
    if (worked_ >= refused_) worked_ = 0;
    const int next = worked_ > 0 ? worked_ + (refused_ - worked_) / 2 : asked / 2;
    size_ = std::max(std::min(next, agent_cut_), 1);
    return true;
}

}  // namespace snmp
