// SNMPv1/v2c: the request goes out as it is, and an answer is the Response that carries a
// waiting request's id under its version and community.
#include <algorithm>
#include <string_view>
#include <utility>

#include "runtime/snmp/dispatcher.h"
#include "runtime/snmp/packet_dump.h"
#include "runtime/snmp/security_model.h"
#include "runtime/snmp/snmp.h"
#include "runtime/snmp/socket_io.h"

namespace snmp {

namespace {

// Why a decoded datagram is not the answer to the request whose id it carries.
const char* mismatch(const Message& request, const Message& response) {
    // An answer under another version or community was not asked for in this session.
    if (response.version != request.version) return "other version";
    if (response.community != request.community) return "other community";
    return nullptr;
}

class CommunityModel final : public SecurityModel {
  public:
    explicit CommunityModel(Session& session) : session_(session) {}

    bool user_based() const override { return false; }
    bool refused() const override { return false; }
    bool needs_discovery() const override { return false; }
    void make_probe(Pending&) override {}
    void start(Pending&) override {}

    bool wrap(Pending& p) override {
        thread_local BerWriter writer(1024);
        encode_message(p.request, writer);
        p.datagram.assign(writer.data(), writer.data() + writer.size());
        if (ZorvsnmpDumpPacket == 1) {
            dump_datagram("sent to", session_.peer, p.datagram.data(), p.datagram.size(),
                          &p.request, nullptr);
        }
        return true;
    }

    Verdict unwrap(const Arrival& a, const std::vector<Pending*>& waiting) override;

    bool unanswered(Pending&) override { return false; }

  private:
    // Why the decoded candidate is nobody's answer, or null with `owner` set.
    const char* owner_of(const std::vector<Pending*>& waiting, Pending*& owner) const;

    Session& session_;
    Message candidate_;
};

const char* CommunityModel::owner_of(const std::vector<Pending*>& waiting, Pending*& owner) const {
    if (candidate_.pdu_type != kPduResponse) return "not a response";
    for (Pending* p : waiting) {
        if (p->request.request_id == candidate_.request_id) owner = p;
    }
    if (owner) return mismatch(owner->request, candidate_);
    const auto& spent = session_.spent_ids;
    return std::find(spent.begin(), spent.end(), candidate_.request_id) != spent.end()
               ? "duplicate of an answer taken"
               : "other request id";
}

Verdict CommunityModel::unwrap(const Arrival& a, const std::vector<Pending*>& waiting) {
    Verdict v;
    bool decoded = false;
    if (const char* why = refusal_before_decoding(a, v.undecodable)) {
        v.why = why;
    } else if (!decode_message(a.buffer.data(), a.size, candidate_, &v.why)) {
        v.undecodable = true;
    } else {
        decoded = true;
        v.why = owner_of(waiting, v.owner);
    }
    if (ZorvsnmpDumpPacket == 1) {
        char peer[64];
        peer_text(a.from, peer, sizeof peer);
        dump_datagram(v.why ? "dropped from" : "received from", v.why ? peer : session_.peer,
                      a.buffer.data(), a.size, decoded ? &candidate_ : nullptr, v.why);
    }
    if (v.why) {
        v.owner = nullptr;
        return v;
    }
    // The answer's values point into the buffer, which goes with it.
    std::swap(a.buffer, v.owner->answer_bytes);
    std::swap(candidate_, v.owner->response);
    v.kind = Verdict::Kind::kAnswer;
    return v;
}

}  // namespace

std::unique_ptr<SecurityModel> make_community_model(Session& session) {
    return std::make_unique<CommunityModel>(session);
}

}  // namespace snmp
