#include "appls/extmgr/ttycmds/response_bindings.h"

#include "runtime/snmp/oid_compare.h"

OidSpan binding_name(const VarBind* binding) {
    if (binding == nullptr || binding->name == nullptr) return {};
    return {binding->name, binding->name_length};
}

bool oid_has_prefix(OidSpan name, OidSpan prefix) {
    return snmp::oid_starts_with(name.data(), name.size(), prefix.data(), prefix.size());
}

bool oid_follows(OidSpan name, OidSpan start) {
    return snmp::compare_oids(name.data(), name.size(), start.data(), start.size()) > 0;
}

bool is_hole(const VarBind* binding) {
    static const uint32_t null_name[kNullNameLength] = {};
    return oid_has_prefix(binding_name(binding), null_name);
}

std::string dotted(OidSpan name) {
    std::string text;
    for (const uint32_t id : name) {
        if (!text.empty()) text += '.';
        text += std::to_string(id);
    }
    return text;
}
