#include "runtime/snmp/exchange.h"

#include <utility>

#include "runtime/snmp/dispatcher.h"
#include "runtime/snmp/errors.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"

int ZorvsnmpDumpPacket = 0;

namespace snmp {

namespace {

constexpr char kDefaultCommunity[] = "public";

}  // namespace

void start_request(Message& request, const char* community, uint8_t pdu_type) {
    request.version = settings().version;
    request.community = community ? community : kDefaultCommunity;
    request.pdu_type = pdu_type;
    request.error_status = kErrNoError;
    request.error_index = 0;
}

bool exchange(Session& session, Message& request, Message& response) {
    return exchange(session, request, response, nullptr);
}

bool exchange(Session& session, Message& request, Message& response,
              const RetryHook& before_retry) {
    // The answer's byte values stay in this request's buffer until the next exchange.
    thread_local Pending p;
    p.request = request;
    p.before_retry = before_retry;
    Dispatcher dispatcher(session);
    dispatcher.submit(p);
    dispatcher.next();
    p.before_retry = nullptr;
    request.request_id = p.request.request_id;
    if (p.state != Pending::State::kAnswered) {
        p.record_error();
        return false;
    }
    std::swap(response, p.response);
    return true;
}

}  // namespace snmp
