// The in-memory MIB tree: node and enumeration records, type and access codes, the global
// root `Mib`, and the release operations.
#pragma once

#include <cstdint>
#include <string_view>

#include "mib/mib_value.h"

// One named value of an enumerated INTEGER.
struct EnumEntry {
    EnumEntry* next;
    int32_t value;
    char* label;  // heap text, owned
};

// Syntax codes of MibNode::type.
enum MibType : int32_t {
    MIB_TYPE_OTHER = 0,
    MIB_TYPE_OBJECT_ID = 1,
    MIB_TYPE_OCTET_STRING = 2,
    MIB_TYPE_INTEGER = 3,
    MIB_TYPE_NET_ADDRESS = 4,
    MIB_TYPE_IP_ADDRESS = 5,
    MIB_TYPE_COUNTER = 6,
    MIB_TYPE_GAUGE = 7,
    MIB_TYPE_TIME_TICKS = 8,
    MIB_TYPE_OPAQUE = 9,
    MIB_TYPE_NULL = 10,
    MIB_TYPE_COUNTER64 = 11,
    MIB_TYPE_BIT_STRING = 12,
    MIB_TYPE_NSAP_ADDRESS = 13,
    MIB_TYPE_UINTEGER = 14,
    MIB_TYPE_OCTET_STRING2 = 15,
    MIB_TYPE_DISPLAY_STRING = 16,
    MIB_TYPE_UNASSIGNED = 17,
    MIB_TYPE_COUNTER32 = 18,
    MIB_TYPE_GAUGE32 = 19,
};

// Access codes of MibNode::access.
enum MibAccess : int32_t {
    MIB_ACCESS_READ_ONLY = 0,
    MIB_ACCESS_READ_WRITE = 1,
    MIB_ACCESS_WRITE_ONLY = 2,
    MIB_ACCESS_READ_CREATE = 3,
    MIB_ACCESS_NOT_ACCESSIBLE = 4,
};

constexpr int kMibLabelSize = 128;  // 127 characters and the NUL

// One node of the tree. A node owns its child list, the peers after it, its enumerations and
// its description; `parent` is a back-reference.
struct MibNode {
    MibNode* child;
    MibNode* peer;
    MibNode* parent;
    char label[kMibLabelSize];
    uint32_t subid;
    int32_t type;
    EnumEntry* enums;
    int32_t access;
    char* description;     // heap text, owned; null when none
    ValuePrinter printer;  // chosen by type at load time; never stored in the file
};

// The first top-level node of the loaded tree; null while none is loaded.
extern MibNode* Mib;

// A zero-filled node from the heap (null when memory runs out); release with release_mib_tree.
MibNode* new_mib_node();
// A NUL-terminated heap copy of `text` (null when memory runs out); release with free().
char* copy_text(std::string_view text);

// Releases the node's subtree, the peers after it, its enumerations, description, and itself.
void release_mib_tree(MibNode* node);
// Releases every entry from `entry` on, with its label.
void release_enum_list(EnumEntry* entry);
// Sets `printer` from `type` on the node, its peers and all their subtrees.
void attach_printers(MibNode* node);
