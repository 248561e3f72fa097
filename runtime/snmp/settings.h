// Transport settings from the environment, read once per process.
#pragma once

#include <cstdint>

namespace snmp {

struct Settings {
    uint16_t port = 161;            // ZORVSNMP_PORT
    int32_t version = 1;            // ZORVSNMP_VERSION: "1" gives 0, "2c" gives 1
    int timeout_ms = 1000;          // ZORVSNMP_TIMEOUT_MS, per try
    int retries = 2;                // ZORVSNMP_RETRIES
    int max_repetitions = 0;        // ZORVSNMP_MAX_REPETITIONS; 0 lets the table walk choose
    int max_rows = 10000000;        // ZORVSNMP_MAX_ROWS: a walk past this many rows is an error
    const char* invalid = nullptr;  // the first variable with an unusable value
};

// Read from the environment on first use after start or reset_settings().
const Settings& settings();
void reset_settings();

}  // namespace snmp
