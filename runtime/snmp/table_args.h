// Checks shared by the table calls.
#pragma once

#include <cstdint>

#include "runtime/snmp/snmp.h"

namespace snmp {

// True when the table, columns and row function make a request that can be sent.
bool valid_table_request(const uint32_t* table, int32_t table_length, const uint32_t* columns,
                         int32_t count, SnmpRowFunction row_function);

}  // namespace snmp
