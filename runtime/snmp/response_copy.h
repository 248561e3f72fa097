// Responses handed to the programs: one heap block holding the record, its bindings, names and
// values, so that the caller owns it whole (free() releases it).
#pragma once

#include "runtime/snmp/message.h"
#include "runtime/snmp/snmp.h"

namespace snmp {

// Null with the error recorded when memory runs out.
ResponsePdu* copy_response(const Message& message);

}  // namespace snmp
