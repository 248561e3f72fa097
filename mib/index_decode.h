// A row's instance (the sub-identifiers after the column's identifier) split into the values of
// the entry's INDEX components, and each value's text.
//
// Building the components: one IndexComponent per INDEX object, in INDEX order (for an entry
// that AUGMENTS another, the other entry's INDEX), from that object's facts (index_component_for
// does this from the object's node and the companion's facts):
//   kind        from the object's base syntax: INTEGER / Integer32 -> kInteger, but an object
//               whose convention is InetAddressType -> kInetAddressType; Unsigned32, Gauge32,
//               TimeTicks -> kUnsigned; IpAddress -> kIpAddress; NetworkAddress ->
//               kNetworkAddress; OBJECT IDENTIFIER -> kObjectId;
//               OCTET STRING -> kOctetString, but InetAddress -> kInetAddress;
//   fixed_size  for kOctetString, its size when the SIZE constraint allows exactly one (e.g.
//               SIZE (6)); 0 for any other constraint, which makes the string length-prefixed;
//   implied     the IMPLIED keyword (before the last component only; ignored elsewhere);
//   syntax      the object node's type and enums, and its DISPLAY-HINT through the convention
//               chain (for kInetAddress, leave the hint empty: the type component's value picks
//               the hint).
//
// Which sub-identifiers each component takes: kInteger, kUnsigned and kInetAddressType one;
// kIpAddress four; kNetworkAddress five (1 for an internet address, then its four octets); a
// fixed-size string its size; an IMPLIED last string or identifier all that are left; any other
// string, identifier or InetAddress a length and then that many.
//
// An instance that does not decode never shifts a value into the wrong cell:
//  - when a component's extent cannot be known (fewer sub-identifiers left than it needs, or a
//    length beyond what is left), it and every component after it are undecoded, and each of
//    their cells holds the rest of the instance from that component's start (empty when nothing
//    is left);
//  - when its extent is known but its content is wrong (a string octet above 255, an INTEGER
//    above 2147483647, an IpAddress octet above 255, a NetworkAddress not of the internet kind,
//    an InetAddress whose size its type does not allow), that component alone is undecoded, its
//    cell holding its own sub-identifiers (length included); the components after it decode as
//    usual;
//  - sub-identifiers left after the last component make the last component undecoded, its cell
//    holding everything from its start to the end of the instance.
// An undecoded cell reads as dotted numbers with a leading dot (".4.192.168").
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mib/render_value.h"

enum class IndexKind : uint8_t {
    kInteger,
    kUnsigned,
    kIpAddress,
    kNetworkAddress,
    kObjectId,
    kOctetString,
    kInetAddressType,
    kInetAddress,
};

struct IndexComponent {
    IndexKind kind = IndexKind::kInteger;
    uint32_t fixed_size = 0;  // kOctetString only: exact size; 0 when length-prefixed
    bool implied = false;     // IMPLIED; honoured on the last component only
    ValueSyntax syntax;       // printer type, enumerations, hint
};

// One component's share of the instance. Positions are offsets into the instance.
struct IndexValue {
    bool decoded = false;
    uint32_t first = 0;      // the sub-identifiers this cell covers (the undecoded text when not
    uint32_t count = 0;      // decoded)
    uint32_t data = 0;       // the octets or identifier, after any length (strings, identifiers,
    uint32_t size = 0;       // IpAddress)
    int64_t number = 0;      // kInteger, kUnsigned, kInetAddressType
    int64_t inet_type = -1;  // kInetAddress: the value of the nearest InetAddressType before it
};

// The component of an INDEX object from its node (type and enumerations) and the facts the
// database's companion holds for it: its convention's name ("InetAddressType", "InetAddress" and
// "NetworkAddress" matter), its DISPLAY-HINT, the one size its SIZE allows (0: none) and whether
// it is IMPLIED. The component keeps a view of `hint`, which must outlive it. nullopt for a type
// that no index has (NULL, Counter64, none known).
std::optional<IndexComponent> index_component_for(const MibNode& node, std::string_view convention,
                                                  std::string_view hint, uint32_t fixed_size,
                                                  bool implied);

// Splits the instance into `out`, one value per component (`out` is resized and overwritten).
void decode_index(const uint32_t* instance, size_t count,
                  std::span<const IndexComponent> components, std::vector<IndexValue>& out);

// Appends the text of a decoded value as render_value gives it for the component's syntax
// (numbers as INTEGER or Gauge, octets as OCTET STRING or IpAddress (also a NetworkAddress's),
// identifiers as OBJECT
// IDENTIFIER); with kRenderHint an InetAddress takes the hint of its type. An undecoded value
// appends its dotted sub-identifiers.
void render_index_value(std::string& out, const uint32_t* instance, const IndexValue& value,
                        const IndexComponent& component, unsigned flags);
