#include "runtime/snmp/v3_exchange.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <string>

#include "runtime/snmp/dispatcher.h"
#include "runtime/snmp/errors.h"
#include "runtime/snmp/packet_dump.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"
#include "runtime/snmp/socket_io.h"

namespace snmp {

namespace {

using Clock = UsmClock;

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

// The decrypted scoped PDU of the last answer; the answer's values point into it until the next
// exchange.
thread_local std::vector<uint8_t> plaintext;

enum class Ending { kResponse, kReport, kTimeout, kFailed };

// One call's worth of tries, the discovery included, within timeout x (retries + 1).
class UserExchange {
  public:
    UserExchange(Session& session, const Settings& config)
        : session_(session),
          v3_(session.v3),
          config_(config),
          dump_(ZorvsnmpDumpPacket == 1),
          give_up_(Clock::now() +
                   std::chrono::milliseconds(config.timeout_ms) * (config.retries + 1)) {}

    // Learns the engine's id, boots and time, and localizes the user's keys for it.
    bool discover(const Message& request);
    bool request(Message& request, Message& response);

  private:
    // The request every try of one PDU is sent as.
    V3Request outstanding(bool discovery) const;
    // Sends `pdu` once as a new try of `sent` and waits until the try's deadline for an answer
    // to this try or an earlier one.
    Ending send_once(const Message& pdu, V3Request& sent, Message& answer_pdu);
    // After the last try: a request that got no answer fails alone, unless only answers under
    // another key came.
    bool unanswered();
    // Why a datagram is not the answer to `sent`, or null when it is.
    const char* examine(const Arrival& a, const V3Request& sent, const Message& pdu,
                        Message& answer_pdu, bool& unwrapped, bool& decoded);
    void dump_sent(const V3Request& sent, const PduWriter& writer, const Message& pdu,
                   const std::vector<uint8_t>& datagram) const;
    void dump_arrival(const Arrival& a, const char* why, bool unwrapped,
                      const Message* answer_pdu) const;
    bool refuse(int code, const char* detail);

    Session& session_;
    V3Session& v3_;
    const Settings& config_;
    const bool dump_;
    const Clock::time_point give_up_;
    V3Answer answer_{};
    int wrong_digests_ = 0;
    const char* undecodable_ = nullptr;  // why the node's last undecodable datagram was dropped
};

V3Request UserExchange::outstanding(bool discovery) const {
    V3Request r;
    r.discovery = discovery;
    r.context_name = config_.context;
    return r;
}

bool UserExchange::discover(const Message& request) {
    UsmPeer& peer = v3_.peer;
    peer.user = config_.user;
    peer.user_keys = config_.user_keys;
    random_bytes(reinterpret_cast<uint8_t*>(&peer.salt), sizeof peer.salt);
    Message probe;  // a Get without bindings: only the Report it brings matters
    probe.version = kVersion3;
    probe.pdu_type = kPduGet;
    probe.request_id = request.request_id;
    thread_local Message answer;
    V3Request sent = outstanding(true);
    for (int attempt = 0; attempt <= config_.retries && Clock::now() < give_up_; ++attempt) {
        const Ending ending = send_once(probe, sent, answer);
        if (ending == Ending::kFailed) return false;
        if (ending == Ending::kTimeout) continue;
        const UsmParameters& usm = answer_.message.usm;
        const char* why = nullptr;
        if (!set_engine(peer, usm.engine_id, usm.boots, usm.time, Clock::now(), &why)) {
            set_error(kErrSecurity, why);
            return false;
        }
        v3_.discovered = true;
        return true;
    }
    record_no_answer(session_, config_, undecodable_);
    return false;
}

bool UserExchange::request(Message& request, Message& response) {
    bool resynchronised = false;
    undecodable_ = nullptr;
    V3Request sent = outstanding(false);
    for (int attempt = 0; attempt <= config_.retries && Clock::now() < give_up_; ++attempt) {
        const Ending ending = send_once(request, sent, response);
        if (ending == Ending::kFailed) return false;
        if (ending == Ending::kTimeout) continue;
        note_engine_time(v3_.peer.engine, answer_, Clock::now());
        if (ending == Ending::kResponse) {
            v3_.user_answered = true;
            response.version = kVersion3;
            response.community = {};
            return true;
        }
        const ReportKind kind = first_report_kind(response);
        if (kind == ReportKind::kNotInTimeWindow && !resynchronised) {
            // The report brought the engine's clock: send again at once, not counted as a try.
            resynchronised = true;
            --attempt;
            continue;
        }
        const ReportError& e = report_error(kind);
        const std::string detail = std::string("report ") + e.counter;
        // Anyone may send a report the agent could not authenticate: it ends this request only.
        if (!answer_.authenticated) {
            set_error(e.code, detail.c_str());
            return false;
        }
        return refuse(e.code, detail.c_str());
    }
    return unanswered();
}

bool UserExchange::unanswered() {
    // Silence may be a lost datagram, a slow agent or one that ignores this kind of request:
    // it fails this request only. Answers that fail our digest say the user's key is wrong.
    if (wrong_digests_ && !undecodable_ && !v3_.user_answered)
        return refuse(kErrAnswersFailDigest, nullptr);
    record_no_answer(session_, config_, undecodable_);
    return false;
}

Ending UserExchange::send_once(const Message& pdu, V3Request& sent, Message& answer_pdu) {
    if (sent.msg_id != 0) sent.earlier_msg_ids.push_back(sent.msg_id);
    sent.msg_id = next_msg_id();
    const PduWriter writer = [&pdu](BerWriter& w) { encode_pdu(pdu, w); };
    thread_local std::vector<uint8_t> datagram;
    const char* why = nullptr;
    if (!wrap_request(v3_.peer, sent, writer, Clock::now(), datagram, &why)) {
        set_error(kErrSecurity, why);
        return Ending::kFailed;
    }
    if (dump_) dump_sent(sent, writer, pdu, datagram);
    const auto deadline =
        std::min(Clock::now() + std::chrono::milliseconds(config_.timeout_ms), give_up_);
    auto judge = [&](const Arrival& a) {
        bool unwrapped = false;
        bool decoded = false;
        const char* reason = examine(a, sent, pdu, answer_pdu, unwrapped, decoded);
        if (dump_) dump_arrival(a, reason, unwrapped, decoded ? &answer_pdu : nullptr);
        return reason == nullptr;
    };
    switch (send_and_await(session_, datagram, deadline, judge)) {
        case TryResult::kAnswer:
            return answer_.scoped.pdu_type == kPduReport ? Ending::kReport : Ending::kResponse;
        case TryResult::kTimeout:
            return Ending::kTimeout;
        case TryResult::kFailed:
            break;
    }
    return Ending::kFailed;
}

const char* UserExchange::examine(const Arrival& a, const V3Request& sent, const Message& pdu,
                                  Message& answer_pdu, bool& unwrapped, bool& decoded) {
    if (!a.from_node) return "not from the node";
    if (a.too_long) return undecodable_ = "too long";
    const char* why = nullptr;
    if (!unwrap_message(v3_.peer, a.data, a.size, answer_, plaintext, &why)) {
        if (why == kWrongDigest) ++wrong_digests_;
        if (answer_.malformed) undecodable_ = why;
        return why;
    }
    unwrapped = true;
    if (!decode_pdu(answer_.scoped.pdu.data(), answer_.scoped.pdu.size(), answer_pdu, &why))
        return undecodable_ = why;
    decoded = true;
    if ((why = match_answer(v3_.peer, sent, answer_, Clock::now()))) return why;
    if (sent.discovery) return nullptr;
    if (answer_.scoped.pdu_type == kPduResponse) {
        return answer_pdu.request_id == pdu.request_id ? nullptr : "other request id";
    }
    // Only a report we can trust may set our idea of the engine's clock.
    if (first_report_kind(answer_pdu) == ReportKind::kNotInTimeWindow && !answer_.authenticated)
        return "unauthenticated time report";
    return nullptr;
}

void UserExchange::dump_sent(const V3Request& sent, const PduWriter& writer, const Message& pdu,
                             const std::vector<uint8_t>& datagram) const {
    // The scoped PDU as it was before encryption.
    BerWriter w;
    const ByteView engine = sent.discovery ? ByteView() : ByteView(v3_.peer.engine.id);
    encode_scoped_pdu(engine, bytes_of(sent.context_name), writer, w);
    const ByteView bytes(w.data(), w.size());
    ScopedPdu scoped;
    decode_scoped_pdu(bytes, 0, scoped, nullptr);
    const ScopedPduShown shown{bytes, scoped, &pdu};
    dump_v3_datagram("sent to", session_.peer, datagram.data(), datagram.size(), nullptr, &shown);
}

void UserExchange::dump_arrival(const Arrival& a, const char* why, bool unwrapped,
                                const Message* answer_pdu) const {
    char peer[64];
    peer_text(a.from, peer, sizeof peer);
    const bool encrypted = (answer_.message.flags & kFlagPriv) != 0;
    const ScopedPduShown shown{encrypted ? ByteView(plaintext) : answer_.message.data,
                               answer_.scoped, answer_pdu};
    dump_v3_datagram(why ? "dropped from" : "received from", peer, a.data, a.size, why,
                     unwrapped ? &shown : nullptr);
}

bool UserExchange::refuse(int code, const char* detail) {
    v3_.refused = code;
    v3_.refused_detail = detail ? detail : "";
    set_error(code, detail);
    return false;
}

}  // namespace

bool exchange_v3(Session& session, Message& request, Message& response) {
    V3Session& v3 = session.v3;
    if (v3.refused) {
        set_error(v3.refused, v3.refused_detail.c_str());
        return false;
    }
    UserExchange exchange(session, settings());
    if (!v3.discovered && !exchange.discover(request)) return false;
    return exchange.request(request, response);
}

}  // namespace snmp
