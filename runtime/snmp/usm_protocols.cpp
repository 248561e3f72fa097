#include "runtime/snmp/usm_protocols.h"

#include <strings.h>

#include <string>

namespace snmp {

namespace {

// In enum order.
constexpr AuthInfo kAuth[] = {
    {"none", nullptr, Hash::kMd5, 0},         {"MD5", nullptr, Hash::kMd5, 12},
    {"SHA", "SHA1", Hash::kSha1, 12},         {"SHA224", "SHA-224", Hash::kSha224, 16},
    {"SHA256", "SHA-256", Hash::kSha256, 24}, {"SHA384", "SHA-384", Hash::kSha384, 32},
    {"SHA512", "SHA-512", Hash::kSha512, 48},
};

constexpr PrivInfo kPriv[] = {
    {"none", nullptr, Cipher::kAes128Cfb, 0, KeyExtension::kHashKey},
    {"DES", nullptr, Cipher::kDesCbc, 16, KeyExtension::kHashKey},
    {"3DES", "3DES-EDE", Cipher::kDesEde3Cbc, 32, KeyExtension::kLocalizeAgain},
    {"AES", "AES128", Cipher::kAes128Cfb, 16, KeyExtension::kHashKey},
    {"AES192", "AES192-Blumenthal", Cipher::kAes192Cfb, 24, KeyExtension::kHashKey},
    {"AES256", "AES256-Blumenthal", Cipher::kAes256Cfb, 32, KeyExtension::kHashKey},
    {"AES192C", "AES192-Reeder", Cipher::kAes192Cfb, 24, KeyExtension::kLocalizeAgain},
    {"AES256C", "AES256-Reeder", Cipher::kAes256Cfb, 32, KeyExtension::kLocalizeAgain},
};

constexpr const char* kLevels[] = {"noAuthNoPriv", "authNoPriv", "authPriv"};

bool same_name(std::string_view given, const char* name) {
    return name && given.size() == std::char_traits<char>::length(name) &&
           strncasecmp(given.data(), name, given.size()) == 0;
}

// Row 0 (none) is never matched.
template <typename Row, size_t N, typename Enum>
bool parse_row(const Row (&rows)[N], std::string_view name, Enum& out) {
    for (size_t i = 1; i < N; ++i) {
        if (same_name(name, rows[i].name) || same_name(name, rows[i].alias)) {
            out = static_cast<Enum>(i);
            return true;
        }
    }
    return false;
}

}  // namespace

const AuthInfo& auth_info(AuthProtocol protocol) {
    return kAuth[static_cast<size_t>(protocol)];
}
const PrivInfo& priv_info(PrivProtocol protocol) {
    return kPriv[static_cast<size_t>(protocol)];
}

bool parse_auth_protocol(std::string_view name, AuthProtocol& out) {
    return parse_row(kAuth, name, out);
}

bool parse_priv_protocol(std::string_view name, PrivProtocol& out) {
    return parse_row(kPriv, name, out);
}

bool parse_security_level(std::string_view name, SecurityLevel& out) {
    for (size_t i = 0; i < 3; ++i) {
        if (same_name(name, kLevels[i])) {
            out = static_cast<SecurityLevel>(i);
            return true;
        }
    }
    return false;
}

const char* security_level_name(SecurityLevel level) {
    return kLevels[static_cast<size_t>(level)];
}

const char* auth_protocol_names() {
    return "MD5, SHA, SHA224, SHA256, SHA384, SHA512";
}

const char* priv_protocol_names() {
    return "DES, 3DES, AES, AES192, AES256 (key extended by hashing), "
           "AES192C, AES256C (key extended by localizing again)";
}

}  // namespace snmp
