// Building MIB trees by hand in tests, and a small standard mib-2 tree to test against.
#pragma once

#include <cstdint>
#include <string>

#include "mib/mib_tree.h"

namespace testing_support {

// A new node under `parent`, placed after the last child whose subid is less than or equal to
// its own (as the compiler links nodes). With a null parent the node stands alone as a
// top-level node. The label is cut to 127 characters. Printers are not attached.
MibNode* add_node(MibNode* parent, const std::string& label, uint32_t subid,
                  int32_t type = MIB_TYPE_OTHER, int32_t access = MIB_ACCESS_READ_ONLY);
// A new top-level node at the end of the peer list that starts at `first` (which may be null;
// it is set when the list was empty).
MibNode* add_top_level_node(MibNode*& first, const std::string& label, uint32_t subid,
                            int32_t type = MIB_TYPE_OTHER, int32_t access = MIB_ACCESS_READ_ONLY);
// Appends a named value to the node's enumerations.
EnumEntry* add_enum(MibNode* node, int32_t value, const std::string& label);
// Replaces the node's description.
void set_description(MibNode* node, const std::string& text);

// The node reached from the top-level list `first` by a dotted path of labels
// ("iso.org.dod.internet"); null when there is none.
MibNode* find_by_labels(MibNode* first, const std::string& dotted_labels);
// The labels from the top down to `node`, dot-separated, and the numeric identifier ("1.3.6").
std::string label_path(const MibNode* node);
std::string numeric_path(const MibNode* node);

// iso(1).org(3).dod(6).internet(1) with
//   mgmt(2).mib-2(1): system(1) (sysDescr .. sysServices), interfaces(2) (ifNumber, ifTable with
//     the 22 ifEntry columns, ifType/ifAdminStatus/ifOperStatus with enumerations),
//     ip(4) (ipForwarding, ipDefaultTTL, ipAddrTable), ifMIB(31) (ifXTable: ifName,
//     ifInMulticastPkts, ifHCInOctets, ifHighSpeed, ifAlias);
//   experimental(3); private(4).enterprises(1).
// Printers are attached. Release with release_mib_tree.
MibNode* build_standard_mib2_tree();
// Writes that tree as a MIB intermediate file; write_mib_file's result (0 on success).
int write_standard_mib2_file(const std::string& path);
// Writes the standard tree to `base` + ".bin" and points "MIBDBV2" at `base`, so that
// refresh_mib loads it. Call it before anything reads the variable (after reset_mib_init).
int install_standard_mib2_database(const std::string& base);

}  // namespace testing_support
