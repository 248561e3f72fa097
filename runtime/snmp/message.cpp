#include "runtime/snmp/message.h"

#include <cstdio>

namespace snmp {

namespace {

bool fail(const char** why, const char* text) {
    if (why) *why = text;
    return false;
}

bool is_pdu_tag(uint8_t tag) {
    return tag >= kPduGet && tag <= kPduReport;
}

// The value of one binding; identifier values are appended to `ids` and their offset kept in
// the low half of the value until the pointers are fixed.
bool decode_value(uint8_t tag, BerReader contents, Binding& b, std::vector<uint32_t>& ids,
                  uint32_t& ids_offset, const char** why) {
    const uint8_t* p = contents.position();
    const size_t n = contents.left();
    b.tag = tag;
    b.value.counter64 = 0;
    switch (tag) {
        case ASN_INTEGER:
            if (!decode_signed(p, n, b.value.integer))
                return fail(why, "integer does not fit 32 bits");
            return true;
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIME_TICKS:
        case ASN_UINTEGER: {
            uint64_t v = 0;
            if (!decode_unsigned(p, n, 32, v))
                return fail(why, "unsigned value does not fit 32 bits");
            b.value.uinteger = static_cast<uint32_t>(v);
            return true;
        }
        case ASN_COUNTER64:
            if (!decode_unsigned(p, n, 64, b.value.counter64))
                return fail(why, "Counter64 does not fit 64 bits");
            return true;
        case ASN_IP_ADDRESS:
            if (n != 4) return fail(why, "IpAddress is not 4 bytes");
            [[fallthrough]];
        case ASN_OCTET_STRING:
        case ASN_OPAQUE:
        case ASN_NSAP_ADDRESS:
            b.value.string.length = static_cast<int32_t>(n);
            b.value.string.bytes = p;
            return true;
        case ASN_NULL:
        case kTagNoSuchObject:
        case kTagNoSuchInstance:
        case kTagEndOfMibView:
            if (n != 0) return fail(why, "null value with contents");
            return true;
        case ASN_OBJECT_ID: {
            const size_t before = ids.size();
            if (!decode_oid(p, n, ids)) return fail(why, "bad object identifier value");
            ids_offset = static_cast<uint32_t>(before);
            b.value.string.length = static_cast<int32_t>(ids.size() - before);
            return true;
        }
        default:
            return fail(why, "unknown value type");
    }
}

// The header and bindings of a PDU whose tag has been read.
bool decode_pdu_contents(uint8_t pdu_tag, BerReader pdu, Message& out, const char** why);

}  // namespace

bool decode_message(const uint8_t* data, size_t size, Message& out, const char** why) {
    BerReader whole(data, size);
    BerReader msg(nullptr, 0);
    if (!whole.expect(kTagSequence, msg)) return fail(why, "not a message sequence");
    if (!whole.at_end()) return fail(why, "bytes after the message");
    if (!msg.read_int32(ASN_INTEGER, out.version)) return fail(why, "bad version");
    BerReader community(nullptr, 0);
    if (!msg.expect(ASN_OCTET_STRING, community)) return fail(why, "bad community");
    out.community =
        std::string_view(reinterpret_cast<const char*>(community.position()), community.left());
    uint8_t pdu_tag = 0;
    BerReader pdu(nullptr, 0);
    if (!msg.read_item(pdu_tag, pdu) || !is_pdu_tag(pdu_tag)) return fail(why, "bad PDU");
    if (!msg.at_end()) return fail(why, "bytes after the PDU");
    return decode_pdu_contents(pdu_tag, pdu, out, why);
}

bool decode_pdu(const uint8_t* data, size_t size, Message& out, const char** why) {
    BerReader whole(data, size);
    uint8_t pdu_tag = 0;
    BerReader pdu(nullptr, 0);
    if (!whole.read_item(pdu_tag, pdu) || !is_pdu_tag(pdu_tag)) return fail(why, "bad PDU");
    if (!whole.at_end()) return fail(why, "bytes after the PDU");
    return decode_pdu_contents(pdu_tag, pdu, out, why);
}

namespace {

bool decode_pdu_contents(uint8_t pdu_tag, BerReader pdu, Message& out, const char** why) {
    out.bindings.clear();
    out.ids.clear();
    out.pdu_type = pdu_tag;
    if (pdu_tag == kPduTrapV1) return fail(why, "SNMPv1 trap");
    if (!pdu.read_int32(ASN_INTEGER, out.request_id)) return fail(why, "bad request id");
    if (!pdu.read_int32(ASN_INTEGER, out.error_status)) return fail(why, "bad error status");
    // Statuses are never negative; the library's own failure codes are.
    if (out.error_status < 0) return fail(why, "negative error status");
    if (!pdu.read_int32(ASN_INTEGER, out.error_index)) return fail(why, "bad error index");
    BerReader list(nullptr, 0);
    if (!pdu.expect(kTagSequence, list)) return fail(why, "bad binding list");
    if (!pdu.at_end()) return fail(why, "bytes after the binding list");

    // Offsets first: `ids` grows while decoding, so pointers are set at the end.
    struct Offsets {
        uint32_t name;
        uint32_t value;
    };
    thread_local std::vector<Offsets> offsets;
    offsets.clear();
    while (!list.at_end()) {
        BerReader vb(nullptr, 0);
        if (!list.expect(kTagSequence, vb)) return fail(why, "bad binding");
        BerReader name(nullptr, 0);
        if (!vb.expect(ASN_OBJECT_ID, name)) return fail(why, "bad binding name");
        Binding b{};
        const size_t name_offset = out.ids.size();
        if (!decode_oid(name.position(), name.left(), out.ids))
            return fail(why, "bad binding name");
        b.name_length = static_cast<uint32_t>(out.ids.size() - name_offset);
        uint8_t tag = 0;
        BerReader value(nullptr, 0);
        if (!vb.read_item(tag, value)) return fail(why, "bad binding value");
        if (!vb.at_end()) return fail(why, "bytes after a binding value");
        uint32_t ids_offset = 0;
        if (!decode_value(tag, value, b, out.ids, ids_offset, why)) return false;
        offsets.push_back({static_cast<uint32_t>(name_offset), ids_offset});
        out.bindings.push_back(b);
    }
    const uint32_t* base = out.ids.data();
    for (size_t i = 0; i < out.bindings.size(); ++i) {
        Binding& b = out.bindings[i];
        b.name = base + offsets[i].name;
        if (b.tag == ASN_OBJECT_ID) b.value.string.ids = base + offsets[i].value;
    }
    return true;
}

}  // namespace

void encode_message(const Message& m, BerWriter& w) {
    w.clear();
    const size_t message_mark = w.mark();
    encode_pdu(m, w);
    w.put_bytes(ASN_OCTET_STRING, reinterpret_cast<const uint8_t*>(m.community.data()),
                m.community.size());
    w.put_signed(ASN_INTEGER, m.version);
    w.close(kTagSequence, message_mark);
}

void encode_pdu(const Message& m, BerWriter& w) {
    const size_t pdu_mark = w.mark();
    const size_t list_mark = w.mark();
    for (size_t i = m.bindings.size(); i-- > 0;) {
        const Binding& b = m.bindings[i];
        const size_t vb_mark = w.mark();
        switch (b.tag) {
            case ASN_INTEGER:
                w.put_signed(b.tag, b.value.integer);
                break;
            case ASN_COUNTER:
            case ASN_GAUGE:
            case ASN_TIME_TICKS:
            case ASN_UINTEGER:
                w.put_unsigned(b.tag, b.value.uinteger);
                break;
            case ASN_COUNTER64:
                w.put_unsigned(b.tag, b.value.counter64);
                break;
            case ASN_OCTET_STRING:
            case ASN_IP_ADDRESS:
            case ASN_OPAQUE:
            case ASN_NSAP_ADDRESS:
                w.put_bytes(
                    b.tag, b.value.string.bytes,
                    b.value.string.length > 0 ? static_cast<size_t>(b.value.string.length) : 0);
                break;
            case ASN_OBJECT_ID:
                w.put_oid(b.value.string.ids, b.value.string.length > 0
                                                  ? static_cast<size_t>(b.value.string.length)
                                                  : 0);
                break;
            default:
                w.put_null(b.tag);
                break;
        }
        w.put_oid(b.name, b.name_length);
        w.close(kTagSequence, vb_mark);
    }
    w.close(kTagSequence, list_mark);
    w.put_signed(ASN_INTEGER, m.error_index);
    w.put_signed(ASN_INTEGER, m.error_status);
    w.put_signed(ASN_INTEGER, m.request_id);
    w.close(m.pdu_type, pdu_mark);
}

const char* pdu_type_name(uint8_t type, char (&scratch)[16]) {
    switch (type) {
        case kPduGet:
            return "Get";
        case kPduGetNext:
            return "GetNext";
        case kPduResponse:
            return "Response";
        case kPduSet:
            return "Set";
        case kPduTrapV1:
            return "Trap";
        case kPduGetBulk:
            return "GetBulk";
        case kPduInform:
            return "Inform";
        case kPduTrapV2:
            return "SNMPv2-Trap";
        case kPduReport:
            return "Report";
        default:
            std::snprintf(scratch, sizeof scratch, "PDU 0x%02X", type);
            return scratch;
    }
}

}  // namespace snmp
