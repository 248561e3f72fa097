// Checks shared by the table calls.
#pragma once

#include <cstdint>

#include "runtime/snmp/snmp.h"

namespace snmp {

// True when the table, columns and row callback make a request that can be sent.
bool valid_table_request(const uint32_t* table, int32_t table_length, const uint32_t* columns,
                         int32_t count, SnmpRowCallback row_callback);

// The context that lets a plain row function be called as a row callback.
struct PlainRowFunction {
    SnmpRowFunction function;
    static void call(VarBind* row, void* context) {
        static_cast<PlainRowFunction*>(context)->function(row);
    }
};

}  // namespace snmp
