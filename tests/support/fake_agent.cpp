#include "tests/support/fake_agent.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "runtime/snmp/ber.h"

namespace testing_support {

FakeBinding integer(std::vector<uint32_t> name, int32_t value) {
    FakeBinding b;
    b.name = std::move(name);
    b.tag = ASN_INTEGER;
    b.number = value;
    return b;
}

FakeBinding unsigned32(std::vector<uint32_t> name, uint8_t tag, uint32_t value) {
    FakeBinding b;
    b.name = std::move(name);
    b.tag = tag;
    b.number = value;
    return b;
}

FakeBinding counter64(std::vector<uint32_t> name, uint64_t value) {
    FakeBinding b;
    b.name = std::move(name);
    b.tag = ASN_COUNTER64;
    b.counter64 = value;
    return b;
}

FakeBinding octets(std::vector<uint32_t> name, std::string value, uint8_t tag) {
    FakeBinding b;
    b.name = std::move(name);
    b.tag = tag;
    b.bytes = std::move(value);
    return b;
}

FakeBinding object_id(std::vector<uint32_t> name, std::vector<uint32_t> value) {
    FakeBinding b;
    b.name = std::move(name);
    b.tag = ASN_OBJECT_ID;
    b.oid = std::move(value);
    return b;
}

FakeBinding exception(std::vector<uint32_t> name, uint8_t tag) {
    FakeBinding b;
    b.name = std::move(name);
    b.tag = tag;
    return b;
}

snmp::Message response_message(const snmp::Message& request, const FakeAnswer& answer,
                               int32_t request_id) {
    snmp::Message m;
    m.version = request.version;
    m.community = request.community;
    m.pdu_type = snmp::kPduResponse;
    m.request_id = request_id;
    m.error_status = answer.error_status;
    m.error_index = answer.error_index;
    for (const FakeBinding& f : answer.bindings) {
        snmp::Binding b{f.name.data(), static_cast<uint32_t>(f.name.size()), f.tag, {}};
        switch (f.tag) {
            case ASN_INTEGER:
                b.value.integer = static_cast<int32_t>(f.number);
                break;
            case ASN_COUNTER:
            case ASN_GAUGE:
            case ASN_TIME_TICKS:
            case ASN_UINTEGER:
                b.value.uinteger = static_cast<uint32_t>(f.number);
                break;
            case ASN_COUNTER64:
                b.value.counter64 = f.counter64;
                break;
            case ASN_OCTET_STRING:
            case ASN_IP_ADDRESS:
            case ASN_OPAQUE:
            case ASN_NSAP_ADDRESS:
                b.value.string.length = static_cast<int32_t>(f.bytes.size());
                b.value.string.bytes = reinterpret_cast<const uint8_t*>(f.bytes.data());
                break;
            case ASN_OBJECT_ID:
                b.value.string.length = static_cast<int32_t>(f.oid.size());
                b.value.string.ids = f.oid.data();
                break;
            default:
                break;
        }
        m.bindings.push_back(b);
    }
    return m;
}

std::string encode_response(const snmp::Message& request, const FakeAnswer& answer,
                            int32_t request_id) {
    const snmp::Message m = response_message(request, answer, request_id);
    snmp::BerWriter w;
    snmp::encode_message(m, w);
    return std::string(reinterpret_cast<const char*>(w.data()), w.size());
}

std::string encode_response(const snmp::Message& request, const FakeAnswer& answer) {
    return encode_response(request, answer, request.request_id);
}

void FakeMib::add(FakeBinding binding) {
    auto name = binding.name;
    objects_[std::move(name)] = std::move(binding);
}

const FakeBinding* FakeMib::next_after(const uint32_t* name, uint32_t length) const {
    const auto it = objects_.upper_bound(std::vector<uint32_t>(name, name + length));
    return it == objects_.end() ? nullptr : &it->second;
}

FakeAnswer FakeMib::answer(const snmp::Message& request, size_t max_bindings) const {
    FakeAnswer a;
    const bool v1 = request.version == snmp::kVersion1;
    const auto& in = request.bindings;
    auto echo = [&](int32_t status, size_t index) {
        FakeAnswer e;
        e.error_status = status;
        e.error_index = static_cast<int32_t>(index + 1);
        for (const auto& b : in) {
            FakeBinding echoed;
            echoed.name.assign(b.name, b.name + b.name_length);
            e.bindings.push_back(std::move(echoed));
        }
        return e;
    };
    if (request.pdu_type == snmp::kPduGet || request.pdu_type == snmp::kPduGetNext) {
        for (size_t i = 0; i < in.size(); ++i) {
            const std::vector<uint32_t> name(in[i].name, in[i].name + in[i].name_length);
            const FakeBinding* found = nullptr;
            if (request.pdu_type == snmp::kPduGet) {
                const auto it = objects_.find(name);
                if (it != objects_.end()) found = &it->second;
            } else {
                found = next_after(in[i].name, in[i].name_length);
            }
            if (found) {
                a.bindings.push_back(*found);
            } else if (v1) {
                return echo(2, i);
            } else {
                a.bindings.push_back(exception(name, request.pdu_type == snmp::kPduGet
                                                         ? snmp::kTagNoSuchInstance
                                                         : snmp::kTagEndOfMibView));
            }
        }
        return a;
    }
    if (request.pdu_type == snmp::kPduGetBulk) {
        const size_t non_repeaters =
            std::min(in.size(), static_cast<size_t>(std::max(0, request.error_status)));
        const size_t repetitions = static_cast<size_t>(std::max(0, request.error_index));
        std::vector<std::vector<uint32_t>> at;
        for (const auto& b : in) at.emplace_back(b.name, b.name + b.name_length);
        auto step = [&](size_t i) {
            const FakeBinding* found =
                next_after(at[i].data(), static_cast<uint32_t>(at[i].size()));
            if (found) {
                a.bindings.push_back(*found);
                at[i] = found->name;
                return true;
            }
            a.bindings.push_back(exception(at[i], snmp::kTagEndOfMibView));
            return false;
        };
        for (size_t i = 0; i < non_repeaters && a.bindings.size() < max_bindings; ++i) step(i);
        for (size_t r = 0; r < repetitions && in.size() > non_repeaters; ++r) {
            bool any = false;
            for (size_t i = non_repeaters; i < in.size(); ++i) {
                if (a.bindings.size() >= max_bindings) return a;
                any = step(i) || any;
            }
            if (!any) break;
        }
        return a;
    }
    a.error_status = 5;  // genErr for anything else
    return a;
}

FakeHandler serve(const FakeMib& mib, size_t max_bindings) {
    return [&mib, max_bindings](const snmp::Message& request, int) {
        FakeReply reply;
        reply.datagrams.push_back(encode_response(request, mib.answer(request, max_bindings)));
        return reply;
    };
}

FakeHandler out_of_step(FakeHandler inner, Misstep how) {
    auto held = std::make_shared<std::vector<std::string>>();
    return [inner = std::move(inner), how, held](const snmp::Message& request, int number) {
        FakeReply reply = inner(request, number);
        auto& out = reply.datagrams;
        switch (how) {
            case Misstep::kDuplicate:
                out.insert(out.end(), out.begin(), out.end());
                break;
            case Misstep::kReorder:
            case Misstep::kEarlierTry:
                if (number % 2 == 1 && (how == Misstep::kReorder || number == 1)) {
                    held->swap(out);
                } else {
                    out.insert(out.end(), held->begin(), held->end());
                    held->clear();
                }
                break;
        }
        return reply;
    };
}

namespace {

// True when a datagram waits on `fd`.
bool waiting(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1;
}

int loopback_socket(bool ipv6, uint16_t& port) {
    const int fd = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_storage storage{};
    socklen_t len = 0;
    if (ipv6) {
        auto& a = reinterpret_cast<sockaddr_in6&>(storage);
        a.sin6_family = AF_INET6;
        a.sin6_addr = in6addr_loopback;
        len = sizeof a;
    } else {
        auto& a = reinterpret_cast<sockaddr_in&>(storage);
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        len = sizeof a;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&storage), len) != 0) {
        close(fd);
        return -1;
    }
    getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &len);
    port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6&>(storage).sin6_port
                      : reinterpret_cast<sockaddr_in&>(storage).sin_port);
    return fd;
}

uint16_t port_of(const sockaddr_storage& a) {
    if (a.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(a).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(a).sin_port);
}

}  // namespace

FakeAgent::FakeAgent(FakeHandler handler, bool ipv6) : handler_(std::move(handler)), ipv6_(ipv6) {
    fd_ = loopback_socket(ipv6, port_);
    uint16_t unused = 0;
    stray_fd_ = loopback_socket(ipv6, unused);
    thread_ = std::thread([this] { serve_loop(); });
}

FakeAgent::FakeAgent(FakeRawHandler handler, RawDatagrams) : raw_handler_(std::move(handler)) {
    fd_ = loopback_socket(false, port_);
    uint16_t unused = 0;
    stray_fd_ = loopback_socket(false, unused);
    thread_ = std::thread([this] { serve_loop(); });
}

FakeAgent::~FakeAgent() {
    stop_ = true;
    thread_.join();
    if (fd_ >= 0) close(fd_);
    if (stray_fd_ >= 0) close(stray_fd_);
}

int FakeAgent::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(received_.size());
}

std::vector<FakeRequestRecord> FakeAgent::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

void FakeAgent::serve_loop() {
    std::vector<uint8_t> buffer(65536);
    snmp::Message request;
    bool burst = false;  // the request came while the one before was handled
    while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        sockaddr_storage from{};
        socklen_t from_length = sizeof from;
        const ssize_t got = recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                     reinterpret_cast<sockaddr*>(&from), &from_length);
        if (got <= 0) continue;
        if (raw_handler_) {
            int number = 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                number = static_cast<int>(received_.size());
                received_.push_back(FakeRequestRecord{});
                received_.back().from_port = port_of(from);
            }
            send_reply(raw_handler_(buffer.data(), static_cast<size_t>(got), number), from,
                       from_length);
            continue;
        }
        if (!snmp::decode_message(buffer.data(), static_cast<size_t>(got), request, nullptr)) {
            continue;
        }
        int number = 0;
        bool drop = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (drop_bursts_ && burst) {
                drop = std::none_of(received_.begin(), received_.end(), [&](const auto& r) {
                    return r.request_id == request.request_id;
                });
            }
            number = static_cast<int>(received_.size());
            FakeRequestRecord record;
            record.pdu_type = request.pdu_type;
            record.version = request.version;
            record.request_id = request.request_id;
            record.error_index = request.error_index;
            record.community = std::string(request.community);
            record.from_port = port_of(from);
            for (const auto& b : request.bindings) {
                record.names.emplace_back(b.name, b.name + b.name_length);
            }
            received_.push_back(std::move(record));
        }
        if (!drop) send_reply(handler_(request, number), from, from_length);
        burst = waiting(fd_);
    }
}

std::vector<std::string> forward_datagram(uint16_t port, const std::string& datagram, int wait_ms) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    std::vector<std::string> answer;
    pollfd p{fd, POLLIN, 0};
    std::vector<char> buffer(65536);
    if (poll(&p, 1, wait_ms) == 1) {
        const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
        if (n > 0) answer.emplace_back(buffer.data(), static_cast<size_t>(n));
    }
    close(fd);
    return answer;
}

void FakeAgent::send_reply(const FakeReply& reply, const sockaddr_storage& from,
                           socklen_t from_length) const {
    for (const auto& d : reply.strays) {
        sendto(stray_fd_, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&from),
               from_length);
    }
    for (const auto& d : reply.datagrams) {
        sendto(fd_, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&from), from_length);
    }
}

}  // namespace testing_support
