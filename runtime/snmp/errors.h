// Failure codes and how a failure is recorded for ZorvsnmpErrno.
//
// Zero and above are error statuses as an agent sent them: 0..18 have their standard names, any
// other is the agent's own. The library's own failures are below zero, and an answer whose error
// status is negative is refused as malformed, so the two can never be taken for each other.
#pragma once

namespace snmp {

enum ErrorCode : int {
    kErrNoError = 0,
    kErrTooBig = 1,
    kErrNoSuchName = 2,
    kErrGenErr = 5,
    kLastStatusCode = 18,  // the last status with a standard name

    // The library's own codes, from -1 downwards; new ones continue below the last.
    kErrTimeout = -1,        // no answer after every try
    kErrUnknownHost = -2,    // the node's name does not resolve
    kErrBadNode = -3,        // the node text is not host, host:port or [address]:port
    kErrSocket = -4,         // socket could not be made or used
    kErrBadResponse = -5,    // an answer that makes no sense for the request
    kErrNotIncreasing = -6,  // the agent went backwards in a walk
    kErrBadArgument = -7,    // identifier missing, empty or not encodable
    kErrBadSetting = -8,     // a ZORVSNMP_* variable holds an unusable value
    kErrNoMemory = -9,
    kErrTooManyRows = -10,  // a table walk went on past ZORVSNMP_MAX_ROWS rows
    kErrUndecodable = -11,  // the node answered, but nothing it sent could be decoded

    // SNMPv3: what the agent's reports say, silence towards our user, our own security failure.
    kErrUnknownUser = -12,
    kErrUnsupportedSecurityLevel = -13,
    kErrWrongDigest = -14,
    kErrDecryptionFailed = -15,
    kErrUnknownContext = -16,
    kErrNotInTimeWindow = -17,    // still outside the window after resynchronising
    kErrReport = -18,             // any other report
    kErrNoAnswerToUser = -19,     // no longer given: silence to the user is a timeout
    kErrAnswersFailDigest = -20,  // only answers whose digest our key does not make came
    kErrSecurity = -21,           // libcrypto failed, or the engine's id is unusable
    kLastErrorCode = -21,
};

// True for the library's own codes (as opposed to an agent's error status).
constexpr bool is_library_code(int code) {
    return code < 0 && code >= kLastErrorCode;
}

// Records `code` as the last failure; `detail` (may be null) is added to its text.
void set_error(int code, const char* detail = nullptr);
// Records `code` with `text` as the whole of its text, as ZorvsnmpErrString gave it when the
// failure happened.
void set_error_text(int code, const char* text);
// No failure recorded: ZorvsnmpErrno is 0 again.
void clear_error();

}  // namespace snmp
