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

    // SNMPv3: what the agent's reports say, silence towards our user, our own security failure.
    kErrUnknownUser = 29,
    kErrUnsupportedSecurityLevel = 30,
    kErrWrongDigest = 31,
    kErrDecryptionFailed = 32,
    kErrUnknownContext = 33,
    kErrNotInTimeWindow = 34,    // still outside the window after resynchronising
    kErrReport = 35,             // any other report
    kErrNoAnswerToUser = 36,     // discovery was answered, none of the user's requests
    kErrAnswersFailDigest = 37,  // only answers whose digest our key does not make came
    kErrSecurity = 38,           // libcrypto failed, or the engine's id is unusable
    kLastErrorCode = 38,
};

// Records `code` as the last failure; `detail` (may be null) is added to its text.
void set_error(int code, const char* detail = nullptr);
// No failure recorded: ZorvsnmpErrno is 0 again.
void clear_error();

}  // namespace snmp
