// Values by the DISPLAY-HINT of their objects.
#include "appls/extmgr/ttycmds/value_hints.h"

#include <cstdio>
#include <vector>

#include "mib/companion.h"
#include "mib/display_hint.h"
#include "mib/oid_names.h"
#include "mib/render_value.h"

namespace {

std::vector<uint32_t> oid_of(const MibNode* node) {
    std::vector<uint32_t> oid;
    for (; node; node = node->parent) oid.insert(oid.begin(), node->subid);
    return oid;
}

bool has_label(const EnumEntry* enums, int32_t value) {
    for (; enums; enums = enums->next)
        if (enums->value == value) return true;
    return false;
}

}  // namespace

ValueHints::ValueHints(LazyCompanion& companion) : companion_(companion.get()) {
    const std::string why = companion.failure_message();
    if (!why.empty()) std::fprintf(stderr, "%s\n", why.c_str());
}

const ValueHints::Known& ValueHints::known(const MibNode* node) {
    auto [it, added] = known_.try_emplace(node);
    if (added && companion_ && node) {
        if (auto facts = companion_->find(oid_of(node)))
            it->second = {std::move(facts->hint), std::move(facts->syntax)};
    }
    return it->second;
}

const std::string& ValueHints::hint_of(const MibNode* node) {
    return known(node).hint;
}

const std::string& ValueHints::convention_of(const MibNode* node) {
    return known(node).convention;
}

bool ValueHints::render_inet_address(const VarBind* binding, int64_t type, std::string& out) {
    if (!binding || binding->type != ASN_OCTET_STRING) return false;
    const MibValueString& s = binding->value.string;
    const size_t length = s.length > 0 && s.bytes ? static_cast<size_t>(s.length) : 0;
    const std::string_view hint = inet_address_hint(type);
    if (hint.empty() || !inet_address_size_fits(type, length)) return false;
    std::string text;
    if (!render_octet_hint(text, hint, s.bytes, length)) return false;
    out = std::move(text);
    return true;
}

bool ValueHints::render(const VarBind* binding, std::string& out) {
    if (!binding || !binding->name || binding->name_length == 0) return false;
    // A value is named by its object's identifier and the instance below it.
    const MibNode* node =
        find_node_deepest(binding->name, static_cast<int32_t>(binding->name_length), Mib);
    return render(binding, node, hint_of(node), out);
}

bool ValueHints::render(const VarBind* binding, const MibNode* node, const std::string& hint,
                        std::string& out) {
    if (hint.empty() || !node) return false;
    std::string text;
    bool fits = false;
    switch (binding->type) {
        case ASN_OCTET_STRING: {
            const MibValueString& s = binding->value.string;
            fits = render_octet_hint(text, hint, s.bytes,
                                     s.length > 0 && s.bytes ? static_cast<size_t>(s.length) : 0);
            break;
        }
        case ASN_INTEGER:
            fits = !has_label(node->enums, binding->value.integer) &&
                   render_integer_hint(text, hint, binding->value.integer);
            break;
        case ASN_GAUGE:
        case ASN_UINTEGER:
            fits = render_integer_hint(text, hint, binding->value.uinteger);
            break;
        default:
            break;
    }
    if (fits) out = std::move(text);
    return fits;
}
