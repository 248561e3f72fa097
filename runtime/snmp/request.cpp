// Get and GetNext of one identifier for the programs.
#include "runtime/snmp/errors.h"
#include "runtime/snmp/exchange.h"
#include "runtime/snmp/response_copy.h"
#include "runtime/snmp/snmp.h"

namespace snmp {

namespace {

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
