// Identifier texts of trap enterprises and variables, looked up by label in the compiled tree.
#include <cstring>

#include "mib/events/mib_events.h"

namespace {

// Depth-first from `node` (the node, then its children in order); `path` holds the
// sub-identifiers above it. The first match wins, so a label that occurs twice cannot produce
// a mixed text.
bool find_path(const MibNode* node, const char* label, std::vector<uint32_t>& path) {
    path.push_back(node->subid);
    if (std::strcmp(node->label, label) == 0) return true;
    for (const MibNode* child = node->child; child; child = child->peer) {
        if (find_path(child, label, path)) return true;
    }
    path.pop_back();
    return false;
}

}  // namespace

std::string oid_text_for_label(const MibNode* root, const char* label) {
    if (!root || !label || !*label) return {};
    std::vector<uint32_t> path;
    if (!find_path(root, label, path)) return {};
    std::string text;
    for (uint32_t subid : path) {
        if (!text.empty()) text += '.';
        text += std::to_string(subid);
    }
    return text;
}

std::string enterprise_oid_text(const MibNode* root, const TrapDefinition& record) {
    if (record.enterprise[0] == '\0') return {};
    std::string text = oid_text_for_label(root, record.enterprise);
    // The enterprise of a notification may be written with a final zero arc; the trap's
    // identifier is the enterprise itself.
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, ".0") == 0)
        text.resize(text.size() - 2);
    return text;
}
