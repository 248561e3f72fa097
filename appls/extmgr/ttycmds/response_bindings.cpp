#include "appls/extmgr/ttycmds/response_bindings.h"

#include <algorithm>

OidSpan binding_name(const VarBind* binding) {
    if (binding == nullptr || binding->name == nullptr) return {};
    return {binding->name, binding->name_length};
}

bool oid_has_prefix(OidSpan name, OidSpan prefix) {
    return name.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), name.begin());
}

bool oid_follows(OidSpan name, OidSpan start) {
    return std::lexicographical_compare(start.begin(), start.end(), name.begin(), name.end());
}

bool is_hole(const VarBind* binding) {
    static const uint32_t null_name[kNullNameLength] = {};
    return oid_has_prefix(binding_name(binding), null_name);
}
