#include "runtime/snmp/v3_message.h"

#include "runtime/snmp/message.h"

namespace snmp {

namespace {

bool fail(const char** why, const char* text) {
    if (why) *why = text;
    return false;
}

bool engine_id_size_ok(size_t size) {
    return size == 0 || (size >= kMinEngineId && size <= kMaxEngineId);
}

// An OCTET STRING of at most `limit` bytes.
bool read_octets(BerReader& r, size_t limit, ByteView& out) {
    BerReader contents(nullptr, 0);
    if (!r.expect(ASN_OCTET_STRING, contents) || contents.left() > limit) return false;
    out = ByteView(contents.position(), contents.left());
    return true;
}

bool read_non_negative(BerReader& r, int32_t& out) {
    return r.read_int32(ASN_INTEGER, out) && out >= 0;
}

bool decode_header(BerReader& msg, V3Message& out, const char** why) {
    BerReader header(nullptr, 0);
    if (!msg.expect(kTagSequence, header)) return fail(why, "bad message header");
    if (!read_non_negative(header, out.msg_id)) return fail(why, "bad message id");
    if (!header.read_int32(ASN_INTEGER, out.max_size) || out.max_size < kMinMaxSize)
        return fail(why, "bad maximum message size");
    ByteView flags;
    if (!read_octets(header, 1, flags) || flags.size() != 1) return fail(why, "bad message flags");
    out.flags = flags[0];
    if ((out.flags & kFlagPriv) && !(out.flags & kFlagAuth))
        return fail(why, "privacy flag without authentication flag");
    int32_t model = 0;
    if (!header.read_int32(ASN_INTEGER, model)) return fail(why, "bad security model");
    if (model != kUserSecurityModel) return fail(why, "not the user-based security model");
    if (!header.at_end()) return fail(why, "bytes after the message header");
    return true;
}

bool decode_usm(BerReader& msg, const uint8_t* start, V3Message& out, const char** why) {
    BerReader octets(nullptr, 0);
    BerReader params(nullptr, 0);
    if (!msg.expect(ASN_OCTET_STRING, octets) || !octets.expect(kTagSequence, params) ||
        !octets.at_end())
        return fail(why, "bad security parameters");
    UsmParameters& usm = out.usm;
    if (!read_octets(params, kMaxEngineId, usm.engine_id) ||
        !engine_id_size_ok(usm.engine_id.size()))
        return fail(why, "bad engine id");
    if (!read_non_negative(params, usm.boots)) return fail(why, "bad engine boots");
    if (!read_non_negative(params, usm.time)) return fail(why, "bad engine time");
    if (!read_octets(params, kMaxUserName, usm.user_name)) return fail(why, "bad user name");
    if (!read_octets(params, kMaxAuthParameters, usm.auth))
        return fail(why, "bad authentication parameters");
    out.auth_offset = static_cast<size_t>(usm.auth.data() - start);
    if (!read_octets(params, kMaxPrivParameters, usm.priv))
        return fail(why, "bad privacy parameters");
    if (!params.at_end()) return fail(why, "bytes after the security parameters");
    return true;
}

}  // namespace

bool decode_v3_message(const uint8_t* data, size_t size, V3Message& out, const char** why) {
    out = V3Message{};
    BerReader whole(data, size);
    BerReader msg(nullptr, 0);
    if (!whole.expect(kTagSequence, msg)) return fail(why, "not a message sequence");
    if (!whole.at_end()) return fail(why, "bytes after the message");
    int32_t version = 0;
    if (!msg.read_int32(ASN_INTEGER, version) || version != kVersion3)
        return fail(why, "not an SNMPv3 message");
    if (!decode_header(msg, out, why) || !decode_usm(msg, data, out, why)) return false;
    const uint8_t* item = msg.position();
    uint8_t tag = 0;
    BerReader contents(nullptr, 0);
    if (!msg.read_item(tag, contents)) return fail(why, "bad message data");
    if (out.flags & kFlagPriv) {
        if (tag != ASN_OCTET_STRING) return fail(why, "privacy flag without encrypted data");
        out.data = ByteView(contents.position(), contents.left());
    } else {
        if (tag != kTagSequence) return fail(why, "bad scoped PDU");
        out.data = ByteView(item, msg.position());
    }
    if (!msg.at_end()) return fail(why, "bytes after the message data");
    return true;
}

bool decode_scoped_pdu(ByteView bytes, size_t padding, ScopedPdu& out, const char** why) {
    out = ScopedPdu{};
    BerReader all(bytes.data(), bytes.size());
    BerReader scoped(nullptr, 0);
    if (!all.expect(kTagSequence, scoped)) return fail(why, "bad scoped PDU");
    if (!all.at_end() && all.left() > padding) return fail(why, "bytes after the scoped PDU");
    if (!read_octets(scoped, kMaxEngineId, out.context_engine_id) ||
        !engine_id_size_ok(out.context_engine_id.size()))
        return fail(why, "bad context engine id");
    if (!read_octets(scoped, kMaxContextName, out.context_name))
        return fail(why, "bad context name");
    const uint8_t* item = scoped.position();
    BerReader pdu(nullptr, 0);
    if (!scoped.read_item(out.pdu_type, pdu) || out.pdu_type < kPduGet || out.pdu_type > kPduReport)
        return fail(why, "bad PDU");
    out.pdu = ByteView(item, scoped.position());
    if (!scoped.at_end()) return fail(why, "bytes after the PDU");
    return true;
}

void encode_scoped_pdu(ByteView context_engine_id, ByteView context_name, const PduWriter& pdu,
                       BerWriter& w) {
    const size_t mark = w.mark();
    pdu(w);
    w.put_bytes(ASN_OCTET_STRING, context_name.data(), context_name.size());
    w.put_bytes(ASN_OCTET_STRING, context_engine_id.data(), context_engine_id.size());
    w.close(kTagSequence, mark);
}

void encode_v3_message(V3Message& m, BerWriter& w) {
    const UsmParameters& usm = m.usm;
    const size_t params_mark = w.mark();
    w.put_bytes(ASN_OCTET_STRING, usm.priv.data(), usm.priv.size());
    // The writer grows towards the start, so the digest's place is known from the end.
    const size_t auth_from_end = w.size() + usm.auth.size();
    w.put_bytes(ASN_OCTET_STRING, usm.auth.data(), usm.auth.size());
    w.put_bytes(ASN_OCTET_STRING, usm.user_name.data(), usm.user_name.size());
    w.put_signed(ASN_INTEGER, usm.time);
    w.put_signed(ASN_INTEGER, usm.boots);
    w.put_bytes(ASN_OCTET_STRING, usm.engine_id.data(), usm.engine_id.size());
    w.close(kTagSequence, params_mark);
    w.close(ASN_OCTET_STRING, params_mark);

    const size_t header_mark = w.mark();
    w.put_signed(ASN_INTEGER, kUserSecurityModel);
    w.put_bytes(ASN_OCTET_STRING, &m.flags, 1);
    w.put_signed(ASN_INTEGER, m.max_size);
    w.put_signed(ASN_INTEGER, m.msg_id);
    w.close(kTagSequence, header_mark);
    w.put_signed(ASN_INTEGER, kVersion3);
    w.close(kTagSequence, 0);
    m.auth_offset = w.size() - auth_from_end;
}

}  // namespace snmp
