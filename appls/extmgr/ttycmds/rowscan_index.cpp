// rowscan: index fields, whose values are decoded from each row's instance by the entry's INDEX,
// and the columns the agent is asked for.
#include <cstdio>
#include <cstring>

#include "appls/extmgr/ttycmds/rowscan.h"
#include "mib/companion.h"
#include "mib/mib_init.h"
#include "mib/oid_names.h"
#include "mib/oid_parse.h"

namespace {

const Companion* index_companion() {
    LazyCompanion& lazy = mib_companion();
    const Companion* companion = lazy.get();
    const std::string why = lazy.failure_message();
    if (!why.empty()) rowscan.index_failure = why;
    return companion;
}

// A name that does not resolve is not taken for a use of the companion: only an object named
// as an index field hears why it failed.
void tell_index_failure() {
    if (rowscan.index_failure.empty()) return;
    std::fprintf(stderr, "%s\n", rowscan.index_failure.c_str());
    rowscan.index_failure.clear();
}

MibNode* node_at(const std::vector<uint32_t>& ids) {
    return find_node_exact(ids.data(), static_cast<int32_t>(ids.size()), Mib);
}

// The INDEX objects of the table's entry, or of the entry it AUGMENTS; loaded once.
const std::vector<std::vector<uint32_t>>& index_objects(bool& implied) {
    if (!rowscan.index_known) {
        rowscan.index_known = true;
        const Companion* companion = index_companion();
        std::optional<NodeFacts> entry = companion ? companion->find(rowscan.table) : std::nullopt;
        if (entry && entry->index.empty() && !entry->augments.empty())
            entry = companion->find(entry->augments);
        if (entry) {
            rowscan.index_objects = entry->index;
            rowscan.index_implied = entry->implied;
        }
    }
    implied = rowscan.index_implied;
    return rowscan.index_objects;
}

// The decoders of every INDEX component; false when one cannot be decoded by its syntax.
bool build_components(bool implied) {
    const Companion* companion = index_companion();
    const auto& objects = rowscan.index_objects;
    for (size_t k = 0; k < objects.size(); ++k) {
        const MibNode* node = node_at(objects[k]);
        if (!node || !companion) return false;
        const std::optional<NodeFacts> facts = companion->find(objects[k]);
        const NodeFacts none;
        const NodeFacts& f = facts ? *facts : none;
        rowscan.component_hints.push_back(f.hint);
        const auto component =
            index_component_for(*node, f.syntax, rowscan.component_hints.back(),
                                f.fixed_size().value_or(0), implied && k + 1 == objects.size());
        if (!component) return false;
        rowscan.components.push_back(*component);
    }
    return true;
}

}  // namespace

int32_t resolve_index_field(const FieldSpec& field, const std::vector<uint32_t>* resolved) {
    bool implied = false;
    const auto& objects = index_objects(implied);
    if (resolved) tell_index_failure();
    for (size_t k = 0; k < objects.size(); ++k) {
        const MibNode* node = node_at(objects[k]);
        const bool named =
            resolved ? *resolved == objects[k] : node && labels_equal(node->label, field.id);
        if (!named) continue;
        if (rowscan.components.empty() && !build_components(implied)) return -1;
        return static_cast<int32_t>(k);
    }
    return -1;
}

bool is_hidden_index_object(const std::vector<uint32_t>& ids) {
    const MibNode* node = node_at(ids);
    if (!node || node->access != MIB_ACCESS_NOT_ACCESSIBLE) return false;
    bool implied = false;
    const auto& objects = index_objects(implied);
    tell_index_failure();
    for (const auto& object : objects)
        if (object == ids) return true;
    return false;
}

bool plan_requests() {
    for (int32_t i = 0; i < rowscan.field_count; ++i)
        if (rowscan.field_component[i] < 0) rowscan.requested.push_back(rowscan.columns[i]);
    if (!rowscan.requested.empty()) return true;
    // Only index fields: the instances come from the first column the agent can read.
    const MibNode* entry = node_at(rowscan.table);
    const MibNode* first = nullptr;
    for (const MibNode* column = entry ? entry->child : nullptr; column; column = column->peer) {
        const bool readable = column->access == MIB_ACCESS_READ_ONLY ||
                              column->access == MIB_ACCESS_READ_WRITE ||
                              column->access == MIB_ACCESS_READ_CREATE;
        if (readable && (!first || column->subid < first->subid)) first = column;
    }
    if (!first) return false;
    rowscan.requested.push_back(first->subid);
    return true;
}
