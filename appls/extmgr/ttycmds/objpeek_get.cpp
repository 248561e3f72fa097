// objpeek: the Get of each object, and the check that the answer is for that object.
#include <algorithm>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/objpeek.h"
#include "appls/extmgr/ttycmds/response_bindings.h"
#include "runtime/snmp/errors.h"
#include "runtime/snmp/snmp.h"

namespace {

// The answer must be for the object asked: another object's value under this label would be a
// wrong answer shown as a right one.
void check_answer(const FieldSpec& object, ResponsePdu* response) {
    if (response == nullptr || response->error_status != snmp::kErrNoError) return;
    const OidSpan asked{object.identifier, static_cast<size_t>(object.identifier_length)};
    const OidSpan name = binding_name(response->variables);
    if (oid_has_prefix(name, asked) && name.size() == asked.size()) return;
    snmp::set_error(snmp::kErrBadResponse, ("the answer is for " + dotted(name)).c_str());
    response->error_status = snmp::kErrBadResponse;
}

}  // namespace

std::vector<FetchedObject> fetch_objects() {
    const auto count = static_cast<size_t>(std::max(objpeek.object_count, 0));
    std::vector<const uint32_t*> oids(count);
    std::vector<int32_t> lengths(count);
    for (size_t j = 0; j < count; ++j) {
        oids[j] = objpeek.objects[j].identifier;
        lengths[j] = objpeek.objects[j].identifier_length;
    }
    std::vector<ResponsePdu*> responses(count, nullptr);
    quorSnmpGetAll(objpeek.community, objpeek.node, oids.data(), lengths.data(),
                   static_cast<int32_t>(count), responses.data());
    // Taken now: the checks below record failures of their own.
    const std::string failure = ZorvsnmpErrString(ZorvsnmpErrno);
    std::vector<FetchedObject> fetched;
    for (size_t j = 0; j < count; ++j) {
        FetchedObject& f = fetched.emplace_back();
        f.response.reset(responses[j]);
        if (f.response == nullptr) {
            f.error = failure;
            break;
        }
        check_answer(objpeek.objects[j], f.response.get());
        if (f.response->error_status != snmp::kErrNoError) {
            f.error = ZorvsnmpErrString(f.response->error_status);
        }
    }
    return fetched;
}
