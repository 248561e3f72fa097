#include "tests/support/mib_builder.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>
#include <vector>

#include "mib/mib_file.h"

namespace testing_support {

namespace {

MibNode* make_node(const std::string& label, uint32_t subid, int32_t type, int32_t access) {
    MibNode* node = new_mib_node();
    if (!node) throw std::bad_alloc();
    const size_t n = label.size() < kMibLabelSize - 1 ? label.size() : kMibLabelSize - 1;
    std::memcpy(node->label, label.data(), n);
    node->label[n] = '\0';
    node->subid = subid;
    node->type = type;
    node->access = access;
    return node;
}

}  // namespace

MibNode* add_node(MibNode* parent, const std::string& label, uint32_t subid, int32_t type,
                  int32_t access) {
    MibNode* node = make_node(label, subid, type, access);
    if (!parent) return node;
    node->parent = parent;
    MibNode** link = &parent->child;
    while (*link && (*link)->subid <= subid) link = &(*link)->peer;
    node->peer = *link;
    *link = node;
    return node;
}

MibNode* add_top_level_node(MibNode*& first, const std::string& label, uint32_t subid, int32_t type,
                            int32_t access) {
    MibNode* node = make_node(label, subid, type, access);
    MibNode** link = &first;
    while (*link) link = &(*link)->peer;
    *link = node;
    return node;
}

EnumEntry* add_enum(MibNode* node, int32_t value, const std::string& label) {
    auto* entry = static_cast<EnumEntry*>(std::calloc(1, sizeof(EnumEntry)));
    if (!entry) throw std::bad_alloc();
    entry->value = value;
    entry->label = copy_text(label);
    if (!entry->label) throw std::bad_alloc();
    EnumEntry** link = &node->enums;
    while (*link) link = &(*link)->next;
    *link = entry;
    return entry;
}

void set_description(MibNode* node, const std::string& text) {
    std::free(node->description);
    node->description = copy_text(text);
    if (!node->description) throw std::bad_alloc();
}

MibNode* find_by_labels(MibNode* first, const std::string& dotted_labels) {
    std::stringstream parts(dotted_labels);
    std::string label;
    MibNode* list = first;
    MibNode* found = nullptr;
    while (std::getline(parts, label, '.')) {
        found = nullptr;
        for (MibNode* node = list; node; node = node->peer) {
            if (label == node->label) {
                found = node;
                break;
            }
        }
        if (!found) return nullptr;
        list = found->child;
    }
    return found;
}

namespace {

std::vector<const MibNode*> path_of(const MibNode* node) {
    std::vector<const MibNode*> path;
    for (; node; node = node->parent) path.insert(path.begin(), node);
    return path;
}

}  // namespace

std::string label_path(const MibNode* node) {
    std::string text;
    for (const MibNode* n : path_of(node)) {
        if (!text.empty()) text += '.';
        text += n->label;
    }
    return text;
}

std::string numeric_path(const MibNode* node) {
    std::string text;
    for (const MibNode* n : path_of(node)) {
        if (!text.empty()) text += '.';
        text += std::to_string(n->subid);
    }
    return text;
}

namespace {

constexpr int32_t RO = MIB_ACCESS_READ_ONLY;
constexpr int32_t RW = MIB_ACCESS_READ_WRITE;
constexpr int32_t NA = MIB_ACCESS_NOT_ACCESSIBLE;

struct Column {
    const char* label;
    uint32_t subid;
    int32_t type;
    int32_t access;
};

void add_columns(MibNode* entry, std::initializer_list<Column> columns) {
    for (const Column& c : columns) add_node(entry, c.label, c.subid, c.type, c.access);
}

void add_system(MibNode* mib2) {
    MibNode* system = add_node(mib2, "system", 1);
    MibNode* descr = add_node(system, "sysDescr", 1, MIB_TYPE_OCTET_STRING, RO);
    set_description(descr,
                    "A textual description of the entity.  This value should include the full "
                    "name and version identification of the system's hardware type, software "
                    "operating-system, and networking software.");
    add_node(system, "sysObjectID", 2, MIB_TYPE_OBJECT_ID, RO);
    add_node(system, "sysUpTime", 3, MIB_TYPE_TIME_TICKS, RO);
    add_node(system, "sysContact", 4, MIB_TYPE_OCTET_STRING, RW);
    add_node(system, "sysName", 5, MIB_TYPE_OCTET_STRING, RW);
    add_node(system, "sysLocation", 6, MIB_TYPE_OCTET_STRING, RW);
    add_node(system, "sysServices", 7, MIB_TYPE_INTEGER, RO);
}

void add_oper_states(MibNode* node, bool all) {
    add_enum(node, 1, "up");
    add_enum(node, 2, "down");
    add_enum(node, 3, "testing");
    if (!all) return;
    add_enum(node, 4, "unknown");
    add_enum(node, 5, "dormant");
    add_enum(node, 6, "notPresent");
    add_enum(node, 7, "lowerLayerDown");
}

void add_interfaces(MibNode* mib2) {
    MibNode* interfaces = add_node(mib2, "interfaces", 2);
    add_node(interfaces, "ifNumber", 1, MIB_TYPE_INTEGER, RO);
    MibNode* table = add_node(interfaces, "ifTable", 2, MIB_TYPE_OTHER, NA);
    MibNode* entry = add_node(table, "ifEntry", 1, MIB_TYPE_OTHER, NA);
    add_columns(entry, {
                           {"ifIndex", 1, MIB_TYPE_INTEGER, RO},
                           {"ifDescr", 2, MIB_TYPE_OCTET_STRING, RO},
                           {"ifType", 3, MIB_TYPE_INTEGER, RO},
                           {"ifMtu", 4, MIB_TYPE_INTEGER, RO},
                           {"ifSpeed", 5, MIB_TYPE_GAUGE, RO},
                           {"ifPhysAddress", 6, MIB_TYPE_OCTET_STRING, RO},
                           {"ifAdminStatus", 7, MIB_TYPE_INTEGER, RW},
                           {"ifOperStatus", 8, MIB_TYPE_INTEGER, RO},
                           {"ifLastChange", 9, MIB_TYPE_TIME_TICKS, RO},
                           {"ifInOctets", 10, MIB_TYPE_COUNTER, RO},
                           {"ifInUcastPkts", 11, MIB_TYPE_COUNTER, RO},
                           {"ifInNUcastPkts", 12, MIB_TYPE_COUNTER, RO},
                           {"ifInDiscards", 13, MIB_TYPE_COUNTER, RO},
                           {"ifInErrors", 14, MIB_TYPE_COUNTER, RO},
                           {"ifInUnknownProtos", 15, MIB_TYPE_COUNTER, RO},
                           {"ifOutOctets", 16, MIB_TYPE_COUNTER, RO},
                           {"ifOutUcastPkts", 17, MIB_TYPE_COUNTER, RO},
                           {"ifOutNUcastPkts", 18, MIB_TYPE_COUNTER, RO},
                           {"ifOutDiscards", 19, MIB_TYPE_COUNTER, RO},
                           {"ifOutErrors", 20, MIB_TYPE_COUNTER, RO},
                           {"ifOutQLen", 21, MIB_TYPE_GAUGE, RO},
                           {"ifSpecific", 22, MIB_TYPE_OBJECT_ID, RO},
                       });
    MibNode* type = find_by_labels(entry->child, "ifType");
    add_enum(type, 1, "other");
    add_enum(type, 2, "regular1822");
    add_enum(type, 6, "ethernetCsmacd");
    add_enum(type, 7, "iso88023Csmacd");
    add_enum(type, 23, "ppp");
    add_enum(type, 24, "softwareLoopback");
    add_enum(type, 71, "ieee80211");
    add_oper_states(find_by_labels(entry->child, "ifAdminStatus"), false);
    add_oper_states(find_by_labels(entry->child, "ifOperStatus"), true);
    set_description(find_by_labels(entry->child, "ifIndex"),
                    "A unique value, greater than zero, for each interface.");
}

void add_ip(MibNode* mib2) {
    MibNode* ip = add_node(mib2, "ip", 4);
    MibNode* forwarding = add_node(ip, "ipForwarding", 1, MIB_TYPE_INTEGER, RW);
    add_enum(forwarding, 1, "forwarding");
    add_enum(forwarding, 2, "notForwarding");
    add_node(ip, "ipDefaultTTL", 2, MIB_TYPE_INTEGER, RW);
    MibNode* table = add_node(ip, "ipAddrTable", 20, MIB_TYPE_OTHER, NA);
    MibNode* entry = add_node(table, "ipAddrEntry", 1, MIB_TYPE_OTHER, NA);
    add_columns(entry, {
                           {"ipAdEntAddr", 1, MIB_TYPE_IP_ADDRESS, RO},
                           {"ipAdEntIfIndex", 2, MIB_TYPE_INTEGER, RO},
                           {"ipAdEntNetMask", 3, MIB_TYPE_IP_ADDRESS, RO},
                       });
}

void add_if_mib(MibNode* mib2) {
    MibNode* if_mib = add_node(mib2, "ifMIB", 31);
    MibNode* objects = add_node(if_mib, "ifMIBObjects", 1);
    MibNode* table = add_node(objects, "ifXTable", 1, MIB_TYPE_OTHER, NA);
    MibNode* entry = add_node(table, "ifXEntry", 1, MIB_TYPE_OTHER, NA);
    add_columns(entry, {
                           {"ifName", 1, MIB_TYPE_OCTET_STRING, RO},
                           {"ifInMulticastPkts", 2, MIB_TYPE_COUNTER32, RO},
                           {"ifHCInOctets", 6, MIB_TYPE_COUNTER64, RO},
                           {"ifHighSpeed", 15, MIB_TYPE_GAUGE32, RO},
                           {"ifAlias", 18, MIB_TYPE_OCTET_STRING, RW},
                       });
}

}  // namespace

MibNode* build_standard_mib2_tree() {
    MibNode* iso = add_node(nullptr, "iso", 1);
    MibNode* internet = add_node(add_node(add_node(iso, "org", 3), "dod", 6), "internet", 1);
    MibNode* mib2 = add_node(add_node(internet, "mgmt", 2), "mib-2", 1);
    add_system(mib2);
    add_interfaces(mib2);
    add_ip(mib2);
    add_if_mib(mib2);
    add_node(internet, "experimental", 3);
    add_node(add_node(internet, "private", 4), "enterprises", 1);
    attach_printers(iso);
    return iso;
}

int write_standard_mib2_file(const std::string& path) {
    MibNode* tree = build_standard_mib2_tree();
    const int result = write_mib_file(path.c_str(), tree);
    release_mib_tree(tree);
    return result;
}

int install_standard_mib2_database(const std::string& base) {
    const int result = write_standard_mib2_file(base + ".bin");
    setenv("MIBDBV2", base.c_str(), 1);
    return result;
}

}  // namespace testing_support
