// SNMPv3 under the user-based model: engine discovery once per session, every try wrapped anew
// for the user, answers unwrapped and matched by message id, reports turned into errors.
#include <algorithm>
#include <iterator>
#include <string>

#include "runtime/snmp/dispatcher.h"
#include "runtime/snmp/errors.h"
#include "runtime/snmp/packet_dump.h"
#include "runtime/snmp/security_model.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"
#include "runtime/snmp/socket_io.h"

namespace snmp {

namespace {

using Clock = UsmClock;
using Kind = Verdict::Kind;

constexpr uint32_t kMsgIdMask = 0x7FFFFFFF;

// Message ids start at a random point, like request ids, and every message has its own; 0
// stands for "not sent yet".
int32_t next_msg_id() {
    static uint32_t next = [] {
        uint32_t seed = 0;
        random_bytes(reinterpret_cast<uint8_t*>(&seed), sizeof seed);
        return seed;
    }();
    next = (next + 1) & kMsgIdMask;
    if (next == 0) next = 1;
    return static_cast<int32_t>(next);
}

// What a report means for the user, and the counter it names.
struct ReportError {
    ReportKind kind;
    int code;
    const char* counter;
};

constexpr ReportError kReportErrors[] = {
    {ReportKind::kUnknownUserName, kErrUnknownUser, "usmStatsUnknownUserNames"},
    {ReportKind::kUnsupportedSecurityLevel, kErrUnsupportedSecurityLevel,
     "usmStatsUnsupportedSecLevels"},
    {ReportKind::kWrongDigest, kErrWrongDigest, "usmStatsWrongDigests"},
    {ReportKind::kDecryptionError, kErrDecryptionFailed, "usmStatsDecryptionErrors"},
    {ReportKind::kUnknownContext, kErrUnknownContext, "snmpUnknownContexts"},
    {ReportKind::kUnavailableContext, kErrUnknownContext, "snmpUnavailableContexts"},
    {ReportKind::kNotInTimeWindow, kErrNotInTimeWindow, "usmStatsNotInTimeWindows"},
    {ReportKind::kUnknownEngineId, kErrReport, "usmStatsUnknownEngineIDs"},
    {ReportKind::kUnknownSecurityModel, kErrReport, "snmpUnknownSecurityModels"},
    {ReportKind::kInvalidMessage, kErrReport, "snmpInvalidMsgs"},
    {ReportKind::kUnknownPduHandler, kErrReport, "snmpUnknownPDUHandlers"},
    {ReportKind::kUnknown, kErrReport, "a counter this library does not know"},
};

const ReportError& report_error(ReportKind kind) {
    for (const ReportError& e : kReportErrors) {
        if (e.kind == kind) return e;
    }
    return kReportErrors[std::size(kReportErrors) - 1];
}

ReportKind first_report_kind(const Message& report) {
    if (report.bindings.empty()) return ReportKind::kUnknown;
    return report_kind(report.bindings[0].name, report.bindings[0].name_length);
}

ByteView bytes_of(const std::string& s) {
    return ByteView(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

bool sent_as(const V3Request& sent, int32_t msg_id) {
    return sent.msg_id == msg_id ||
           std::find(sent.earlier_msg_ids.begin(), sent.earlier_msg_ids.end(), msg_id) !=
               sent.earlier_msg_ids.end();
}

class UsmModel final : public SecurityModel {
  public:
    UsmModel(Session& session, const Settings& config)
        : session_(session), v3_(session.v3), config_(config) {}

    bool user_based() const override { return true; }
    bool refused() const override;
    bool needs_discovery() const override { return !v3_.discovered; }
    void make_probe(Pending& probe) override;
    void start(Pending& p) override;
    bool wrap(Pending& p) override;
    Verdict unwrap(const Arrival& a, const std::vector<Pending*>& waiting) override;
    bool unanswered(Pending& p) override;

  private:
    // Why the unwrapped answer is nobody's, or null with `owner` set.
    const char* owner_of(const std::vector<Pending*>& waiting, Pending*& owner) const;
    // What the accepted answer means for its request.
    Verdict take(Pending& owner);
    Verdict take_report(Pending& owner);
    void keep_pdu(Pending& owner) const;
    void dump_sent(const Pending& p) const;
    void dump_arrival(const Arrival& a, const char* why, bool unwrapped, bool decoded) const;
    bool refuse(int code, const char* detail);

    Session& session_;
    V3Session& v3_;
    const Settings& config_;
    V3Answer answer_{};
    Message candidate_;
    // The decrypted scoped PDU of the latest datagram.
    std::vector<uint8_t> plaintext_;
};

bool UsmModel::refused() const {
    if (!v3_.refused) return false;
    set_error(v3_.refused, v3_.refused_detail.c_str());
    return true;
}

void UsmModel::make_probe(Pending& probe) {
    UsmPeer& peer = v3_.peer;
    peer.user = config_.user;
    peer.user_keys = config_.user_keys;
    random_bytes(reinterpret_cast<uint8_t*>(&peer.salt), sizeof peer.salt);
    // A Get without bindings: only the Report it brings matters.
    probe.request.version = kVersion3;
    probe.request.pdu_type = kPduGet;
    probe.request.bindings.clear();
    start(probe);
    probe.v3.discovery = true;
}

void UsmModel::start(Pending& p) {
    p.v3 = V3Request{};
    p.v3.context_name = config_.context;
    p.resynchronised = false;
    p.wrong_digests = 0;
}

bool UsmModel::wrap(Pending& p) {
    V3Request& sent = p.v3;
    if (sent.msg_id != 0) sent.earlier_msg_ids.push_back(sent.msg_id);
    sent.msg_id = next_msg_id();
    const Message& pdu = p.request;
    const PduWriter writer = [&pdu](BerWriter& w) { encode_pdu(pdu, w); };
    const char* why = nullptr;
    if (!wrap_request(v3_.peer, sent, writer, Clock::now(), p.datagram, &why)) {
        set_error(kErrSecurity, why);
        return false;
    }
    if (ZorvsnmpDumpPacket == 1) dump_sent(p);
    return true;
}

const char* UsmModel::owner_of(const std::vector<Pending*>& waiting, Pending*& owner) const {
    for (Pending* p : waiting) {
        if (sent_as(p->v3, answer_.message.msg_id)) owner = p;
    }
    if (!owner) return "other message id";
    if (const char* why = match_answer(v3_.peer, owner->v3, answer_, Clock::now())) return why;
    if (owner->v3.discovery) return nullptr;
    if (answer_.scoped.pdu_type == kPduResponse) {
        return candidate_.request_id == owner->request.request_id ? nullptr : "other request id";
    }
    // Only a report we can trust may set our idea of the engine's clock.
    if (first_report_kind(candidate_) == ReportKind::kNotInTimeWindow && !answer_.authenticated)
        return "unauthenticated time report";
    return nullptr;
}

Verdict UsmModel::unwrap(const Arrival& a, const std::vector<Pending*>& waiting) {
    Verdict v;
    bool unwrapped = false;
    bool decoded = false;
    if (const char* why = refusal_before_decoding(a, v.undecodable)) {
        v.why = why;
    } else if (!unwrap_message(v3_.peer, a.buffer.data(), a.size, answer_, plaintext_, &v.why)) {
        // Answers that fail our digest may say the user's key is wrong.
        if (v.why == kWrongDigest) {
            for (Pending* p : waiting) ++p->wrong_digests;
        }
        v.undecodable = answer_.malformed;
    } else if (unwrapped = true; !decode_pdu(answer_.scoped.pdu.data(), answer_.scoped.pdu.size(),
                                             candidate_, &v.why)) {
        v.undecodable = true;
    } else {
        decoded = true;
        v.why = owner_of(waiting, v.owner);
    }
    if (ZorvsnmpDumpPacket == 1) dump_arrival(a, v.why, unwrapped, decoded);
    if (v.why) {
        v.owner = nullptr;
        return v;
    }
    return take(*v.owner);
}

Verdict UsmModel::take(Pending& owner) {
    const auto now = Clock::now();
    v3_.agent_max_size = answer_.message.max_size;
    Verdict v;
    v.owner = &owner;
    if (owner.v3.discovery) {
        const UsmParameters& usm = answer_.message.usm;
        const char* why = nullptr;
        if (!set_engine(v3_.peer, usm.engine_id, usm.boots, usm.time, now, &why)) {
            set_error(kErrSecurity, why);
            v.kind = Kind::kFailRequest;
            return v;
        }
        v3_.discovered = true;
        v.kind = Kind::kAnswer;
        return v;
    }
    note_engine_time(v3_.peer.engine, answer_, now);
    if (answer_.scoped.pdu_type != kPduResponse) return take_report(owner);
    v3_.user_answered = true;
    keep_pdu(owner);
    v.kind = Kind::kAnswer;
    return v;
}

Verdict UsmModel::take_report(Pending& owner) {
    Verdict v;
    v.owner = &owner;
    const ReportKind kind = first_report_kind(candidate_);
    if (kind == ReportKind::kNotInTimeWindow && !owner.resynchronised) {
        // The report brought the engine's clock: send again at once.
        owner.resynchronised = true;
        v.kind = Kind::kResend;
        return v;
    }
    const ReportError& e = report_error(kind);
    const std::string detail = std::string("report ") + e.counter;
    // Anyone may send a report the agent could not authenticate: it ends its request only.
    if (!answer_.authenticated) {
        set_error(e.code, detail.c_str());
        v.kind = Kind::kFailRequest;
        return v;
    }
    refuse(e.code, detail.c_str());
    v.kind = Kind::kFailRun;
    return v;
}

// The answer's PDU in the request's own buffer: the model's is the next datagram's.
void UsmModel::keep_pdu(Pending& owner) const {
    const ByteView pdu = answer_.scoped.pdu;
    owner.answer_bytes.assign(pdu.begin(), pdu.end());
    const char* why = nullptr;
    decode_pdu(owner.answer_bytes.data(), owner.answer_bytes.size(), owner.response, &why);
    owner.response.version = kVersion3;
    owner.response.community = {};
}

bool UsmModel::unanswered(Pending& p) {
    // Silence may be a lost datagram, a slow agent or one that ignores this kind of request:
    // it fails this request only. Answers that fail our digest say the user's key is wrong.
    if (p.v3.discovery || !p.wrong_digests || p.undecodable || v3_.user_answered) return false;
    return refuse(kErrAnswersFailDigest, nullptr);
}

void UsmModel::dump_sent(const Pending& p) const {
    // The scoped PDU as it was before encryption.
    const Message& pdu = p.request;
    const PduWriter writer = [&pdu](BerWriter& w) { encode_pdu(pdu, w); };
    BerWriter w;
    const ByteView engine = p.v3.discovery ? ByteView() : ByteView(v3_.peer.engine.id);
    encode_scoped_pdu(engine, bytes_of(p.v3.context_name), writer, w);
    const ByteView bytes(w.data(), w.size());
    ScopedPdu scoped;
    decode_scoped_pdu(bytes, 0, scoped, nullptr);
    const ScopedPduShown shown{bytes, scoped, &pdu};
    dump_v3_datagram("sent to", session_.peer, p.datagram.data(), p.datagram.size(), nullptr,
                     &shown);
}

void UsmModel::dump_arrival(const Arrival& a, const char* why, bool unwrapped, bool decoded) const {
    char peer[64];
    peer_text(a.from, peer, sizeof peer);
    const bool encrypted = (answer_.message.flags & kFlagPriv) != 0;
    const ScopedPduShown shown{encrypted ? ByteView(plaintext_) : answer_.message.data,
                               answer_.scoped, decoded ? &candidate_ : nullptr};
    dump_v3_datagram(why ? "dropped from" : "received from", peer, a.buffer.data(), a.size, why,
                     unwrapped ? &shown : nullptr);
}

bool UsmModel::refuse(int code, const char* detail) {
    v3_.refused = code;
    v3_.refused_detail = detail ? detail : "";
    set_error(code, detail);
    return true;
}

}  // namespace

std::unique_ptr<SecurityModel> make_usm_model(Session& session, const Settings& config) {
    return std::make_unique<UsmModel>(session, config);
}

}  // namespace snmp
