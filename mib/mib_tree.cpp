// The in-memory MIB tree: allocation, release and printer attachment.
#include "mib/mib_tree.h"

#include <cstdlib>
#include <cstring>

#include "mib/value_format.h"

MibNode* Mib = nullptr;

MibNode* new_mib_node() {
    return static_cast<MibNode*>(std::calloc(1, sizeof(MibNode)));
}

char* copy_text(std::string_view text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (!copy) return nullptr;
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

void release_enum_list(EnumEntry* entry) {
    while (entry) {
        EnumEntry* next = entry->next;
        std::free(entry->label);
        std::free(entry);
        entry = next;
    }
}

void release_mib_tree(MibNode* node) {
    // Seen as a binary tree (child on the left, peer on the right), a right rotation at every
    // node that still has a child lifts the child list into the peer chain. Each node is
    // rotated at most once per child, so this is linear, needs no stack and survives both
    // deep trees and long peer lists.
    while (node) {
        if (MibNode* child = node->child) {
            node->child = child->peer;
            child->peer = node;
            node = child;
            continue;
        }
        MibNode* next = node->peer;
        release_enum_list(node->enums);
        std::free(node->description);
        std::free(node);
        node = next;
    }
}

void attach_printers(MibNode* node) {
    // Peers in a loop; only the depth of the tree costs stack.
    for (; node; node = node->peer) {
        node->printer = printer_for_type(node->type);
        if (node->child) attach_printers(node->child);
    }
}
