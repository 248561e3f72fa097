#include "runtime/snmp/usm_keys.h"

#include <openssl/crypto.h>

#include <algorithm>

namespace snmp {

namespace {

constexpr size_t kExpandedPassphrase = 1048576;

bool hash_extend(Hash hash, SecretBytes& key) {
    const size_t have = key.size();
    Hasher hasher(hash);
    hasher.update(key.view());
    key.resize(have + hash_length(hash));
    return hasher.finish(key.mutable_data() + have);
}

// The localized key taken as a passphrase and localized once more.
bool localize_extend(Hash hash, ByteView engine_id, SecretBytes& key) {
    const size_t have = key.size();
    SecretBytes master;
    SecretBytes next;
    const std::string_view as_passphrase(reinterpret_cast<const char*>(key.data()), have);
    if (!password_to_key(hash, as_passphrase, master) ||
        !localize_key(hash, master.view(), engine_id, next))
        return false;
    key.resize(have + next.size());
    std::copy(next.data(), next.data() + next.size(), key.mutable_data() + have);
    return true;
}

}  // namespace

bool password_to_key(Hash hash, std::string_view passphrase, SecretBytes& key) {
    if (passphrase.empty()) return false;
    // The repeated passphrase goes to the hash a kilobyte at a time.
    uint8_t chunk[1024];
    Hasher hasher(hash);
    size_t next = 0;
    for (size_t done = 0; done < kExpandedPassphrase; done += sizeof chunk) {
        for (uint8_t& c : chunk) {
            c = static_cast<uint8_t>(passphrase[next]);
            if (++next == passphrase.size()) next = 0;
        }
        hasher.update(ByteView(chunk, sizeof chunk));
    }
    OPENSSL_cleanse(chunk, sizeof chunk);
    key.resize(hash_length(hash));
    return hasher.finish(key.mutable_data());
}

bool localize_key(Hash hash, ByteView key, ByteView engine_id, SecretBytes& localized) {
    Hasher hasher(hash);
    hasher.update(key);
    hasher.update(engine_id);
    hasher.update(key);
    localized.resize(hash_length(hash));
    return hasher.finish(localized.mutable_data());
}

bool localize_auth_key(AuthProtocol auth, ByteView master, ByteView engine_id, SecretBytes& key) {
    return auth != AuthProtocol::kNone && !master.empty() &&
           localize_key(auth_info(auth).hash, master, engine_id, key);
}

bool localize_priv_key(AuthProtocol auth, PrivProtocol priv, ByteView master, ByteView engine_id,
                       SecretBytes& key) {
    if (priv == PrivProtocol::kNone || !localize_auth_key(auth, master, engine_id, key))
        return false;
    const Hash hash = auth_info(auth).hash;
    const PrivInfo& info = priv_info(priv);
    while (key.size() < info.key_material) {
        const bool extended = info.extension == KeyExtension::kHashKey
                                  ? hash_extend(hash, key)
                                  : localize_extend(hash, engine_id, key);
        if (!extended) return false;
    }
    key.resize(info.key_material);
    return true;
}

bool localized_auth_key(AuthProtocol protocol, std::string_view passphrase, ByteView engine_id,
                        SecretBytes& key) {
    SecretBytes master;
    return protocol != AuthProtocol::kNone &&
           password_to_key(auth_info(protocol).hash, passphrase, master) &&
           localize_auth_key(protocol, master.view(), engine_id, key);
}

bool localized_priv_key(AuthProtocol auth, PrivProtocol priv, std::string_view passphrase,
                        ByteView engine_id, SecretBytes& key) {
    SecretBytes master;
    return auth != AuthProtocol::kNone &&
           password_to_key(auth_info(auth).hash, passphrase, master) &&
           localize_priv_key(auth, priv, master.view(), engine_id, key);
}

}  // namespace snmp
