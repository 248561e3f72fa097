#include "runtime/snmp/settings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace snmp {

namespace {

// A whole decimal number in [low, high]; an absent or empty variable keeps the default.
void read_number(Settings& s, const char* name, long low, long high, int& target) {
    const char* text = std::getenv(name);
    if (!text || !*text) return;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || *end || v < low || v > high) {
        if (!s.invalid) s.invalid = name;
        return;
    }
    target = static_cast<int>(v);
}

Settings load() {
    Settings s;
    int port = s.port;
    read_number(s, "ZORVSNMP_PORT", 1, 65535, port);
    s.port = static_cast<uint16_t>(port);
    read_number(s, "ZORVSNMP_TIMEOUT_MS", 1, 3600000, s.timeout_ms);
    read_number(s, "ZORVSNMP_RETRIES", 0, 100, s.retries);
    read_number(s, "ZORVSNMP_MAX_REPETITIONS", 0, 10000, s.max_repetitions);
    read_number(s, "ZORVSNMP_MAX_ROWS", 1, 2147483647, s.max_rows);
    if (const char* v = std::getenv("ZORVSNMP_VERSION"); v && *v) {
        if (std::strcmp(v, "1") == 0) {
            s.version = kVersion1;
        } else if (std::strcmp(v, "2c") == 0 || std::strcmp(v, "2") == 0) {
            s.version = kVersion2c;
        } else if (!s.invalid) {
            s.invalid = "ZORVSNMP_VERSION";
        }
    }
    return s;
}

Settings current;
bool known = false;

}  // namespace

const Settings& settings() {
    if (!known) {
        current = load();
        known = true;
    }
    return current;
}

void reset_settings() {
    known = false;
}

}  // namespace snmp
