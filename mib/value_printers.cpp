// The value printers, one per kind of value, and the generic printer that chooses by tag.
#include <cstring>

#include "mib/oid_names.h"
#include "mib/text_out.h"
#include "mib/value_format.h"

namespace {

constexpr int32_t kLabelled = 0;

const MibValue* value_of(const MibVariable* variable) {
    return variable ? variable->value : nullptr;
}

bool has_tag(const MibVariable* variable, int32_t tag) {
    const MibValue* value = value_of(variable);
    return value && value->tag == tag;
}

// The bytes of a string-like value; a negative length or missing data reads as empty.
struct Bytes {
    const uint8_t* data;
    size_t length;
};

Bytes bytes_of(const MibValue* value) {
    const MibValueString& s = value->data.string;
    if (s.length <= 0 || !s.bytes) return {nullptr, 0};
    return {s.bytes, static_cast<size_t>(s.length)};
}

void put_hex_bytes(TextOut& out, Bytes b) {
    out.advance(hex_bytes(out.tail(), out.tail_capacity(), b.data, b.length));
}

void put_text_bytes(TextOut& out, Bytes b) {
    out.advance(text_bytes(out.tail(), out.tail_capacity(), b.data, b.length));
}

void put_hex_dump(TextOut& out, Bytes b) {
    out.advance(hex_dump(out.tail(), out.tail_capacity(), b.data, b.length));
}

const char* enum_label(const EnumEntry* enums, int32_t value) {
    for (const EnumEntry* e = enums; e; e = e->next)
        if (e->value == value) return e->label;
    return nullptr;
}

// Text or not, both octet-string printers end the same way in the bare form.
// `hex_label` null: the octet-string header with its length line.
void octet_string_body(TextOut& out, Bytes b, bool text, int32_t form, const char* text_label,
                       const char* hex_label) {
    if (form != kLabelled) {
        if (text)
            put_text_bytes(out, b);
        else
            put_hex_bytes(out, b);
        return;
    }
    if (text) {
        out.put(text_label);
        put_text_bytes(out, b);
        return;
    }
    if (hex_label)
        out.put(hex_label);
    else
        out.printf("OCTET STRING-   (hex): length = %d\n", static_cast<int>(b.length));
    put_hex_dump(out, b);
}

}  // namespace

int render_by_tag(char* buffer, int32_t capacity, const MibVariable* variable,
                  const EnumEntry* enums, int32_t form) {
    const MibValue* value = value_of(variable);
    switch (value ? value->tag : -1) {
        case ASN_INTEGER:
            return print_integer(buffer, capacity, variable, enums, form);
        case ASN_OCTET_STRING:
            return print_octet_string(buffer, capacity, variable, enums, form);
        case ASN_NULL:
            return print_null(buffer, capacity, variable, enums, form);
        case ASN_OBJECT_ID:
            return print_object_id(buffer, capacity, variable, enums, form);
        case ASN_IP_ADDRESS:
            return print_ip_address(buffer, capacity, variable, enums, form);
        case ASN_COUNTER:
        case ASN_COUNTER64:
            return print_counter(buffer, capacity, variable, enums, form);
        case ASN_GAUGE:
            return print_gauge(buffer, capacity, variable, enums, form);
        case ASN_TIME_TICKS:
            return print_time_ticks(buffer, capacity, variable, enums, form);
        case ASN_OPAQUE:
            return print_opaque(buffer, capacity, variable, enums, form);
        case ASN_NSAP_ADDRESS:
            return print_nsap_address(buffer, capacity, variable, enums, form);
        case ASN_UINTEGER:
            return print_unsigned_integer(buffer, capacity, variable, enums, form);
        default: {
            TextOut out = TextOut::from_signed(buffer, capacity);
            out.put("Variable has bad type");
            return 0;
        }
    }
}

int print_octet_string(char* buffer, int32_t capacity, const MibVariable* variable,
                       const EnumEntry* enums, int32_t form) {
    if (!has_tag(variable, ASN_OCTET_STRING))
        return render_by_tag(buffer, capacity, variable, enums, form);
    TextOut out = TextOut::from_signed(buffer, capacity);
    const Bytes b = bytes_of(variable->value);
    octet_string_body(out, b, bytes_are_text(b.data, b.length, false), form,
                      "OCTET STRING- (ascii):\t", nullptr);
    return 0;
}

int print_octet_string2(char* buffer, int32_t capacity, const MibVariable* variable,
                        const EnumEntry* enums, int32_t form) {
    return print_octet_string(buffer, capacity, variable, enums, form);
}

int print_display_string(char* buffer, int32_t capacity, const MibVariable* variable,
                         const EnumEntry* enums, int32_t form) {
    if (!has_tag(variable, ASN_OCTET_STRING))
        return render_by_tag(buffer, capacity, variable, enums, form);
    TextOut out = TextOut::from_signed(buffer, capacity);
    Bytes b = bytes_of(variable->value);
    // A display string ends at its first NUL, whatever the length says.
    if (b.length > 0) {
        const void* nul = std::memchr(b.data, 0, b.length);
        if (nul) b.length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - b.data);
    }
    octet_string_body(out, b, bytes_are_text(b.data, b.length, true), form,
                      "DISPLAY STRING- (ascii):  ", "DISPLAY STRING-   (hex):  ");
    return 0;
}

// Values shown in hexadecimal whatever they hold: a dump under `label`, or the bare bytes.
static void put_hex_value(char* buffer, int32_t capacity, const MibVariable* variable, int32_t form,
                          const char* label) {
    TextOut out = TextOut::from_signed(buffer, capacity);
    const Bytes b = bytes_of(variable->value);
    if (form == kLabelled) {
        out.put(label);
        put_hex_dump(out, b);
    } else {
        put_hex_bytes(out, b);
    }
}

int print_opaque(char* buffer, int32_t capacity, const MibVariable* variable,
                 const EnumEntry* enums, int32_t form) {
    if (!has_tag(variable, ASN_OPAQUE))
        return render_by_tag(buffer, capacity, variable, enums, form);
    put_hex_value(buffer, capacity, variable, form, "DISPLAY STRING-   (hex):  ");
    return 0;
}

int print_nsap_address(char* buffer, int32_t capacity, const MibVariable* variable,
                       const EnumEntry* enums, int32_t form) {
    if (!has_tag(variable, ASN_NSAP_ADDRESS))
        return render_by_tag(buffer, capacity, variable, enums, form);
    put_hex_value(buffer, capacity, variable, form, "NSAPADDRESS-   (hex):  ");
    return 0;
}

int print_object_id(char* buffer, int32_t capacity, const MibVariable* variable,
                    const EnumEntry* enums, int32_t form) {
    if (!has_tag(variable, ASN_OBJECT_ID))
        return render_by_tag(buffer, capacity, variable, enums, form);
    TextOut out = TextOut::from_signed(buffer, capacity);
    if (form == kLabelled) out.put("OBJECT IDENTIFIER:\t");
    const MibValueString& s = variable->value->data.string;
    const int32_t count = s.ids ? s.length : 0;
    format_oid(out.tail(), out.tail_capacity(), s.ids, count);
    if (out.tail()) out.advance(strnlen(out.tail(), out.tail_capacity()));
    return 0;
}

int print_time_ticks(char* buffer, int32_t capacity, const MibVariable* variable,
                     const EnumEntry* enums, int32_t form) {
    if (!has_tag(variable, ASN_TIME_TICKS))
        return render_by_tag(buffer, capacity, variable, enums, form);
    TextOut out = TextOut::from_signed(buffer, capacity);
    char uptime[kTicksTextSize];
    const uint32_t ticks = variable->value->data.uinteger;
    ticks_text(uptime, sizeof uptime, ticks);
    if (form == kLabelled)
        out.printf("Timeticks: (%u) %s", ticks, uptime);
    else
        out.printf("(%u) %s", ticks, uptime);
    return 0;
}

int print_integer(char* buffer, int32_t capacity, const MibVariable* variable,
                  const EnumEntry* enums, int32_t form) {
    if (!has_tag(variable, ASN_INTEGER))
        return render_by_tag(buffer, capacity, variable, enums, form);
    TextOut out = TextOut::from_signed(buffer, capacity);
    const int32_t value = variable->value->data.integer;
    if (form == kLabelled) out.put("INTEGER: ");
    if (const char* label = enum_label(enums, value))
        out.put(label);
    else
        out.printf("%d", value);
    return 0;
}

int print_unsigned_integer(char* buffer, int32_t capacity, const MibVariable* variable,
                           const EnumEntry* enums, int32_t form) {
    if (!has_tag(variable, ASN_UINTEGER))
        return render_by_tag(buffer, capacity, variable, enums, form);
    TextOut out = TextOut::from_signed(buffer, capacity);
    const uint32_t value = variable->value->data.uinteger;
    if (form == kLabelled) out.put("INTEGER: ");
    if (const char* label = enum_label(enums, static_cast<int32_t>(value)))
        out.put(label);
    else
        out.printf("%u", value);
    return 0;
}

int print_gauge(char* buffer, int32_t capacity, const MibVariable* variable, const EnumEntry* enums,
                int32_t form) {
    if (!has_tag(variable, ASN_GAUGE))
        return render_by_tag(buffer, capacity, variable, enums, form);
    TextOut out = TextOut::from_signed(buffer, capacity);
    out.printf(form == kLabelled ? "Gauge: %u" : "%u", variable->value->data.uinteger);
    return 0;
}

int print_counter(char* buffer, int32_t capacity, const MibVariable* variable,
                  const EnumEntry* enums, int32_t form) {
    if (!has_tag(variable, ASN_COUNTER) && !has_tag(variable, ASN_COUNTER64))
        return render_by_tag(buffer, capacity, variable, enums, form);
    TextOut out = TextOut::from_signed(buffer, capacity);
    if (form == kLabelled) out.put("Counter: ");
    const MibValue* value = variable->value;
    if (value->tag == ASN_COUNTER64)
        out.printf("%llu", static_cast<unsigned long long>(value->data.counter64));
    else
        out.printf("%u", value->data.uinteger);
    return 0;
}

int print_ip_address(char* buffer, int32_t capacity, const MibVariable* variable,
                     const EnumEntry* enums, int32_t form) {
    if (!has_tag(variable, ASN_IP_ADDRESS))
        return render_by_tag(buffer, capacity, variable, enums, form);
    TextOut out = TextOut::from_signed(buffer, capacity);
    const Bytes b = bytes_of(variable->value);
    if (b.length < 4) {
        // A short address shows the bytes it has rather than reading past them.
        if (form == kLabelled) out.put("IpAddress:\t");
        put_hex_bytes(out, b);
    } else {
        out.printf(form == kLabelled ? "IpAddress:\t%d.%d.%d.%d" : "%d.%d.%d.%d", b.data[0],
                   b.data[1], b.data[2], b.data[3]);
    }
    return 0;
}

int print_network_address(char* buffer, int32_t capacity, const MibVariable* variable,
                          const EnumEntry* enums, int32_t form) {
    return print_ip_address(buffer, capacity, variable, enums, form);
}

int print_null(char* buffer, int32_t capacity, const MibVariable* variable, const EnumEntry* enums,
               int32_t form) {
    if (!has_tag(variable, ASN_NULL)) return render_by_tag(buffer, capacity, variable, enums, form);
    TextOut out = TextOut::from_signed(buffer, capacity);
    out.put("NULL");
    return 0;
}

ValuePrinter printer_for_type(int32_t type) {
    switch (type) {
        case MIB_TYPE_OBJECT_ID:
            return print_object_id;
        case MIB_TYPE_OCTET_STRING:
            return print_octet_string;
        case MIB_TYPE_INTEGER:
            return print_integer;
        case MIB_TYPE_NET_ADDRESS:
            return print_network_address;
        case MIB_TYPE_IP_ADDRESS:
            return print_ip_address;
        case MIB_TYPE_COUNTER:
            return print_counter;
        case MIB_TYPE_GAUGE:
            return print_gauge;
        case MIB_TYPE_TIME_TICKS:
            return print_time_ticks;
        case MIB_TYPE_OPAQUE:
            return print_opaque;
        case MIB_TYPE_NULL:
            return print_null;
        case MIB_TYPE_OCTET_STRING2:
            return print_octet_string2;
        case MIB_TYPE_DISPLAY_STRING:
            return print_display_string;
        default:
            return nullptr;
    }
}

int32_t asn_tag_for_type(int32_t type) {
    switch (type) {
        case MIB_TYPE_OBJECT_ID:
            return ASN_OBJECT_ID;
        case MIB_TYPE_OCTET_STRING:
        case MIB_TYPE_OCTET_STRING2:
        case MIB_TYPE_DISPLAY_STRING:
            return ASN_OCTET_STRING;
        case MIB_TYPE_INTEGER:
            return ASN_INTEGER;
        case MIB_TYPE_NET_ADDRESS:
        case MIB_TYPE_IP_ADDRESS:
            return ASN_IP_ADDRESS;
        case MIB_TYPE_COUNTER:
            return ASN_COUNTER;
        case MIB_TYPE_GAUGE:
            return ASN_GAUGE;
        case MIB_TYPE_TIME_TICKS:
            return ASN_TIME_TICKS;
        case MIB_TYPE_OPAQUE:
            return ASN_OPAQUE;
        case MIB_TYPE_NULL:
            return ASN_NULL;
        case MIB_TYPE_COUNTER64:
            return ASN_COUNTER64;
        case MIB_TYPE_NSAP_ADDRESS:
            return ASN_NSAP_ADDRESS;
        case MIB_TYPE_UINTEGER:
            return ASN_UINTEGER;
        default:
            return 0;
    }
}
