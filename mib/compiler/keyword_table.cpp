#include <cstring>
#include <string>

#include "mib/compiler/compiler_internal.h"

namespace {

// The fixed keyword table; hash and chain are filled when the index is built.
constexpr KeywordEntry kKeywords[kKeywordCount] = {
    {"::=", 0, ASSIGN, 0, -1},
    {"{", 0, LEFT_BRACE, 0, -1},
    {"}", 0, RIGHT_BRACE, 0, -1},
    {"(", 0, LEFT_PAREN, 0, -1},
    {")", 0, RIGHT_PAREN, 0, -1},
    {",", 0, COMMA, 0, -1},
    {";", 0, SEMICOLON, 0, -1},
    {"DEFINITIONS", 0, DEFINITIONS, 0, -1},
    {"END", 0, END, 0, -1},
    {"BEGIN", 0, BEGIN, 0, -1},
    {"IMPORTS", 0, IMPORTS, 0, -1},
    {"EXPORTS", 0, EXPORTS, 0, -1},
    {"OBJECT-TYPE", 0, OBJECT_TYPE, 0, -1},
    {"OBJECT-GROUP", 0, OBJECT_GROUP, 0, -1},
    {"NOTIFICATION-TYPE", 0, NOTIFICATION_TYPE, 0, -1},
    {"MODULE-COMPLIANCE", 0, MODULE_COMPLIANCE, 0, -1},
    {"MODULE-IDENTITY", 0, MODULE_IDENTITY, 0, -1},
    {"TRAP-TYPE", 0, TRAP_TYPE, 0, -1},
    {"NOTIFICATION-GROUP", 0, NOTIFICATION_GROUP, 0, -1},
    {"AGENT-CAPABILITIES", 0, AGENT_CAPABILITIES, 0, -1},
    {"OBJECT-IDENTITY", 0, OBJECT_IDENTITY, 0, -1},
    {"SYNTAX", 0, SYNTAX, 0, -1},
    {"SEQUENCE", 0, SEQUENCE, 0, -1},
    {"OF", 0, OF, 0, -1},
    {"ACCESS", 0, ACCESS, 0, -1},
    {"MAX-ACCESS", 0, ACCESS, 0, -1},
    {"STATUS", 0, STATUS, 0, -1},
    {"DESCRIPTION", 0, DESCRIPTION, 0, -1},
    {"INDEX", 0, INDEX, 0, -1},
    {"DEFVAL", 0, DEFVAL, 0, -1},
    {"SIZE", 0, SIZE, 0, -1},
    {"AUGMENTS", 0, AUGMENTS, 0, -1},
    {"UNITS", 0, UNITS, 0, -1},
    {"REFERENCE", 0, REFERENCE, 0, -1},
    {"NUM-ENTRIES", 0, NUM_ENTRIES, 0, -1},
    {"LAST-UPDATED", 0, LAST_UPDATED, 0, -1},
    {"ORGANIZATION", 0, ORGANIZATION, 0, -1},
    {"CONTACT-INFO", 0, CONTACT_INFO, 0, -1},
    {"ENTERPRISE", 0, ENTERPRISE, 0, -1},
    {"VARIABLES", 0, VARIABLES, 0, -1},
    {"OBJECTS", 0, OBJECTS, 0, -1},
    {"REVISION", 0, REVISION, 0, -1},
    {"read-only", 0, READ_ONLY, 0, -1},
    {"read-write", 0, READ_WRITE, 0, -1},
    {"write-only", 0, WRITE_ONLY, 0, -1},
    {"not-accessible", 0, NOT_ACCESSIBLE, 0, -1},
    {"read-create", 0, READ_CREATE, 0, -1},
    {"accessible-for-notify", 0, ACCESSIBLE_FOR_NOTIFY, 0, -1},
    {"mandatory", 0, MANDATORY, 0, -1},
    {"optional", 0, OPTIONAL, 0, -1},
    {"obsolete", 0, OBSOLETE, 0, -1},
    {"deprecated", 0, DEPRECATED, 0, -1},
    {"current", 0, CURRENT, 0, -1},
    {"OBJECTIDENTIFIER", 0, OBJECT_IDENTIFIER, 0, -1},
    {"OCTETSTRING", 0, OCTET_STRING, 0, -1},
    {"INTEGER", 0, INTEGER, 0, -1},
    {"NetworkAddress", 0, NETWORK_ADDRESS, 0, -1},
    {"IpAddress", 0, IP_ADDRESS, 0, -1},
    {"Counter", 0, COUNTER, 0, -1},
    {"Gauge", 0, GAUGE, 0, -1},
    {"TimeTicks", 0, TIME_TICKS, 0, -1},
    {"Opaque", 0, OPAQUE, 0, -1},
    {"NULL", 0, NUL, 0, -1},
    {"BITS", 0, BITS, 0, -1},
    {"NsapAddress", 0, NSAP_ADDRESS, 0, -1},
    {"Counter64", 0, COUNTER64, 0, -1},
    {"UInteger32", 0, UINTEGER32, 0, -1},
    {"Integer32", 0, INTEGER32, 0, -1},
    {"Counter32", 0, COUNTER32, 0, -1},
    {"Gauge32", 0, GAUGE32, 0, -1},
    {"Unsigned32", 0, UNSIGNED32, 0, -1},
    {"OBJECT", 0, JOIN_NEXT, 0, -1},
    {"OCTET", 0, JOIN_NEXT, 0, -1},
    {"BIT", 0, JOIN_NEXT, 0, -1},
    {"NEG_NUMBER", 0, NEG_NUMBER, 0, -1},
};

constexpr int text_hash(const char* text) {
    int hash = 0;
    for (const char* p = text; *p; ++p) hash += static_cast<signed char>(*p);
    return hash;
}

// The keywords chained by hash, made when the program is built: nothing changes it after.
struct KeywordIndex {
    KeywordEntry entries[kKeywordCount] = {};
    int chains[kKeywordChains] = {};
};

constexpr KeywordIndex make_keyword_index() {
    KeywordIndex index;
    for (int& head : index.chains) head = -1;
    for (int i = 0; i < kKeywordCount; ++i) {
        KeywordEntry& entry = index.entries[i];
        entry = kKeywords[i];
        entry.length = static_cast<int>(std::char_traits<char>::length(entry.text));
        entry.hash = text_hash(entry.text);
        entry.chain = index.chains[entry.hash & (kKeywordChains - 1)];
        index.chains[entry.hash & (kKeywordChains - 1)] = i;
    }
    return index;
}

constexpr KeywordIndex kKeywordIndex = make_keyword_index();

// Which lengths and first characters some keyword has: most words are labels, and most labels
// are told apart by these two alone.
constexpr size_t kLongestKeyword = 31;
struct KeywordShapes {
    bool length_and_first[kLongestKeyword + 1][256] = {};
};

constexpr KeywordShapes make_keyword_shapes() {
    KeywordShapes shapes;
    for (const KeywordEntry& entry : kKeywordIndex.entries) {
        const auto length = static_cast<size_t>(entry.length);
        if (length == 0 || length > kLongestKeyword) throw "a keyword longer than the shapes hold";
        shapes.length_and_first[length][static_cast<unsigned char>(entry.text[0])] = true;
    }
    return shapes;
}

constexpr KeywordShapes kKeywordShapes = make_keyword_shapes();

}  // namespace

int32_t lookup_keyword(const char* text) {
    return lookup_keyword(text, std::strlen(text));
}

int32_t lookup_keyword(const char* text, size_t length) {
    if (length == 0 || length > kLongestKeyword ||
        !kKeywordShapes.length_and_first[length][static_cast<unsigned char>(text[0])])
        return LABEL;
    const int hash = text_hash(text);
    for (int at = kKeywordIndex.chains[hash & (kKeywordChains - 1)]; at >= 0;) {
        const KeywordEntry& entry = kKeywordIndex.entries[at];
        if (entry.hash == hash && std::strcmp(entry.text, text) == 0) return entry.code;
        at = entry.chain;
    }
    return LABEL;
}
