// The typed renderer: every kind of value in the printers' labelled and bare forms, and the hint
// where one is asked for and fits.
#include "mib/render_value.h"

#include <cstring>

#include "mib/display_hint.h"
#include "mib/oid_names.h"
#include "mib/value_format.h"

namespace {

// Room for a label, a number or a TimeTicks text, with some to spare.
constexpr size_t kScalarRoom = kMibLabelSize + 64;

// The bytes of a string-like value; a negative length or missing data reads as empty.
struct Bytes {
    const uint8_t* data;
    size_t length;
};

Bytes bytes_of(const MibValue& value) {
    const MibValueString& s = value.data.string;
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

const char* label_of(const EnumEntry* enums, int32_t value) {
    for (const EnumEntry* e = enums; e; e = e->next)
        if (e->value == value) return e->label;
    return nullptr;
}

// Text or not, both octet-string forms end the same way in the bare form.
// `hex_label` null: the octet-string header with its length line.
void octet_string_body(TextOut& out, Bytes b, bool text, bool labelled, const char* text_label,
                       const char* hex_label) {
    if (!labelled) {
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

void octet_string(TextOut& out, const MibValue& value, bool labelled) {
    const Bytes b = bytes_of(value);
    octet_string_body(out, b, bytes_are_text(b.data, b.length, false), labelled,
                      "OCTET STRING- (ascii):\t", nullptr);
}

void display_string(TextOut& out, const MibValue& value, bool labelled) {
    Bytes b = bytes_of(value);
    // A display string ends at its first NUL, whatever the length says.
    if (b.length > 0) {
        const void* nul = std::memchr(b.data, 0, b.length);
        if (nul) b.length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - b.data);
    }
    octet_string_body(out, b, bytes_are_text(b.data, b.length, true), labelled,
                      "DISPLAY STRING- (ascii):  ", "DISPLAY STRING-   (hex):  ");
}

// Values shown in hexadecimal whatever they hold: a dump under `label`, or the bare bytes.
void hex_value(TextOut& out, const MibValue& value, bool labelled, const char* label) {
    const Bytes b = bytes_of(value);
    if (labelled) {
        out.put(label);
        put_hex_dump(out, b);
    } else {
        put_hex_bytes(out, b);
    }
}

void object_id(TextOut& out, const MibValue& value, bool labelled) {
    if (labelled) out.put("OBJECT IDENTIFIER:\t");
    const MibValueString& s = value.data.string;
    const int32_t count = s.ids ? s.length : 0;
    format_oid(out.tail(), out.tail_capacity(), s.ids, count);
    if (out.tail()) out.advance(strnlen(out.tail(), out.tail_capacity()));
}

void time_ticks(TextOut& out, uint32_t ticks, bool labelled) {
    char uptime[kTicksTextSize];
    ticks_text(uptime, sizeof uptime, ticks);
    if (labelled)
        out.printf("Timeticks: (%u) %s", ticks, uptime);
    else
        out.printf("(%u) %s", ticks, uptime);
}

void integer(TextOut& out, const MibValue& value, const EnumEntry* enums, bool labelled) {
    if (labelled) out.put("INTEGER: ");
    const bool is_unsigned = value.tag == ASN_UINTEGER;
    const int32_t as_signed =
        is_unsigned ? static_cast<int32_t>(value.data.uinteger) : value.data.integer;
    if (const char* label = label_of(enums, as_signed))
        out.put(label);
    else if (is_unsigned)
        out.printf("%u", value.data.uinteger);
    else
        out.printf("%d", value.data.integer);
}

void counter(TextOut& out, const MibValue& value, bool labelled) {
    if (labelled) out.put("Counter: ");
    if (value.tag == ASN_COUNTER64)
        out.printf("%llu", static_cast<unsigned long long>(value.data.counter64));
    else
        out.printf("%u", value.data.uinteger);
}

void ip_address(TextOut& out, const MibValue& value, bool labelled) {
    const Bytes b = bytes_of(value);
    if (b.length < 4) {
        // A short address shows the bytes it has rather than reading past them.
        if (labelled) out.put("IpAddress:\t");
        put_hex_bytes(out, b);
    } else {
        out.printf(labelled ? "IpAddress:\t%d.%d.%d.%d" : "%d.%d.%d.%d", b.data[0], b.data[1],
                   b.data[2], b.data[3]);
    }
}

// The value by its tag; of the object's type only a display string's rules matter.
void render_plain(TextOut& out, const MibValue& value, int32_t type, const EnumEntry* enums,
                  bool labelled) {
    switch (value.tag) {
        case ASN_INTEGER:
        case ASN_UINTEGER:
            return integer(out, value, enums, labelled);
        case ASN_OCTET_STRING:
            if (type == MIB_TYPE_DISPLAY_STRING) return display_string(out, value, labelled);
            return octet_string(out, value, labelled);
        case ASN_NULL:
            return out.put("NULL");
        case ASN_OBJECT_ID:
            return object_id(out, value, labelled);
        case ASN_IP_ADDRESS:
            return ip_address(out, value, labelled);
        case ASN_COUNTER:
        case ASN_COUNTER64:
            return counter(out, value, labelled);
        case ASN_GAUGE:
            return out.printf(labelled ? "Gauge: %u" : "%u", value.data.uinteger);
        case ASN_TIME_TICKS:
            return time_ticks(out, value.data.uinteger, labelled);
        case ASN_OPAQUE:
            return hex_value(out, value, labelled, "DISPLAY STRING-   (hex):  ");
        case ASN_NSAP_ADDRESS:
            return hex_value(out, value, labelled, "NSAPADDRESS-   (hex):  ");
        default:
            return out.put("Variable has bad type");
    }
}

bool render_hinted(std::string& out, const MibValue& value, const ValueSyntax& syntax,
                   unsigned flags) {
    const bool named = !(flags & kRenderNumeric) && syntax.enums;
    switch (value.tag) {
        case ASN_OCTET_STRING: {
            const Bytes b = bytes_of(value);
            return render_octet_hint(out, syntax.hint, b.data, b.length);
        }
        case ASN_INTEGER:
            if (named && label_of(syntax.enums, value.data.integer)) return false;
            return render_integer_hint(out, syntax.hint, value.data.integer);
        case ASN_GAUGE:
        case ASN_UINTEGER:
            if (named && label_of(syntax.enums, static_cast<int32_t>(value.data.uinteger)))
                return false;
            return render_integer_hint(out, syntax.hint, value.data.uinteger);
        default:
            return false;
    }
}

bool wants_hint(const ValueSyntax& syntax, unsigned flags) {
    return (flags & kRenderHint) && !(flags & kRenderLabelled) && !syntax.hint.empty();
}

// The most text the bare form writes for the value, NUL included; hints go the other way.
size_t bare_room(const MibValue& value) {
    const bool bytes = value.tag == ASN_OCTET_STRING || value.tag == ASN_IP_ADDRESS ||
                       value.tag == ASN_OPAQUE || value.tag == ASN_NSAP_ADDRESS;
    const size_t n = bytes || value.tag == ASN_OBJECT_ID ? bytes_of(value).length : 0;
    if (bytes) return 3 * n + kScalarRoom;                                         // "%02X " a byte
    if (value.tag == ASN_OBJECT_ID) return (kMibLabelSize + 1) * n + kScalarRoom;  // a label an id
    return kScalarRoom;
}

}  // namespace

void render_value(TextOut& out, const MibValue& value, const ValueSyntax& syntax, unsigned flags) {
    if (wants_hint(syntax, flags)) {
        std::string text;
        if (render_hinted(text, value, syntax, flags)) {
            out.put(text.data(), text.size());
            return;
        }
    }
    render_plain(out, value, syntax.type, flags & kRenderNumeric ? nullptr : syntax.enums,
                 flags & kRenderLabelled);
}

void render_value(std::string& out, const MibValue& value, const ValueSyntax& syntax,
                  unsigned flags) {
    if (wants_hint(syntax, flags) && render_hinted(out, value, syntax, flags)) return;
    const size_t room = flags & kRenderLabelled ? 4 * bare_room(value) : bare_room(value);
    const size_t start = out.size();
    out.resize(start + room);
    TextOut text(out.data() + start, room);
    render_plain(text, value, syntax.type, flags & kRenderNumeric ? nullptr : syntax.enums,
                 flags & kRenderLabelled);
    out.resize(start + text.length());
}

std::string_view inet_address_hint(int64_t type) {
    switch (type) {
        case kInetIPv4:
            return "1d.1d.1d.1d";
        case kInetIPv6:
            return "2x:2x:2x:2x:2x:2x:2x:2x";
        case kInetIPv4z:
            return "1d.1d.1d.1d%4d";
        case kInetIPv6z:
            return "2x:2x:2x:2x:2x:2x:2x:2x%4d";
        case kInetDns:
            return "255a";
        default:
            return {};
    }
}

bool inet_address_size_fits(int64_t type, size_t size) {
    switch (type) {
        case kInetUnknown:
            return size == 0;
        case kInetIPv4:
            return size == 4;
        case kInetIPv6:
            return size == 16;
        case kInetIPv4z:
            return size == 8;
        case kInetIPv6z:
            return size == 20;
        case kInetDns:
            return size >= 1 && size <= 255;
        default:
            return true;
    }
}
