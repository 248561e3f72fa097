// The SNMP transport (SNMPv1, SNMPv2c and SNMPv3 over UDP, IPv4 and IPv6) and the management helper
// calls that the programs make: Get, GetNext, table retrieval and error texts. The value text of
// a binding comes from the MIB library (mib/sprint_value.h), which knows the tree.
#pragma once

#include <cstdint>

#include "runtime/snmp/protocol.h"

// One variable binding of a response. A binding whose name begins with six zero
// sub-identifiers stands for a column without a value.
struct VarBind {
    VarBind* next;
    uint32_t* name;
    uint32_t name_length;
    uint8_t type;  // the value's encoding tag; ASN_NULL for a hole
    MibValueData value;
};

// A decoded response. veloSnmpRequest and quorSnmpGet return it as one heap block holding the
// record, its bindings, names and values: the caller owns it and free() releases it whole.
struct ResponsePdu {
    int32_t version;   // snmp::kVersion1, snmp::kVersion2c or snmp::kVersion3
    int32_t pdu_type;  // snmp::kPduResponse
    int32_t request_id;
    int32_t reserved;
    int32_t error_index;
    int32_t error_status;  // the agent's: 0 success, 2 no such name; never negative
    VarBind* variables;
};

constexpr int kNullNameLength = 6;

// Settings from the environment, read on first use: ZORVSNMP_PORT (161), ZORVSNMP_VERSION ("1",
// "2c" or "3", default "2c"), ZORVSNMP_TIMEOUT_MS per try (1000), ZORVSNMP_RETRIES (2),
// ZORVSNMP_MAX_REPETITIONS (0: sized to the agent's answers by the table walk),
// ZORVSNMP_MAX_ANSWER_BYTES (0: one unfragmented datagram on the path to the node),
// ZORVSNMP_PARALLEL (8: the most requests a walk or a batch of Gets keeps in flight at once).
// A null community means "public". SNMPv3 takes its user from ZORVSNMP_SECURITY_NAME,
// ZORVSNMP_SECURITY_LEVEL, ZORVSNMP_AUTH_PROTOCOL, ZORVSNMP_AUTH_PASSPHRASE,
// ZORVSNMP_PRIV_PROTOCOL, ZORVSNMP_PRIV_PASSPHRASE and ZORVSNMP_CONTEXT, each of which may
// instead be a line of the file ZORVSNMP_CREDENTIALS names (see settings.h); the community is
// not used.

// The last failure: an agent's error status (0 and above) or one of the library's own codes
// (below 0, errors.h).
extern int ZorvsnmpErrno;
// 1: every datagram sent or received is dumped to standard error.
extern int ZorvsnmpDumpPacket;
// The text for an agent's error status (0..18 by standard name, any other as "unknown error
// status N") or for one of the library's own codes.
const char* ZorvsnmpErrString(int code);

// Called once per row with one binding per column, in column order. The row and everything it
// points to belong to the library and are valid only during the call.
using SnmpRowFunction = void (*)(VarBind* row);
// The same with the `context` given to the table call, so that the caller's state needs no
// global.
using SnmpRowCallback = void (*)(VarBind* row, void* context);

// The whole table: all columns together, rows in ascending instance order, each row handed out
// as soon as it is complete. Returns the number of rows, or below 0 on failure with
// ZorvsnmpErrno set; rows delivered before a failure stay delivered.
int veloSnmpGetTable(const char* community, const char* node, const uint32_t* table,
                     int32_t table_length, const uint32_t* columns, int32_t column_count,
                     SnmpRowFunction row_function, int reserved);
// The one row of `instance`; delivered only when at least one column has a value. Returns the
// number of rows (0 or 1), or below 0 on failure.
int veloSnmpGetTableEntry(const char* community, const char* node, const uint32_t* table,
                          int32_t table_length, const uint32_t* columns, int32_t column_count,
                          const uint32_t* instance, int32_t instance_length,
                          SnmpRowFunction row_function, int reserved);
// Both table calls with a row callback that receives `context`.
int veloSnmpGetTable(const char* community, const char* node, const uint32_t* table,
                     int32_t table_length, const uint32_t* columns, int32_t column_count,
                     SnmpRowCallback row_callback, void* context);
int veloSnmpGetTableEntry(const char* community, const char* node, const uint32_t* table,
                          int32_t table_length, const uint32_t* columns, int32_t column_count,
                          const uint32_t* instance, int32_t instance_length,
                          SnmpRowCallback row_callback, void* context);
// The rows after `after` (every row when `after_length` is 0), for agents that fail larger
// requests: each column walked by GetNext requests of one binding, one request at a time, and
// asked again only once its value ahead is in a row, so memory stays one value per column. The
// rows count against the row limit together with the `rows_before` handed out earlier. Returns
// the number of rows, or below 0 on failure with ZorvsnmpErrno set; rows delivered before a
// failure stay delivered.
int veloSnmpGetTableOneByOne(const char* community, const char* node, const uint32_t* table,
                             int32_t table_length, const uint32_t* columns, int32_t column_count,
                             const uint32_t* after, int32_t after_length, int32_t rows_before,
                             SnmpRowCallback row_callback, void* context);
// One request (pdu_type snmp::kPduGetNext 0xA1 or snmp::kPduGet 0xA0) for one identifier; null on
// failure. An SNMPv2 exception in the answer (noSuchObject, noSuchInstance, endOfMibView) is
// reported as error status 2 with its error index, as SNMPv1 would; the binding keeps the
// exception's type.
ResponsePdu* veloSnmpRequest(int pdu_type, const char* community, const char* node,
                             const uint32_t* oid, int32_t length, int reserved);
ResponsePdu* quorSnmpGet(const char* community, const char* node, const uint32_t* oid,
                         int32_t length, int reserved);
// The Gets of `count` identifiers with requests in flight together: `responses[i]` answers
// `oids[i]` as quorSnmpGet would. Returns how many in list order were answered before the first
// failure, whose error is recorded and whose response and every later one are null; `count`
// when every Get was answered, -1 for bad arguments.
int32_t quorSnmpGetAll(const char* community, const char* node, const uint32_t* const* oids,
                       const int32_t* lengths, int32_t count, ResponsePdu** responses);

namespace snmp {

// Starts over as a new process would: the settings are read from the environment again on next
// use, every socket is closed, no failure is recorded and the packet dump is off. For tests, and
// for programs that change the environment between calls.
void reset_transport();

}  // namespace snmp
