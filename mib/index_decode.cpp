// The index decoder: each component's extent in the instance, then its content.
#include "mib/index_decode.h"

#include <limits>

#include "mib/value_format.h"

namespace {

constexpr uint32_t kMaxIndexInteger = 2147483647;  // an index INTEGER is never negative
constexpr uint32_t kMaxOctet = 255;
constexpr uint32_t kIpAddressSize = 4;
constexpr uint32_t kInternetAddress = 1;  // the one kind of NetworkAddress, before its octets
constexpr size_t kInlineOctets = 256;

bool takes_string(IndexKind kind) {
    return kind == IndexKind::kOctetString || kind == IndexKind::kObjectId ||
           kind == IndexKind::kInetAddress;
}

// Sets the component's extent from `at`, with `left` sub-identifiers after it; false when it
// cannot be known.
bool find_extent(const IndexComponent& c, bool last, const uint32_t* ids, uint32_t at,
                 uint32_t left, IndexValue& v) {
    v.first = at;
    const bool fixed_string = c.kind == IndexKind::kOctetString && c.fixed_size > 0;
    if (takes_string(c.kind) && !fixed_string) {
        if (c.implied && last) {
            v.data = at, v.size = left, v.count = left;
            return true;
        }
        if (left == 0 || ids[at] > left - 1) return false;
        v.data = at + 1, v.size = ids[at], v.count = ids[at] + 1;
        return true;
    }
    const bool network = c.kind == IndexKind::kNetworkAddress;
    uint32_t need = 1;
    if (fixed_string) need = c.fixed_size;
    if (c.kind == IndexKind::kIpAddress) need = kIpAddressSize;
    if (network) need = kIpAddressSize + 1;
    if (need > left) return false;
    v.count = need;
    v.data = network ? at + 1 : at;
    v.size = network ? kIpAddressSize : need;
    return true;
}

bool octets_fit(const uint32_t* ids, const IndexValue& v) {
    for (uint32_t i = 0; i < v.size; ++i)
        if (ids[v.data + i] > kMaxOctet) return false;
    return true;
}

// Whether the content within the extent is a value of the component's kind; sets `number`.
bool read_content(const IndexComponent& c, const uint32_t* ids, IndexValue& v) {
    switch (c.kind) {
        case IndexKind::kInteger:
        case IndexKind::kInetAddressType:
            v.number = ids[v.data];
            return ids[v.data] <= kMaxIndexInteger;
        case IndexKind::kUnsigned:
            v.number = ids[v.data];
            return true;
        case IndexKind::kObjectId:
            return true;
        case IndexKind::kNetworkAddress:
            return ids[v.first] == kInternetAddress && octets_fit(ids, v);
        case IndexKind::kInetAddress:
            return octets_fit(ids, v) &&
                   (v.inet_type < 0 || inet_address_size_fits(v.inet_type, v.size));
        default:
            return octets_fit(ids, v);
    }
}

}  // namespace

std::optional<IndexComponent> index_component_for(const MibNode& node, std::string_view convention,
                                                  std::string_view hint, uint32_t fixed_size,
                                                  bool implied) {
    IndexComponent c;
    c.implied = implied;
    c.syntax = {node.type, node.enums, hint};
    switch (node.type) {
        case MIB_TYPE_INTEGER:
            c.kind =
                convention == "InetAddressType" ? IndexKind::kInetAddressType : IndexKind::kInteger;
            break;
        case MIB_TYPE_GAUGE:
        case MIB_TYPE_GAUGE32:
        case MIB_TYPE_UINTEGER:
        case MIB_TYPE_TIME_TICKS:
        case MIB_TYPE_COUNTER:
        case MIB_TYPE_COUNTER32:
            c.kind = IndexKind::kUnsigned;
            break;
        case MIB_TYPE_IP_ADDRESS:
            c.kind =
                convention == "NetworkAddress" ? IndexKind::kNetworkAddress : IndexKind::kIpAddress;
            break;
        case MIB_TYPE_NET_ADDRESS:
            c.kind = IndexKind::kNetworkAddress;
            break;
        case MIB_TYPE_OBJECT_ID:
            c.kind = IndexKind::kObjectId;
            break;
        case MIB_TYPE_OCTET_STRING:
        case MIB_TYPE_OCTET_STRING2:
        case MIB_TYPE_DISPLAY_STRING:
        case MIB_TYPE_OPAQUE:
        case MIB_TYPE_NSAP_ADDRESS:
        case MIB_TYPE_BIT_STRING:
            if (convention == "InetAddress") {
                c.kind = IndexKind::kInetAddress;
                c.syntax.hint = {};
            } else {
                c.kind = IndexKind::kOctetString;
                c.fixed_size = fixed_size;
            }
            break;
        default:
            return std::nullopt;
    }
    return c;
}

void decode_index(const uint32_t* instance, size_t count,
                  std::span<const IndexComponent> components, std::vector<IndexValue>& out) {
    out.assign(components.size(), IndexValue{});
    const uint32_t total = count > std::numeric_limits<uint32_t>::max()
                               ? std::numeric_limits<uint32_t>::max()
                               : static_cast<uint32_t>(count);
    uint32_t at = 0;
    int64_t inet_type = -1;
    for (size_t k = 0; k < components.size(); ++k) {
        const IndexComponent& c = components[k];
        IndexValue& v = out[k];
        if (!find_extent(c, k + 1 == components.size(), instance, at, total - at, v)) {
            // The rest is this component's and every later one's: nothing can be placed.
            for (size_t j = k; j < components.size(); ++j)
                out[j] = IndexValue{false, at, total - at};
            return;
        }
        if (c.kind == IndexKind::kInetAddress) v.inet_type = inet_type;
        v.decoded = read_content(c, instance, v);
        if (c.kind == IndexKind::kInetAddressType) inet_type = v.decoded ? v.number : -1;
        at += v.count;
    }
    if (at < total && !out.empty()) {
        IndexValue& last = out.back();
        last = IndexValue{false, last.first, total - last.first};
    }
}

namespace {

int32_t unsigned_tag(int32_t type) {
    const int32_t tag = asn_tag_for_type(type);
    const bool numeric =
        tag == ASN_GAUGE || tag == ASN_COUNTER || tag == ASN_TIME_TICKS || tag == ASN_UINTEGER;
    return numeric ? tag : ASN_GAUGE;
}

void append_dotted(std::string& out, const uint32_t* ids, uint32_t first, uint32_t count) {
    char digits[10];
    for (uint32_t i = first; i < first + count; ++i) {
        out.push_back('.');
        uint32_t id = ids[i];
        size_t n = 0;
        do {
            digits[n++] = static_cast<char>('0' + id % 10);
            id /= 10;
        } while (id != 0);
        while (n > 0) out.push_back(digits[--n]);
    }
}

}  // namespace

void render_index_value(std::string& out, const uint32_t* instance, const IndexValue& value,
                        const IndexComponent& component, unsigned flags) {
    if (!value.decoded) {
        append_dotted(out, instance, value.first, value.count);
        return;
    }
    MibValue v{};
    ValueSyntax syntax = component.syntax;
    switch (component.kind) {
        case IndexKind::kInteger:
        case IndexKind::kInetAddressType:
            v.tag = ASN_INTEGER;
            v.data.integer = static_cast<int32_t>(value.number);
            break;
        case IndexKind::kUnsigned:
            v.tag = unsigned_tag(syntax.type);
            v.data.uinteger = static_cast<uint32_t>(value.number);
            break;
        case IndexKind::kObjectId:
            v.tag = ASN_OBJECT_ID;
            v.data.string.length = static_cast<int32_t>(value.size);
            v.data.string.ids = instance + value.data;
            render_value(out, v, syntax, flags);
            return;
        default:
            break;
    }
    if (v.tag != 0) {
        render_value(out, v, syntax, flags);
        return;
    }
    // Octets: one per sub-identifier, each known to fit a byte.
    uint8_t inline_octets[kInlineOctets];
    std::vector<uint8_t> heap_octets;
    uint8_t* octets = inline_octets;
    if (value.size > kInlineOctets) {
        heap_octets.resize(value.size);
        octets = heap_octets.data();
    }
    for (uint32_t i = 0; i < value.size; ++i)
        octets[i] = static_cast<uint8_t>(instance[value.data + i]);
    const bool address =
        component.kind == IndexKind::kIpAddress || component.kind == IndexKind::kNetworkAddress;
    v.tag = address ? ASN_IP_ADDRESS : ASN_OCTET_STRING;
    v.data.string.length = static_cast<int32_t>(value.size);
    v.data.string.bytes = octets;
    if (component.kind == IndexKind::kInetAddress && (flags & kRenderHint))
        syntax.hint = inet_address_hint(value.inet_type);
    render_value(out, v, syntax, flags);
}
