#include <cstring>
#include <string>

#include "mib/compiler/compiler_internal.h"

namespace {

// The fixed keyword table; lengths are filled when the index is built.
constexpr KeywordEntry kKeywords[kKeywordCount] = {
    {"::=", 0, ASSIGN},
    {"{", 0, LEFT_BRACE},
    {"}", 0, RIGHT_BRACE},
    {"(", 0, LEFT_PAREN},
    {")", 0, RIGHT_PAREN},
    {",", 0, COMMA},
    {";", 0, SEMICOLON},
    {"DEFINITIONS", 0, DEFINITIONS},
    {"END", 0, END},
    {"BEGIN", 0, BEGIN},
    {"IMPORTS", 0, IMPORTS},
    {"EXPORTS", 0, EXPORTS},
    {"OBJECT-TYPE", 0, OBJECT_TYPE},
    {"OBJECT-GROUP", 0, OBJECT_GROUP},
    {"NOTIFICATION-TYPE", 0, NOTIFICATION_TYPE},
    {"MODULE-COMPLIANCE", 0, MODULE_COMPLIANCE},
    {"MODULE-IDENTITY", 0, MODULE_IDENTITY},
    {"TRAP-TYPE", 0, TRAP_TYPE},
    {"NOTIFICATION-GROUP", 0, NOTIFICATION_GROUP},
    {"AGENT-CAPABILITIES", 0, AGENT_CAPABILITIES},
    {"OBJECT-IDENTITY", 0, OBJECT_IDENTITY},
    {"SYNTAX", 0, SYNTAX},
    {"SEQUENCE", 0, SEQUENCE},
    {"OF", 0, OF},
    {"ACCESS", 0, ACCESS},
    {"MAX-ACCESS", 0, ACCESS},
    {"STATUS", 0, STATUS},
    {"DESCRIPTION", 0, DESCRIPTION},
    {"INDEX", 0, INDEX},
    {"DEFVAL", 0, DEFVAL},
    {"SIZE", 0, SIZE},
    {"AUGMENTS", 0, AUGMENTS},
    {"UNITS", 0, UNITS},
    {"REFERENCE", 0, REFERENCE},
    {"NUM-ENTRIES", 0, NUM_ENTRIES},
    {"LAST-UPDATED", 0, LAST_UPDATED},
    {"ORGANIZATION", 0, ORGANIZATION},
    {"CONTACT-INFO", 0, CONTACT_INFO},
    {"ENTERPRISE", 0, ENTERPRISE},
    {"VARIABLES", 0, VARIABLES},
    {"OBJECTS", 0, OBJECTS},
    {"REVISION", 0, REVISION},
    {"read-only", 0, READ_ONLY},
    {"read-write", 0, READ_WRITE},
    {"write-only", 0, WRITE_ONLY},
    {"not-accessible", 0, NOT_ACCESSIBLE},
    {"read-create", 0, READ_CREATE},
    {"accessible-for-notify", 0, ACCESSIBLE_FOR_NOTIFY},
    {"mandatory", 0, MANDATORY},
    {"optional", 0, OPTIONAL},
    {"obsolete", 0, OBSOLETE},
    {"deprecated", 0, DEPRECATED},
    {"current", 0, CURRENT},
    {"OBJECTIDENTIFIER", 0, OBJECT_IDENTIFIER},
    {"OCTETSTRING", 0, OCTET_STRING},
    {"INTEGER", 0, INTEGER},
    {"NetworkAddress", 0, NETWORK_ADDRESS},
    {"IpAddress", 0, IP_ADDRESS},
    {"Counter", 0, COUNTER},
    {"Gauge", 0, GAUGE},
    {"TimeTicks", 0, TIME_TICKS},
    {"Opaque", 0, OPAQUE},
    {"NULL", 0, NUL},
    {"BITS", 0, BITS},
    {"NsapAddress", 0, NSAP_ADDRESS},
    {"Counter64", 0, COUNTER64},
    {"UInteger32", 0, UINTEGER32},
    {"Integer32", 0, INTEGER32},
    {"Counter32", 0, COUNTER32},
    {"Gauge32", 0, GAUGE32},
    {"Unsigned32", 0, UNSIGNED32},
    {"OBJECT", 0, JOIN_NEXT},
    {"OCTET", 0, JOIN_NEXT},
    {"BIT", 0, JOIN_NEXT},
    {"NEG_NUMBER", 0, NEG_NUMBER},
};

// A keyword's slot, from its length and three of its characters; the index is made when the
// program is built, and a slot holds at most kSlotDepth keywords (checked then).
constexpr size_t kSlots = 512;
constexpr size_t kSlotDepth = 2;
constexpr size_t kLongestKeyword = 31;

constexpr size_t slot_of(const char* text, size_t length) {
    const auto at = [&](size_t i) {
        return static_cast<size_t>(static_cast<unsigned char>(text[i]));
    };
    return (length + at(0) * 25 + at(length - 1) * 11 + at(length / 2) * 5) % kSlots;
}

struct KeywordIndex {
    KeywordEntry entries[kKeywordCount] = {};
    int slots[kSlots][kSlotDepth] = {};  // entry numbers, -1 for none
};

constexpr KeywordIndex make_keyword_index() {
    KeywordIndex index;
    for (auto& slot : index.slots) {
        for (int& entry : slot) entry = -1;
    }
    for (int i = 0; i < kKeywordCount; ++i) {
        KeywordEntry& entry = index.entries[i];
        entry = kKeywords[i];
        entry.length = static_cast<int>(std::char_traits<char>::length(entry.text));
        const auto length = static_cast<size_t>(entry.length);
        if (length == 0 || length > kLongestKeyword) throw "a keyword too long for the index";
        int* slot = index.slots[slot_of(entry.text, length)];
        size_t depth = 0;
        while (depth < kSlotDepth && slot[depth] >= 0) ++depth;
        if (depth == kSlotDepth) throw "too many keywords in one slot";
        slot[depth] = i;
    }
    return index;
}

constexpr KeywordIndex kKeywordIndex = make_keyword_index();

}  // namespace

int32_t lookup_keyword(const char* text) {
    return lookup_keyword(text, std::strlen(text));
}

int32_t lookup_keyword(const char* text, size_t length) {
    if (length == 0 || length > kLongestKeyword) return LABEL;
    for (const int at : kKeywordIndex.slots[slot_of(text, length)]) {
        if (at < 0) break;
        const KeywordEntry& entry = kKeywordIndex.entries[at];
        if (static_cast<size_t>(entry.length) == length &&
            std::memcmp(entry.text, text, length) == 0)
            return entry.code;
    }
    return LABEL;
}
