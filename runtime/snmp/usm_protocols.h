// The security levels and the authentication and privacy protocols of the user-based security
// model: their names in settings and what each needs from libcrypto.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/snmp/crypto.h"

namespace snmp {

enum class SecurityLevel : uint8_t { kNoAuthNoPriv, kAuthNoPriv, kAuthPriv };

enum class AuthProtocol : uint8_t { kNone, kMd5, kSha1, kSha224, kSha256, kSha384, kSha512 };

// AES-192 and AES-256 come in two flavours that differ only in how the localized key is made
// long enough; agents use both, so each has a name of its own.
enum class PrivProtocol : uint8_t {
    kNone,
    kDes,
    k3DesEde,
    kAes128,
    kAes192,  // key extended by hashing the localized key
    kAes256,
    kAes192Reeder,  // key extended by localizing the localized key again
    kAes256Reeder,
};

// How a localized privacy key shorter than the cipher needs is lengthened.
enum class KeyExtension : uint8_t { kHashKey, kLocalizeAgain };

struct AuthInfo {
    const char* name;   // as settings spell it ("SHA256")
    const char* alias;  // another accepted spelling, or null
    Hash hash;
    size_t digest_length;  // bytes of the HMAC a message carries
};

struct PrivInfo {
    const char* name;
    const char* alias;
    Cipher cipher;
    // Bytes of localized key the protocol uses: the cipher key, then for the CBC ciphers the
    // pre-IV that each message's salt is mixed into.
    size_t key_material;
    KeyExtension extension;
};

// kNone gives a row with no digest and no key material.
const AuthInfo& auth_info(AuthProtocol protocol);
const PrivInfo& priv_info(PrivProtocol protocol);

// Names compare without regard to case. False for an unknown name ("none" is not a protocol:
// leaving the setting out is).
bool parse_auth_protocol(std::string_view name, AuthProtocol& out);
bool parse_priv_protocol(std::string_view name, PrivProtocol& out);
bool parse_security_level(std::string_view name, SecurityLevel& out);
const char* security_level_name(SecurityLevel level);  // "authPriv"

// The accepted names, for error messages: "MD5, SHA, SHA224, ...".
const char* auth_protocol_names();
const char* priv_protocol_names();

}  // namespace snmp
