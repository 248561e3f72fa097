#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

// The fixed keyword table; hash and chain are filled at every compile.
KeywordEntry keyword_table[kKeywordCount] = {
    {"::=", 0, ASSIGN, 0, nullptr},
    {"{", 0, LEFT_BRACE, 0, nullptr},
    {"}", 0, RIGHT_BRACE, 0, nullptr},
    {"(", 0, LEFT_PAREN, 0, nullptr},
    {")", 0, RIGHT_PAREN, 0, nullptr},
    {",", 0, COMMA, 0, nullptr},
    {";", 0, SEMICOLON, 0, nullptr},
    {"DEFINITIONS", 0, DEFINITIONS, 0, nullptr},
    {"END", 0, END, 0, nullptr},
    {"BEGIN", 0, BEGIN, 0, nullptr},
    {"IMPORTS", 0, IMPORTS, 0, nullptr},
    {"EXPORTS", 0, EXPORTS, 0, nullptr},
    {"OBJECT-TYPE", 0, OBJECT_TYPE, 0, nullptr},
    {"OBJECT-GROUP", 0, OBJECT_GROUP, 0, nullptr},
    {"NOTIFICATION-TYPE", 0, NOTIFICATION_TYPE, 0, nullptr},
    {"MODULE-COMPLIANCE", 0, MODULE_COMPLIANCE, 0, nullptr},
    {"MODULE-IDENTITY", 0, MODULE_IDENTITY, 0, nullptr},
    {"TRAP-TYPE", 0, TRAP_TYPE, 0, nullptr},
    {"NOTIFICATION-GROUP", 0, NOTIFICATION_GROUP, 0, nullptr},
    {"AGENT-CAPABILITIES", 0, AGENT_CAPABILITIES, 0, nullptr},
    {"OBJECT-IDENTITY", 0, OBJECT_IDENTITY, 0, nullptr},
    {"SYNTAX", 0, SYNTAX, 0, nullptr},
    {"SEQUENCE", 0, SEQUENCE, 0, nullptr},
    {"OF", 0, OF, 0, nullptr},
    {"ACCESS", 0, ACCESS, 0, nullptr},
    {"MAX-ACCESS", 0, ACCESS, 0, nullptr},
    {"STATUS", 0, STATUS, 0, nullptr},
    {"DESCRIPTION", 0, DESCRIPTION, 0, nullptr},
    {"INDEX", 0, INDEX, 0, nullptr},
    {"DEFVAL", 0, DEFVAL, 0, nullptr},
    {"SIZE", 0, SIZE, 0, nullptr},
    {"AUGMENTS", 0, AUGMENTS, 0, nullptr},
    {"UNITS", 0, UNITS, 0, nullptr},
    {"REFERENCE", 0, REFERENCE, 0, nullptr},
    {"NUM-ENTRIES", 0, NUM_ENTRIES, 0, nullptr},
    {"LAST-UPDATED", 0, LAST_UPDATED, 0, nullptr},
    {"ORGANIZATION", 0, ORGANIZATION, 0, nullptr},
    {"CONTACT-INFO", 0, CONTACT_INFO, 0, nullptr},
    {"ENTERPRISE", 0, ENTERPRISE, 0, nullptr},
    {"VARIABLES", 0, VARIABLES, 0, nullptr},
    {"OBJECTS", 0, OBJECTS, 0, nullptr},
    {"REVISION", 0, REVISION, 0, nullptr},
    {"read-only", 0, READ_ONLY, 0, nullptr},
    {"read-write", 0, READ_WRITE, 0, nullptr},
    {"write-only", 0, WRITE_ONLY, 0, nullptr},
    {"not-accessible", 0, NOT_ACCESSIBLE, 0, nullptr},
    {"read-create", 0, READ_CREATE, 0, nullptr},
    {"accessible-for-notify", 0, ACCESSIBLE_FOR_NOTIFY, 0, nullptr},
    {"mandatory", 0, MANDATORY, 0, nullptr},
    {"optional", 0, OPTIONAL, 0, nullptr},
    {"obsolete", 0, OBSOLETE, 0, nullptr},
    {"deprecated", 0, DEPRECATED, 0, nullptr},
    {"current", 0, CURRENT, 0, nullptr},
    {"OBJECTIDENTIFIER", 0, OBJECT_IDENTIFIER, 0, nullptr},
    {"OCTETSTRING", 0, OCTET_STRING, 0, nullptr},
    {"INTEGER", 0, INTEGER, 0, nullptr},
    {"NetworkAddress", 0, NETWORK_ADDRESS, 0, nullptr},
    {"IpAddress", 0, IP_ADDRESS, 0, nullptr},
    {"Counter", 0, COUNTER, 0, nullptr},
    {"Gauge", 0, GAUGE, 0, nullptr},
    {"TimeTicks", 0, TIME_TICKS, 0, nullptr},
    {"Opaque", 0, OPAQUE, 0, nullptr},
    {"NULL", 0, NUL, 0, nullptr},
    {"BITS", 0, BITS, 0, nullptr},
    {"NsapAddress", 0, NSAP_ADDRESS, 0, nullptr},
    {"Counter64", 0, COUNTER64, 0, nullptr},
    {"UInteger32", 0, UINTEGER32, 0, nullptr},
    {"Integer32", 0, INTEGER32, 0, nullptr},
    {"Counter32", 0, COUNTER32, 0, nullptr},
    {"Gauge32", 0, GAUGE32, 0, nullptr},
    {"Unsigned32", 0, UNSIGNED32, 0, nullptr},
    {"OBJECT", 0, JOIN_NEXT, 0, nullptr},
    {"OCTET", 0, JOIN_NEXT, 0, nullptr},
    {"BIT", 0, JOIN_NEXT, 0, nullptr},
    {"NEG_NUMBER", 0, NEG_NUMBER, 0, nullptr},
};

int text_hash(const char* text) {
    int hash = 0;
    for (const char* p = text; *p; ++p) hash += static_cast<signed char>(*p);
    return hash;
}

}  // namespace

void build_keyword_chains() {
    auto& chains = compiler_state().chains;
    for (auto& head : chains) head = nullptr;
    for (auto& entry : keyword_table) {
        entry.length = static_cast<int>(std::strlen(entry.text));
        entry.hash = text_hash(entry.text);
        entry.chain = chains[entry.hash & (kKeywordChains - 1)];
        chains[entry.hash & (kKeywordChains - 1)] = &entry;
    }
}

int32_t lookup_keyword(const char* text) {
    const int hash = text_hash(text);
    for (const KeywordEntry* entry = compiler_state().chains[hash & (kKeywordChains - 1)]; entry;
         entry = entry->chain) {
        if (entry->hash == hash && std::strcmp(entry->text, text) == 0) return entry->code;
    }
    return LABEL;
}
