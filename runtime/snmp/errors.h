// The library's own failure codes (above the SNMP error statuses 0..18) and how a failure is
// recorded for ZorvsnmpErrno.
#pragma once

namespace snmp {

enum ErrorCode : int {
    kErrNoError = 0,
    kErrTooBig = 1,
    kErrNoSuchName = 2,
    kErrGenErr = 5,
    kLastStatusCode = 18,

    kErrTimeout = 19,        // no answer after every try
    kErrUnknownHost = 20,    // the node's name does not resolve
    kErrBadNode = 21,        // the node text is not host, host:port or [address]:port
    kErrSocket = 22,         // socket could not be made or used
    kErrBadResponse = 23,    // an answer that makes no sense for the request
    kErrNotIncreasing = 24,  // the agent went backwards in a walk
    kErrBadArgument = 25,    // identifier missing, empty or not encodable
    kErrBadSetting = 26,     // a ZORVSNMP_* variable holds an unusable value
    kErrNoMemory = 27,
    kErrTooManyRows = 28,  // a table walk went on past ZORVSNMP_MAX_ROWS rows
    kLastErrorCode = 28,
};

// Records `code` as the last failure; `detail` (may be null) is added to its text.
void set_error(int code, const char* detail = nullptr);
// No failure recorded: ZorvsnmpErrno is 0 again.
void clear_error();

}  // namespace snmp
