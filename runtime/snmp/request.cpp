// Get and GetNext of one identifier for the programs, and Gets of several in flight together.
#include <cstdlib>
#include <vector>

#include "runtime/snmp/errors.h"
#include "runtime/snmp/exchange.h"
#include "runtime/snmp/response_copy.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"

namespace snmp {

namespace {

// The answer as the programs take it; null with the error recorded.
ResponsePdu* answer_for_programs(Message& response) {
    if (response.error_status == kErrNoError) {
        // Exactly one binding must come back; the programs read the first one unchecked.
        if (response.bindings.size() != 1) {
            set_error(kErrBadResponse, "wrong number of bindings");
            return nullptr;
        }
        // SNMPv2 exceptions read as the SNMPv1 "no such name", so the programs see one meaning
        // whatever the version.
        for (size_t i = 0; i < response.bindings.size(); ++i) {
            if (is_exception_tag(response.bindings[i].tag)) {
                response.error_status = kErrNoSuchName;
                response.error_index = static_cast<int32_t>(i + 1);
                break;
            }
        }
    }
    return copy_response(response);
}

ResponsePdu* single_request(int pdu_type, const char* community, const char* node,
                            const uint32_t* oid, int32_t length) {
    if (pdu_type != kPduGet && pdu_type != kPduGetNext) {
        set_error(kErrBadArgument, "only Get and GetNext are supported");
        return nullptr;
    }
    if (!encodable_oid(oid, length)) {
        set_error(kErrBadArgument);
        return nullptr;
    }
    Session* session = open_session(node);
    if (!session) return nullptr;
    thread_local Message request;
    thread_local Message response;
    start_request(request, community, static_cast<uint8_t>(pdu_type));
    request.bindings.assign(1, Binding{oid, static_cast<uint32_t>(length), ASN_NULL, {}});
    if (!exchange(*session, request, response)) return nullptr;
    return answer_for_programs(response);
}

// The Gets of `count` identifiers, at most the parallel setting's number in flight once the node
// has answered, and one at a time again once a try went unanswered under concurrency. The first
// failure in list order is recorded; every answer up to it is kept.
int32_t get_all(const char* community, Session& session, const uint32_t* const* oids,
                const int32_t* lengths, int32_t count, ResponsePdu** responses) {
    const auto n = static_cast<size_t>(count);
    std::vector<Pending> pending(n);
    for (size_t i = 0; i < n; ++i) {
        start_request(pending[i].request, community, kPduGet);
        pending[i].request.bindings.assign(
            1, Binding{oids[i], static_cast<uint32_t>(lengths[i]), ASN_NULL, {}});
    }
    Dispatcher dispatcher(session);
    // The first Get goes alone: a node that never answers is sent no more than one request's
    // tries.
    const size_t most = static_cast<size_t>(settings().parallel);
    size_t window = 1;
    size_t sent = 0;
    bool failed = false;
    for (;;) {
        // Nothing after a failure is kept, so nothing more is asked.
        while (!failed && sent < n && dispatcher.outstanding() < window) {
            dispatcher.submit(pending[sent++]);
        }
        Pending* p = dispatcher.next();
        if (!p) break;
        if (p->state != Pending::State::kAnswered) failed = true;
        if (p->retried && dispatcher.outstanding() > 0) {
            window = 1;
        } else if (p->state == Pending::State::kAnswered && sent == 1) {
            window = most;
        }
    }
    for (size_t i = 0; i < n; ++i) {
        Pending& p = pending[i];
        if (p.state == Pending::State::kAnswered) responses[i] = answer_for_programs(p.response);
        if (p.state != Pending::State::kAnswered) p.record_error();
        if (responses[i] == nullptr) {
            for (size_t j = i + 1; j < n; ++j) {
                std::free(responses[j]);
                responses[j] = nullptr;
            }
            return static_cast<int32_t>(i);
        }
    }
    return count;
}

}  // namespace

}  // namespace snmp

ResponsePdu* veloSnmpRequest(int pdu_type, const char* community, const char* node,
                             const uint32_t* oid, int32_t length, int) {
    return snmp::single_request(pdu_type, community, node, oid, length);
}

ResponsePdu* quorSnmpGet(const char* community, const char* node, const uint32_t* oid,
                         int32_t length, int) {
    return snmp::single_request(snmp::kPduGet, community, node, oid, length);
}

int32_t quorSnmpGetAll(const char* community, const char* node, const uint32_t* const* oids,
                       const int32_t* lengths, int32_t count, ResponsePdu** responses) {
    using namespace snmp;
    if (count < 0 || (count > 0 && (!oids || !lengths || !responses))) {
        set_error(kErrBadArgument);
        return -1;
    }
    // The Gets before the first identifier that cannot be sent go out as one after another would.
    int32_t usable = 0;
    for (int32_t i = 0; i < count; ++i) responses[i] = nullptr;
    while (usable < count && encodable_oid(oids[usable], lengths[usable])) ++usable;
    if (usable > 0) {
        Session* session = open_session(node);
        if (!session) return 0;
        const int32_t got = get_all(community, *session, oids, lengths, usable, responses);
        if (got < usable) return got;
    }
    if (usable < count) set_error(kErrBadArgument);
    return usable;
}
