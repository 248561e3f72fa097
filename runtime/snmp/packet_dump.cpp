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

// " Get request-id 5 error-status 0 error-index 0, 1 binding: 1.3.6.1.2.1.1.1.0"
void append_pdu(std::string& line, const Message& m) {
    char text[160];
    char scratch[16];
    const bool bulk = m.pdu_type == kPduGetBulk;
    std::snprintf(text, sizeof text, " %s request-id %d %s %d %s %d, %zu binding%s",
                  pdu_type_name(m.pdu_type, scratch), m.request_id,
                  bulk ? "non-repeaters" : "error-status", m.error_status,
                  bulk ? "max-repetitions" : "error-index", m.error_index, m.bindings.size(),
                  m.bindings.size() == 1 ? "" : "s");
    line += text;
    for (size_t i = 0; i < m.bindings.size(); ++i) {
        line += i ? ", " : ": ";
        append_oid(line, m.bindings[i].name, m.bindings[i].name_length);
    }
}

// "snmp: sent to 127.0.0.1:161, 45 bytes (note)"
std::string headline(const char* what, const char* peer, size_t size, const char* note) {
    std::string line = "snmp: ";
    line += what;
    line += ' ';
    line += peer;
    char text[32];
    std::snprintf(text, sizeof text, ", %zu bytes", size);
    line += text;
    if (note) {
        line += " (";
        line += note;
        line += ')';
    }
    return line;
}

std::string summary(const char* what, const char* peer, size_t size, const Message* m,
                    const char* note) {
    std::string line = headline(what, peer, size, note);
    if (!m) return line + '\n';
    line += m->version == kVersion1 ? ": SNMPv1" : ": SNMPv2c";
    append_pdu(line, *m);
    return line + '\n';
}

void append_hex(std::string& out, const uint8_t* data, size_t size) {
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
}

void write_out(const std::string& out) {
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

void dump_datagram(const char* what, const char* peer, const uint8_t* data, size_t size,
                   const Message* decoded, const char* note) {
    std::string out = summary(what, peer, size, decoded, note);
    append_hex(out, data, size);
    write_out(out);
}

namespace {

void append_hex_bytes(std::string& out, ByteView bytes) {
    char pair[3];
    for (uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        out += pair;
    }
}

// Quoted when every byte is printable, else in hex: names come from the network.
void append_name(std::string& out, ByteView bytes) {
    for (uint8_t b : bytes) {
        if (b < 0x20 || b >= 0x7F || b == '"') {
            append_hex_bytes(out, bytes);
            return;
        }
    }
    out += '"';
    out.append(bytes.begin(), bytes.end());
    out += '"';
}

// ": SNMPv3 msgID 7 max-size 65507 flags authPriv reportable, engine 8000.. boots 2 time 80
// user "alice", digest 12 bytes, salt 8 bytes"
void append_v3_header(std::string& line, const V3Message& m) {
    char text[160];
    const char* level = (m.flags & kFlagPriv)   ? "authPriv"
                        : (m.flags & kFlagAuth) ? "authNoPriv"
                                                : "noAuthNoPriv";
    std::snprintf(text, sizeof text, ": SNMPv3 msgID %d max-size %d flags %s%s, engine ", m.msg_id,
                  m.max_size, level, (m.flags & kFlagReportable) ? " reportable" : "");
    line += text;
    if (m.usm.engine_id.empty()) line += "(none)";
    append_hex_bytes(line, m.usm.engine_id);
    std::snprintf(text, sizeof text, " boots %d time %d user ", m.usm.boots, m.usm.time);
    line += text;
    append_name(line, m.usm.user_name);
    std::snprintf(text, sizeof text, ", digest %zu bytes, salt %zu bytes", m.usm.auth.size(),
                  m.usm.priv.size());
    line += text;
}

void append_scoped(std::string& out, const ScopedPduShown& shown, bool decrypted) {
    out += decrypted ? "snmp:   scoped PDU, shown decrypted: context engine "
                     : "snmp:   scoped PDU: context engine ";
    if (shown.scoped.context_engine_id.empty()) out += "(none)";
    append_hex_bytes(out, shown.scoped.context_engine_id);
    out += " context ";
    append_name(out, shown.scoped.context_name);
    if (shown.pdu) {
        out += ':';
        append_pdu(out, *shown.pdu);
    }
    out += '\n';
    if (decrypted) append_hex(out, shown.bytes.data(), shown.bytes.size());
}

}  // namespace

void dump_v3_datagram(const char* what, const char* peer, const uint8_t* data, size_t size,
                      const char* note, const ScopedPduShown* shown) {
    std::string out = headline(what, peer, size, note);
    V3Message m;
    const bool v3 = decode_v3_message(data, size, m, nullptr);
    if (v3) {
        append_v3_header(out, m);
        out += '\n';
    } else {
        // Not SNMPv3: perhaps an answer of another version.
        thread_local Message other;
        const bool decoded = decode_message(data, size, other, nullptr);
        out = summary(what, peer, size, decoded ? &other : nullptr, note);
    }
    append_hex(out, data, size);
    if (v3 && shown) append_scoped(out, *shown, (m.flags & kFlagPriv) != 0);
    write_out(out);
}

}  // namespace snmp
