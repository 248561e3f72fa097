// Keys of the user-based security model: a passphrase becomes a key by hashing it repeated to a
// megabyte, and that key is bound to one agent by hashing it around the agent's engine id.
#pragma once

#include <string_view>

#include "runtime/snmp/crypto.h"
#include "runtime/snmp/usm_protocols.h"

namespace snmp {

// The hash of `passphrase` repeated to 1,048,576 bytes. False for an empty passphrase or when
// libcrypto fails.
bool password_to_key(Hash hash, std::string_view passphrase, SecretBytes& key);

// hash(key || engine_id || key): the key as one engine knows it.
bool localize_key(Hash hash, ByteView key, ByteView engine_id, SecretBytes& localized);

// The authentication key of `protocol` for `passphrase` at `engine_id`.
bool localized_auth_key(AuthProtocol protocol, std::string_view passphrase, ByteView engine_id,
                        SecretBytes& key);

// The privacy key material of `priv` (priv_info(priv).key_material bytes) for `passphrase` at
// `engine_id`, made with the hash of `auth` and lengthened by the protocol's key extension when
// that hash is too short.
bool localized_priv_key(AuthProtocol auth, PrivProtocol priv, std::string_view passphrase,
                        ByteView engine_id, SecretBytes& key);

// The same two from the passphrase's key (password_to_key() with the hash of `auth`), so that
// the passphrase itself need not be kept.
bool localize_auth_key(AuthProtocol auth, ByteView master, ByteView engine_id, SecretBytes& key);
bool localize_priv_key(AuthProtocol auth, PrivProtocol priv, ByteView master, ByteView engine_id,
                       SecretBytes& key);

}  // namespace snmp
