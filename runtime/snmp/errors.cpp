#include "runtime/snmp/errors.h"

#include <cstdio>

#include "runtime/snmp/snmp.h"

int ZorvsnmpErrno = 0;

namespace snmp {

namespace {

const char* const kTexts[] = {
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
static_assert(sizeof kTexts / sizeof kTexts[0] == kLastErrorCode + 1);

// The last failure's text with its detail, for codes that carry one.
int detail_code = -1;
char detail_text[512];

}  // namespace

void set_error(int code, const char* detail) {
    ZorvsnmpErrno = code;
    if (detail && *detail && code > kLastStatusCode && code <= kLastErrorCode) {
        std::snprintf(detail_text, sizeof detail_text, "%s: %s", kTexts[code], detail);
        detail_code = code;
    } else if (detail_code == code) {
        detail_code = -1;
    }
}

void clear_error() {
    ZorvsnmpErrno = kErrNoError;
    detail_code = -1;
}

}  // namespace snmp

const char* ZorvsnmpErrString(int code) {
    using namespace snmp;
    if (code == detail_code) return detail_text;
    if (code >= 0 && code <= kLastErrorCode) return kTexts[code];
    static char unknown[48];
    std::snprintf(unknown, sizeof unknown, "Unknown SNMP error %d", code);
    return unknown;
}
