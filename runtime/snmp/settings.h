// Transport settings from the environment, read on first use and again after a reset.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/snmp/protocol.h"
#include "runtime/snmp/usm.h"

namespace snmp {

// Where agents listen.
constexpr uint16_t kSnmpPort = 161;

struct Settings {
    uint16_t port = kSnmpPort;     // ZORVSNMP_PORT
    int32_t version = kVersion2c;  // ZORVSNMP_VERSION: "1", "2c" (also "2") or "3"
    int timeout_ms = 1000;         // ZORVSNMP_TIMEOUT_MS, per try
    int retries = 2;               // ZORVSNMP_RETRIES
    int max_repetitions = 0;       // ZORVSNMP_MAX_REPETITIONS; 0 lets the table walk choose
    int max_rows = 10000000;       // ZORVSNMP_MAX_ROWS: a walk past this many rows is an error
    // ZORVSNMP_MAX_ANSWER_BYTES: how large an answer a growing walk may ask for; 0 stays within
    // one unfragmented datagram on the path to the node.
    int max_answer_bytes = 0;
    // ZORVSNMP_PARALLEL: the most requests in flight at once; 1 sends one after another.
    int parallel = 8;
    // SNMPv3: ZORVSNMP_SECURITY_NAME, ZORVSNMP_SECURITY_LEVEL (default: the highest the given
    // passphrases allow), ZORVSNMP_AUTH_PROTOCOL and _PASSPHRASE, ZORVSNMP_PRIV_PROTOCOL and
    // _PASSPHRASE; each may come from the credentials file (ZORVSNMP_CREDENTIALS) instead.
    UsmUser user;  // its passphrases wiped once `user_keys` are made
    UsmUserKeys user_keys;
    std::string context;  // ZORVSNMP_CONTEXT
    // The first unusable setting: the variable's name, for SNMPv3 settings with what is wrong.
    // Never holds a value.
    std::string invalid;
};

// Read from the environment on first use after start or reset_settings().
const Settings& settings();
void reset_settings();

}  // namespace snmp
