// objpeek: the Get of one object, and the check that the answer is for that object.
#include <string>

#include "appls/extmgr/ttycmds/objpeek.h"
#include "appls/extmgr/ttycmds/response_bindings.h"
#include "runtime/snmp/errors.h"
#include "runtime/snmp/snmp.h"

namespace {

std::string dotted(OidSpan name) {
    std::string text;
    for (const uint32_t id : name) text += (text.empty() ? "" : ".") + std::to_string(id);
    return text;
}

}  // namespace

ResponsePdu* get_object(const FieldSpec& object) {
    ResponsePdu* response = quorSnmpGet(objpeek.community, objpeek.node, object.identifier,
                                        object.identifier_length, 0);
    if (response == nullptr || response->error_status != snmp::kErrNoError) return response;
    const OidSpan asked{object.identifier, static_cast<size_t>(object.identifier_length)};
    const OidSpan name = binding_name(response->variables);
    if (oid_has_prefix(name, asked) && name.size() == asked.size()) return response;
    // Another object's value under this label would be a wrong answer shown as a right one.
    snmp::set_error(snmp::kErrBadResponse, ("the answer is for " + dotted(name)).c_str());
    response->error_status = snmp::kErrBadResponse;
    return response;
}
