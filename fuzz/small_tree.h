// A small MIB tree for the fuzz targets: iso.org.dod.internet with mgmt.mib-2.system and
// interfaces.ifTable.ifEntry columns, and private.enterprises.acme, printers attached.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>

#include "mib/mib_tree.h"

namespace fuzz_tree {

inline MibNode* add(MibNode* parent, const char* label, uint32_t subid, int32_t type = 0) {
    MibNode* node = new_mib_node();
    std::strncpy(node->label, label, kMibLabelSize - 1);
    node->subid = subid;
    node->type = type;
    node->parent = parent;
    if (parent) {
        MibNode** link = &parent->child;
        while (*link && (*link)->subid <= subid) link = &(*link)->peer;
        node->peer = *link;
        *link = node;
    }
    return node;
}

inline void add_enum(MibNode* node, int32_t value, const char* label) {
    auto* entry = static_cast<EnumEntry*>(std::calloc(1, sizeof(EnumEntry)));
    entry->value = value;
    entry->label = copy_text(label);
    entry->next = node->enums;
    node->enums = entry;
}

inline MibNode* build() {
    MibNode* iso = add(nullptr, "iso", 1);
    MibNode* internet = add(add(add(iso, "org", 3), "dod", 6), "internet", 1);
    MibNode* mib2 = add(add(internet, "mgmt", 2), "mib-2", 1);
    MibNode* system = add(mib2, "system", 1);
    add(system, "sysDescr", 1, MIB_TYPE_OCTET_STRING);
    add(system, "sysObjectID", 2, MIB_TYPE_OBJECT_ID);
    add(system, "sysUpTime", 3, MIB_TYPE_TIME_TICKS);
    MibNode* entry = add(add(add(mib2, "interfaces", 2), "ifTable", 2), "ifEntry", 1);
    add(entry, "ifIndex", 1, MIB_TYPE_INTEGER);
    add(entry, "ifDescr", 2, MIB_TYPE_DISPLAY_STRING);
    MibNode* type = add(entry, "ifType", 3, MIB_TYPE_INTEGER);
    add_enum(type, 6, "ethernetCsmacd");
    add_enum(type, 1, "other");
    add(entry, "ifSpeed", 5, MIB_TYPE_GAUGE);
    add(entry, "ifInOctets", 10, MIB_TYPE_COUNTER);
    add(add(mib2, "ip", 4), "ipAddr", 1, MIB_TYPE_IP_ADDRESS);
    add(internet, "experimental", 3);
    MibNode* enterprises = add(add(internet, "private", 4), "enterprises", 1);
    add(add(enterprises, "acme", 9999), "widgets", 1, MIB_TYPE_OPAQUE);
    add(enterprises, std::string(127, 'l').c_str(), 7);
    attach_printers(iso);
    return iso;
}

}  // namespace fuzz_tree
