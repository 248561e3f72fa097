#include "tests/support/fake_v3_agent.h"

#include "runtime/snmp/message.h"

namespace testing_support {

namespace {

const std::vector<uint32_t> kUnknownEngineIds = {1, 3, 6, 1, 6, 3, 15, 1, 1, 4, 0};

std::string as_string(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

FakeUsm::FakeUsm(const snmp::UsmUser& user, std::vector<uint8_t> engine, int32_t boots,
                 int32_t time) {
    peer_.user = user;
    snmp::set_engine(peer_, engine, boots, time, snmp::UsmClock::now(), nullptr);
    peer_.salt = 0x5a5a0000;
}

bool FakeUsm::unwrap(const uint8_t* data, size_t size, FakeV3Request& out) {
    snmp::V3Answer a;
    if (!snmp::unwrap_message(peer_, data, size, a, plaintext_, nullptr)) return false;
    // Only requests at the user's own level are served.
    const bool auth = (a.message.flags & snmp::kFlagAuth) != 0;
    const bool priv = (a.message.flags & snmp::kFlagPriv) != 0;
    const snmp::SecurityLevel level = priv   ? snmp::SecurityLevel::kAuthPriv
                                      : auth ? snmp::SecurityLevel::kAuthNoPriv
                                             : snmp::SecurityLevel::kNoAuthNoPriv;
    if (level != peer_.user.level || a.message.usm.engine_id.empty()) return false;
    out.msg_id = a.message.msg_id;
    out.time = a.message.usm.time;
    out.salt.assign(a.message.usm.priv.begin(), a.message.usm.priv.end());
    out.context.assign(a.scoped.context_name.begin(), a.scoped.context_name.end());
    return snmp::decode_pdu(a.scoped.pdu.data(), a.scoped.pdu.size(), out.pdu, nullptr);
}

bool FakeUsm::discovery_report(const uint8_t* data, size_t size, std::string& out) {
    snmp::V3Message m;
    if (!snmp::decode_v3_message(data, size, m, nullptr) || !m.usm.engine_id.empty()) return false;
    snmp::ScopedPdu scoped;
    FakeV3Request request;
    request.msg_id = m.msg_id;
    if (!snmp::decode_scoped_pdu(m.data, 0, scoped, nullptr) ||
        !snmp::decode_pdu(scoped.pdu.data(), scoped.pdu.size(), request.pdu, nullptr))
        return false;
    out = report(request, kUnknownEngineIds, snmp::SecurityLevel::kNoAuthNoPriv, discovery_change);
    return true;
}

std::string FakeUsm::response(const FakeV3Request& request, const FakeAnswer& answer,
                              const FakeV3Change& change) {
    const snmp::Message pdu = response_message(request.pdu, answer, request.pdu.request_id);
    return wrap(peer_, request.msg_id, request.context, pdu, change);
}

std::string FakeUsm::report(const FakeV3Request& request, const std::vector<uint32_t>& counter,
                            snmp::SecurityLevel level, const FakeV3Change& change) {
    FakeAnswer answer;
    answer.bindings.push_back(unsigned32(counter, ASN_COUNTER, 1));
    snmp::Message pdu = response_message(request.pdu, answer, request.pdu.request_id);
    pdu.pdu_type = snmp::kPduReport;
    snmp::UsmPeer peer = peer_;
    peer.user.level = level;
    if (level == snmp::SecurityLevel::kNoAuthNoPriv) peer.user.name.clear();
    return wrap(peer, request.msg_id, request.context, pdu, change);
}

std::string FakeUsm::wrap(snmp::UsmPeer peer, int32_t msg_id, const std::string& context,
                          const snmp::Message& pdu, const FakeV3Change& change) {
    if (change.unauthenticated) peer.user.level = snmp::SecurityLevel::kNoAuthNoPriv;
    // An id no engine may have goes out as it is, in a message that carries no digest.
    if (!change.engine.empty() &&
        !snmp::set_engine(peer, change.engine, peer.engine.boots, peer.engine.time,
                          peer.engine.time_taken, nullptr))
        peer.engine.id = change.engine;
    peer.engine.time += change.time_offset;
    snmp::V3Request r;
    r.msg_id = msg_id;
    r.max_size = change.max_size;
    r.context_name = context;
    std::vector<uint8_t> datagram;
    snmp::wrap_request(
        peer, r, [&pdu](snmp::BerWriter& w) { snmp::encode_pdu(pdu, w); }, snmp::UsmClock::now(),
        datagram, nullptr);
    peer_.salt = peer.salt;
    if (change.flip_digest) {
        snmp::V3Message m;
        snmp::decode_v3_message(datagram.data(), datagram.size(), m, nullptr);
        datagram[m.auth_offset] ^= 0x01;
    }
    return as_string(datagram);
}

FakeRawHandler serve_v3(FakeUsm& usm, FakeV3Handler answer) {
    return [&usm, answer](const uint8_t* data, size_t size, int number) {
        FakeReply reply;
        std::string report;
        if (usm.discovery_report(data, size, report)) {
            reply.datagrams.push_back(report);
            return reply;
        }
        FakeV3Request request;
        if (usm.unwrap(data, size, request)) reply.datagrams = answer(request, number);
        return reply;
    };
}

}  // namespace testing_support
