#include <cstring>
#include <vector>

#include "mib/compiler/compiler_internal.h"

namespace {

// Puts "subid." (or "subid" before an empty text) in front of `text`, cut to its capacity.
void prepend_subid(char* text, uint32_t subid) {
    char number[16];
    std::snprintf(number, sizeof number, text[0] ? "%d." : "%d", static_cast<int>(subid));
    std::string joined = std::string(number) + text;
    if (joined.size() > kOidTextSize - 1) joined.resize(kOidTextSize - 1);
    std::memcpy(text, joined.c_str(), joined.size() + 1);
}

// The first node labelled `label` below `start`, children before peers.
const MibNode* find_below(const MibNode* start, const char* label) {
    std::vector<const MibNode*> pending;
    for (const MibNode* child = start->child; child;) {
        if (std::strcmp(child->label, label) == 0) return child;
        if (child->child) {
            if (child->peer) pending.push_back(child->peer);
            child = child->child;
        } else if (child->peer) {
            child = child->peer;
        } else if (!pending.empty()) {
            child = pending.back();
            pending.pop_back();
        } else {
            child = nullptr;
        }
    }
    return nullptr;
}

void indent(int depth) {
    for (int i = 0; i < depth; ++i) PrintMessage("  ");
}

}  // namespace

int oid_text_of_label(const MibNode* root, const MibNode* start, const char* label, char* text) {
    (void)root;
    if (!start) return 0;
    if (std::strcmp(start->label, label) == 0) {
        prepend_subid(text, start->subid);
        return 1;
    }
    const MibNode* found = find_below(start, label);
    if (!found) return 0;
    // The path is taken from the parent links, so a label that also occurs elsewhere in the
    // tree cannot mix two branches.
    for (const MibNode* node = found; node; node = node->parent) prepend_subid(text, node->subid);
    return 0;
}

std::string oid_text_for_label(const MibNode* root, const char* label) {
    if (!root || !label || !*label) return {};
    const MibNode* found = std::strcmp(root->label, label) == 0 ? root : find_below(root, label);
    if (!found) return {};
    std::vector<uint32_t> path;
    for (const MibNode* node = found; node; node = node->parent) path.push_back(node->subid);
    std::string text;
    for (auto subid = path.rbegin(); subid != path.rend(); ++subid) {
        if (!text.empty()) text += '.';
        text += std::to_string(*subid);
    }
    return text;
}

int oid_text_in_parse_list(const ParseNode* list, const char* label, char* text) {
    size_t length = 0;
    for (const ParseNode* record = list; record; record = record->next) ++length;
    std::string wanted = label;
    bool found_any = false;
    // Each step moves one parent up; a cycle of parents ends after as many steps as records.
    for (size_t step = 0; step < length; ++step) {
        const ParseNode* match = nullptr;
        for (const ParseNode* record = list; record; record = record->next) {
            if (wanted == record->label) {
                match = record;
                break;
            }
        }
        if (!match) break;
        found_any = true;
        prepend_subid(text, match->subid);
        wanted = match->parent_label;
    }
    return found_any ? 1 : 0;
}

void print_children(const MibNode* node, int depth) {
    if (!node) return;
    indent(depth);
    nl_printf(load_mib_message(MibMessage::ChildrenOf), node->label, static_cast<int>(node->subid));
    for (const MibNode* child = node->child; child; child = child->peer) {
        indent(depth + 1);
        PrintMessage("%s\n", child->label);
    }
    for (const MibNode* child = node->child; child; child = child->peer) {
        print_children(child, depth + 1);
    }
}
