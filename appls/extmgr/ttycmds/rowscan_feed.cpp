// rowscan: what happens to a row between the walk and the sink: counting, the instance
// prefixes, index fields decoded from the instance and values by their hints.
#include <vector>

#include "appls/extmgr/ttycmds/response_bindings.h"
#include "appls/extmgr/ttycmds/rowscan.h"
#include "mib/mib_init.h"
#include "mib/oid_names.h"

RowFeed::RowFeed(const RowscanState& state, OutputSink& sink) : state_(state), sink_(sink) {
    if (state.hints) {
        hints_.emplace(mib_companion());
        // A column's hint is looked up once, not for every value.
        std::vector<uint32_t> column = state.table;
        column.push_back(0);
        for (int32_t i = 0; i < state.field_count; ++i) {
            column.back() = state.columns[i];
            const MibNode* node =
                state.field_component[i] < 0
                    ? find_node_exact(column.data(), static_cast<int32_t>(column.size()), Mib)
                    : nullptr;
            column_nodes_.push_back(node);
            column_hints_.push_back(node ? hints_->hint_of(node) : std::string());
        }
        pair_address_types();
    }
    texts_.resize(static_cast<size_t>(state.field_count));
    decoded_.resize(static_cast<size_t>(state.field_count));
}

bool RowFeed::wanted(OidSpan instance) const {
    if (!state_.prefix_mode) return true;
    for (const auto& prefix : state_.instance_ids) {
        if (oid_has_prefix(instance, prefix)) return true;
    }
    return false;
}

namespace {

// A binding that carries an index value's type, so that the script forms write a number as a
// number; its text is the cell's.
void set_index_binding(VarBind& binding, const IndexValue& value, const IndexComponent& component,
                       const std::vector<uint32_t>& object) {
    binding = {};
    binding.name = const_cast<uint32_t*>(object.data());
    binding.name_length = static_cast<uint32_t>(object.size());
    binding.type = ASN_OCTET_STRING;
    if (!value.decoded) return;
    switch (component.kind) {
        case IndexKind::kInteger:
        case IndexKind::kInetAddressType:
            binding.type = ASN_INTEGER;
            binding.value.integer = static_cast<int32_t>(value.number);
            break;
        case IndexKind::kUnsigned:
            binding.type =
                component.syntax.type == MIB_TYPE_TIME_TICKS ? ASN_TIME_TICKS : ASN_GAUGE;
            binding.value.uinteger = static_cast<uint32_t>(value.number);
            break;
        default:
            break;
    }
}

}  // namespace

void RowFeed::pair_address_types() {
    int32_t position = 0;
    for (int32_t i = 0; i < state_.field_count; ++i)
        binding_position_.push_back(state_.field_component[i] < 0 ? position++ : -1);
    address_type_field_.assign(column_nodes_.size(), -1);
    for (size_t i = 0; i < column_nodes_.size(); ++i) {
        const MibNode* address = column_nodes_[i];
        if (!address || hints_->convention_of(address) != "InetAddress") continue;
        uint32_t nearest = 0;
        for (size_t j = 0; j < column_nodes_.size(); ++j) {
            const MibNode* type = column_nodes_[j];
            if (!type || type->subid >= address->subid || type->subid <= nearest ||
                hints_->convention_of(type) != "InetAddressType")
                continue;
            nearest = type->subid;
            address_type_field_[i] = static_cast<int32_t>(j);
        }
    }
}

bool RowFeed::render_hinted(int32_t i, const VarBind* binding, const VarBind* row,
                            std::string& out) {
    const int32_t type_field = address_type_field_[i];
    if (type_field < 0) return ValueHints::render(binding, column_nodes_[i], column_hints_[i], out);
    const VarBind* type = row;
    for (int32_t k = 0; type && k < binding_position_[type_field]; ++k) type = type->next;
    return type && type->type == ASN_INTEGER &&
           ValueHints::render_inet_address(binding, type->value.integer, out);
}

void RowFeed::fill_cells(const VarBind* row) {
    if (!state_.components.empty()) {
        decode_index(last_instance_.data(), last_instance_.size(), state_.components, values_);
    }
    const unsigned flags = hints_ ? kRenderHint : kRenderPlain;
    const VarBind* binding = row;
    for (int32_t i = 0; i < state_.field_count; ++i) {
        const int32_t component = state_.field_component[i];
        std::string& text = texts_[i];
        if (component < 0) {
            SinkCell cell{binding, 0, nullptr};
            if (hints_ && !is_hole(binding) && render_hinted(i, binding, row, text))
                cell.text = &text;
            cells_.push_back(cell);
            binding = binding ? binding->next : nullptr;
            continue;
        }
        const IndexValue& value = values_[component];
        const IndexComponent& decoder = state_.components[component];
        text.clear();
        render_index_value(text, last_instance_.data(), value, decoder, flags);
        set_index_binding(decoded_[i], value, decoder, state_.index_objects[component]);
        cells_.push_back({&decoded_[i], 0, nullptr, &text});
    }
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
        fill_cells(row);
        ++written_;
    }
    sink_.row(last_instance_, cells_);
}

void RowFeed::take_row(VarBind* row, void* feed) {
    static_cast<RowFeed*>(feed)->take(row);
}
