#include "runtime/snmp/errors.h"

#include <cstdio>

#include "runtime/snmp/snmp.h"

int ZorvsnmpErrno = 0;

namespace snmp {

namespace {

// By error status, 0..kLastStatusCode.
const char* const kStatusNames[] = {
    "noError",
    "tooBig",
    "noSuchName",
    "badValue",
    "readOnly",
    "genErr",
    "noAccess",
    "wrongType",
    "wrongLength",
    "wrongEncoding",
    "wrongValue",
    "noCreation",
    "inconsistentValue",
    "resourceUnavailable",
    "commitFailed",
    "undoFailed",
    "authorizationError",
    "notWritable",
    "inconsistentName",
};
static_assert(sizeof kStatusNames / sizeof kStatusNames[0] == kLastStatusCode + 1);

// By library code, -1 first.
const char* const kLibraryTexts[] = {
    "No response from the node (timeout)",
    "Unknown host: the node name does not resolve",
    "Invalid node address (use host, host:port, [IPv6 address]:port or an IPv6 address)",
    "Socket error while talking to the node",
    "The node's response does not match the request",
    "The node returned an identifier that does not increase",
    "Invalid object identifier in the request",
    "Invalid ZORVSNMP_ setting",
    "Out of memory",
    "The table walk passed the row limit (ZORVSNMP_MAX_ROWS): the node does not stop answering",
    "The node's answer could not be decoded",
    "The node does not know the SNMPv3 user (ZORVSNMP_SECURITY_NAME)",
    "The node does not accept the SNMPv3 user at this security level (ZORVSNMP_SECURITY_LEVEL)",
    "The node found the request's digest wrong: check the authentication protocol and passphrase",
    "The node could not decrypt the request: check the privacy protocol and passphrase",
    "The node does not serve the SNMPv3 context (ZORVSNMP_CONTEXT)",
    "The node's engine time stays outside the time window, even after resynchronising",
    "The node refused the SNMPv3 request with a report",
    "No answer to the SNMPv3 user's requests, though the node answered engine discovery: check "
    "the user name, security level, protocols, passphrases and context",
    "The node's answers fail the digest check with the user's key: the authentication "
    "protocol or passphrase is likely wrong",
    "SNMPv3 security processing failed",
};
static_assert(sizeof kLibraryTexts / sizeof kLibraryTexts[0] == -kLastErrorCode);

const char* library_text(int code) {
    return kLibraryTexts[-code - 1];
}

// The last failure's text with its detail, for codes that carry one.
int detail_code = kErrNoError;
char detail_text[512];

}  // namespace

void set_error(int code, const char* detail) {
    ZorvsnmpErrno = code;
    if (detail && *detail && is_library_code(code)) {
        std::snprintf(detail_text, sizeof detail_text, "%s: %s", library_text(code), detail);
        detail_code = code;
    } else if (detail_code == code) {
        detail_code = kErrNoError;
    }
}

void set_error_text(int code, const char* text) {
    ZorvsnmpErrno = code;
    if (text && *text && is_library_code(code)) {
        std::snprintf(detail_text, sizeof detail_text, "%s", text);
        detail_code = code;
    } else if (detail_code == code) {
        detail_code = kErrNoError;
    }
}

void clear_error() {
    ZorvsnmpErrno = kErrNoError;
    detail_code = kErrNoError;
}

}  // namespace snmp

const char* ZorvsnmpErrString(int code) {
    using namespace snmp;
    if (code == detail_code && code != kErrNoError) return detail_text;
    if (code >= 0 && code <= kLastStatusCode) return kStatusNames[code];
    if (is_library_code(code)) return library_text(code);
    static char other[48];
    if (code > kLastStatusCode) {
        std::snprintf(other, sizeof other, "unknown error status %d", code);
    } else {
        std::snprintf(other, sizeof other, "Unknown SNMP error %d", code);
    }
    return other;
}
