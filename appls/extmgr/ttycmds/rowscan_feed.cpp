// rowscan: what happens to a row between the walk and the sink: counting and the instance
// prefixes.
#include <vector>

#include "appls/extmgr/ttycmds/response_bindings.h"
#include "appls/extmgr/ttycmds/rowscan.h"

bool RowFeed::wanted(OidSpan instance) const {
    if (!state_.prefix_mode) return true;
    for (const auto& prefix : state_.instance_ids) {
        if (oid_has_prefix(instance, prefix)) return true;
    }
    return false;
}

void RowFeed::take(VarBind* row) {
    ++delivered_;
    // Every column of a row shares its instance; a row has at least one value.
    const size_t prefix = state_.table.size() + 1;
    for (const VarBind* binding = row; binding != nullptr; binding = binding->next) {
        const OidSpan name = binding_name(binding);
        if (!is_hole(binding) && name.size() > prefix) {
            last_instance_.assign(name.begin() + static_cast<ptrdiff_t>(prefix), name.end());
            break;
        }
    }
    cells_.clear();
    if (wanted(last_instance_)) {
        for (const VarBind* binding = row; binding != nullptr; binding = binding->next) {
            cells_.push_back({binding, 0, nullptr});
        }
        ++written_;
    }
    sink_.row(last_instance_, cells_);
}

void RowFeed::take_row(VarBind* row, void* feed) {
    static_cast<RowFeed*>(feed)->take(row);
}
