// The SNMPv3 decoder and the unwrap path on arbitrary datagrams: nothing may be read outside
// the input, what decodes must encode again to the same fields, and a message made out to the
// fixed user gets a right digest so that decryption, the scoped PDU decoder and the PDU decoder
// are reached.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/snmp/message.h"
#include "runtime/snmp/usm.h"
#include "runtime/snmp/v3_message.h"

namespace {

using namespace snmp;

const uint8_t kEngine[] = {0x80, 0x00, 0x1f, 0x88, 0x80, 0x5a, 0x6f, 0x72, 0x76, 0x21, 0x01};

// The user the seed corpus was made for, under four protocol pairs chosen by msgID % 4.
std::vector<UsmPeer> make_peers() {
    struct Pair {
        AuthProtocol auth;
        PrivProtocol priv;
    };
    const Pair pairs[] = {{AuthProtocol::kSha1, PrivProtocol::kAes128},
                          {AuthProtocol::kMd5, PrivProtocol::kDes},
                          {AuthProtocol::kSha512, PrivProtocol::k3DesEde},
                          {AuthProtocol::kSha224, PrivProtocol::kAes256Reeder}};
    std::vector<UsmPeer> peers;
    for (const Pair& p : pairs) {
        UsmPeer peer;
        peer.user = {"fuzz",        SecurityLevel::kAuthPriv, p.auth, "fuzzing-auth", p.priv,
                     "fuzzing-priv"};
        if (!set_engine(peer, ByteView(kEngine, sizeof kEngine), 1, 100, UsmClock::time_point{},
                        nullptr))
            std::abort();
        peers.push_back(peer);
    }
    return peers;
}

// Encodes the decoded message again and checks that it decodes to the same fields.
void check_round_trip(const V3Message& m) {
    BerWriter w;
    if (m.flags & kFlagPriv) {
        w.put_bytes(ASN_OCTET_STRING, m.data.data(), m.data.size());
    } else {
        ScopedPdu scoped;
        if (!decode_scoped_pdu(m.data, 0, scoped, nullptr)) return;
        BerReader item(scoped.pdu.data(), scoped.pdu.size());
        uint8_t tag = 0;
        BerReader contents(nullptr, 0);
        if (!item.read_item(tag, contents)) std::abort();
        encode_scoped_pdu(
            scoped.context_engine_id, scoped.context_name,
            [&](BerWriter& x) { x.put_bytes(tag, contents.position(), contents.left()); }, w);
    }
    V3Message copy = m;
    encode_v3_message(copy, w);
    V3Message again;
    if (!decode_v3_message(w.data(), w.size(), again, nullptr)) std::abort();
    auto same = [](ByteView a, ByteView b) {
        return a.size() == b.size() &&
               (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
    };
    if (again.msg_id != m.msg_id || again.max_size != m.max_size || again.flags != m.flags ||
        again.usm.boots != m.usm.boots || again.usm.time != m.usm.time ||
        !same(again.usm.engine_id, m.usm.engine_id) ||
        !same(again.usm.user_name, m.usm.user_name) || !same(again.usm.auth, m.usm.auth) ||
        !same(again.usm.priv, m.usm.priv) || ((m.flags & kFlagPriv) && !same(again.data, m.data)))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<UsmPeer> peers = make_peers();
    // A copy of exactly `size` bytes, so that any read past the end is caught.
    uint8_t* datagram = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (size) std::memcpy(datagram, data, size);
    V3Message m;
    if (!decode_v3_message(datagram, size, m, nullptr)) {
        std::free(datagram);
        return 0;
    }
    check_round_trip(m);

    const UsmPeer& peer = peers[static_cast<size_t>(m.msg_id) % peers.size()];
    const size_t digest_length = auth_info(peer.user.auth).digest_length;
    if ((m.flags & kFlagAuth) && m.usm.auth.size() == digest_length) {
        // Put the right digest in, so that the fuzzer gets past it.
        std::memset(datagram + m.auth_offset, 0, digest_length);
        uint8_t digest[64];
        Hmac hmac(auth_info(peer.user.auth).hash, peer.auth_key.view());
        hmac.update(ByteView(datagram, size));
        if (!hmac.finish(digest)) std::abort();
        std::memcpy(datagram + m.auth_offset, digest, digest_length);
    }
    V3Answer answer;
    std::vector<uint8_t> plaintext;
    if (unwrap_message(peer, datagram, size, answer, plaintext, nullptr)) {
        V3Request request;
        request.msg_id = answer.message.msg_id;
        match_answer(peer, request, answer, UsmClock::time_point{});
        if (answer.scoped.pdu.empty()) std::abort();
        // The PDU as an exchange reads it, and a report's kind.
        Message pdu;
        if (decode_pdu(answer.scoped.pdu.data(), answer.scoped.pdu.size(), pdu, nullptr) &&
            !pdu.bindings.empty())
            report_kind(pdu.bindings[0].name, pdu.bindings[0].name_length);
    }
    std::free(datagram);
    return 0;
}
