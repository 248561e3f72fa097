// objpeek: the Get of each object, and the check that the answer is for that object.
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/objpeek.h"
#include "appls/extmgr/ttycmds/response_bindings.h"
#include "runtime/snmp/errors.h"
#include "runtime/snmp/snmp.h"

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

std::vector<FetchedObject> fetch_objects() {
    std::vector<FetchedObject> fetched;
    for (int32_t j = 0; j < objpeek.object_count; ++j) {
        FetchedObject& f = fetched.emplace_back();
        f.response.reset(get_object(objpeek.objects[j]));
        // Taken now: the text of a failure with details is the last failure's.
        if (f.response == nullptr) {
            f.error = ZorvsnmpErrString(ZorvsnmpErrno);
            break;
        }
        if (f.response->error_status != snmp::kErrNoError) {
            f.error = ZorvsnmpErrString(f.response->error_status);
        }
    }
    return fetched;
}
