#include "runtime/snmp/packet_dump.h"

#include <cstdio>
#include <string>

namespace snmp {

namespace {

void append_oid(std::string& out, const uint32_t* ids, uint32_t count) {
    char number[16];
    for (uint32_t i = 0; i < count; ++i) {
        std::snprintf(number, sizeof number, i ? ".%u" : "%u", ids[i]);
        out += number;
    }
}

std::string summary(const char* what, const char* peer, size_t size, const Message* m,
                    const char* note) {
    std::string line = "snmp: ";
    line += what;
    line += ' ';
    line += peer;
    char text[160];
    std::snprintf(text, sizeof text, ", %zu bytes", size);
    line += text;
    if (note) {
        line += " (";
        line += note;
        line += ')';
    }
    if (!m) return line + '\n';
    char scratch[16];
    const bool bulk = m->pdu_type == kPduGetBulk;
    std::snprintf(text, sizeof text, ": %s %s request-id %d %s %d %s %d, %zu binding%s",
                  m->version == kVersion1 ? "SNMPv1" : "SNMPv2c",
                  pdu_type_name(m->pdu_type, scratch), m->request_id,
                  bulk ? "non-repeaters" : "error-status", m->error_status,
                  bulk ? "max-repetitions" : "error-index", m->error_index, m->bindings.size(),
                  m->bindings.size() == 1 ? "" : "s");
    line += text;
    for (size_t i = 0; i < m->bindings.size(); ++i) {
        line += i ? ", " : ": ";
        append_oid(line, m->bindings[i].name, m->bindings[i].name_length);
    }
    return line + '\n';
}

}  // namespace

void dump_datagram(const char* what, const char* peer, const uint8_t* data, size_t size,
                   const Message* decoded, const char* note) {
    std::string out = summary(what, peer, size, decoded, note);
    char line[96];
    for (size_t offset = 0; offset < size; offset += 16) {
        int n = std::snprintf(line, sizeof line, "  %04zx: ", offset);
        char side[17];
        for (size_t i = 0; i < 16; ++i) {
            if (offset + i < size) {
                const uint8_t b = data[offset + i];
                n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02x ", b);
                side[i] = (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
            } else {
                n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "   ");
                side[i] = '\0';
            }
        }
        side[16] = '\0';
        std::snprintf(line + n, sizeof line - static_cast<size_t>(n), " %s\n", side);
        out += line;
    }
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

}  // namespace snmp
