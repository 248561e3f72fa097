// The value printers, one per kind of value, and the generic printer that chooses by tag: each
// is the typed renderer with its own type, so a value of another tag reads as that tag's.
#include "mib/render_value.h"
#include "mib/text_out.h"
#include "mib/value_format.h"

namespace {

int print_as(int32_t type, char* buffer, int32_t capacity, const MibVariable* variable,
             const EnumEntry* enums, int32_t form) {
    TextOut out = TextOut::from_signed(buffer, capacity);
    const MibValue* value = variable ? variable->value : nullptr;
    if (!value) {
        out.put("Variable has bad type");
        return 0;
    }
    // Form 0 is the labelled one; any other is bare.
    render_value(out, *value, {type, enums, {}}, form == 0 ? kRenderLabelled : kRenderPlain);
    return 0;
}

}  // namespace

int render_by_tag(char* buffer, int32_t capacity, const MibVariable* variable,
                  const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_OTHER, buffer, capacity, variable, enums, form);
}

int print_octet_string(char* buffer, int32_t capacity, const MibVariable* variable,
                       const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_OCTET_STRING, buffer, capacity, variable, enums, form);
}

int print_octet_string2(char* buffer, int32_t capacity, const MibVariable* variable,
                        const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_OCTET_STRING2, buffer, capacity, variable, enums, form);
}

int print_display_string(char* buffer, int32_t capacity, const MibVariable* variable,
                         const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_DISPLAY_STRING, buffer, capacity, variable, enums, form);
}

int print_opaque(char* buffer, int32_t capacity, const MibVariable* variable,
                 const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_OPAQUE, buffer, capacity, variable, enums, form);
}

int print_nsap_address(char* buffer, int32_t capacity, const MibVariable* variable,
                       const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_NSAP_ADDRESS, buffer, capacity, variable, enums, form);
}

int print_object_id(char* buffer, int32_t capacity, const MibVariable* variable,
                    const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_OBJECT_ID, buffer, capacity, variable, enums, form);
}

int print_time_ticks(char* buffer, int32_t capacity, const MibVariable* variable,
                     const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_TIME_TICKS, buffer, capacity, variable, enums, form);
}

int print_integer(char* buffer, int32_t capacity, const MibVariable* variable,
                  const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_INTEGER, buffer, capacity, variable, enums, form);
}

int print_unsigned_integer(char* buffer, int32_t capacity, const MibVariable* variable,
                           const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_UINTEGER, buffer, capacity, variable, enums, form);
}

int print_gauge(char* buffer, int32_t capacity, const MibVariable* variable, const EnumEntry* enums,
                int32_t form) {
    return print_as(MIB_TYPE_GAUGE, buffer, capacity, variable, enums, form);
}

int print_counter(char* buffer, int32_t capacity, const MibVariable* variable,
                  const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_COUNTER, buffer, capacity, variable, enums, form);
}

int print_ip_address(char* buffer, int32_t capacity, const MibVariable* variable,
                     const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_IP_ADDRESS, buffer, capacity, variable, enums, form);
}

int print_network_address(char* buffer, int32_t capacity, const MibVariable* variable,
                          const EnumEntry* enums, int32_t form) {
    return print_as(MIB_TYPE_NET_ADDRESS, buffer, capacity, variable, enums, form);
}

int print_null(char* buffer, int32_t capacity, const MibVariable* variable, const EnumEntry* enums,
               int32_t form) {
    return print_as(MIB_TYPE_NULL, buffer, capacity, variable, enums, form);
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
