// The typed renderer: the hint where it fits, the value printers otherwise.
#include "mib/render_value.h"

#include <cstring>

#include "mib/display_hint.h"
#include "mib/value_format.h"

namespace {

// Room for a label, a number or a TimeTicks text, with some to spare.
constexpr size_t kScalarRoom = kMibLabelSize + 32;

bool holds_bytes(int32_t tag) {
    return tag == ASN_OCTET_STRING || tag == ASN_IP_ADDRESS || tag == ASN_OPAQUE ||
           tag == ASN_NSAP_ADDRESS;
}

// The most text the bare form of any printer writes for the value, NUL included.
size_t text_room(const MibValue& value) {
    const int32_t length = value.data.string.length > 0 ? value.data.string.length : 0;
    const size_t n = static_cast<size_t>(length);
    if (holds_bytes(value.tag)) return 3 * n + kScalarRoom;                        // "%02X " a byte
    if (value.tag == ASN_OBJECT_ID) return (kMibLabelSize + 1) * n + kScalarRoom;  // a label an id
    return kScalarRoom;
}

const char* label_of(const EnumEntry* enums, int32_t value) {
    for (const EnumEntry* e = enums; e; e = e->next)
        if (e->value == value) return e->label;
    return nullptr;
}

bool render_hinted(std::string& out, const MibValue& value, const ValueSyntax& syntax,
                   unsigned flags) {
    const bool named = !(flags & kRenderNumeric) && syntax.enums;
    switch (value.tag) {
        case ASN_OCTET_STRING: {
            const MibValueString& s = value.data.string;
            const size_t n = s.length > 0 && s.bytes ? static_cast<size_t>(s.length) : 0;
            return render_octet_hint(out, syntax.hint, s.bytes, n);
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

}  // namespace

void render_value(std::string& out, const MibValue& value, const ValueSyntax& syntax,
                  unsigned flags) {
    if ((flags & kRenderHint) && !syntax.hint.empty() && render_hinted(out, value, syntax, flags))
        return;
    ValuePrinter printer = printer_for_type(syntax.type);
    if (!printer) printer = render_by_tag;
    MibValue copy = value;
    const MibVariable variable{nullptr, &copy};
    const size_t room = text_room(value);
    const size_t start = out.size();
    out.resize(start + room);
    printer(out.data() + start, room > INT32_MAX ? INT32_MAX : static_cast<int32_t>(room),
            &variable, flags & kRenderNumeric ? nullptr : syntax.enums, 1);
    out.resize(start + std::strlen(out.data() + start));
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
