// Hashes, HMAC and block ciphers for SNMPv3, all from OpenSSL's libcrypto. The algorithms come
// from a library context of the transport's own, with the default provider and, for single DES,
// the legacy provider; both are loaded once on first use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

typedef struct evp_md_ctx_st EVP_MD_CTX;
typedef struct evp_mac_ctx_st EVP_MAC_CTX;

namespace snmp {

using ByteView = std::span<const uint8_t>;

enum class Hash : uint8_t { kMd5, kSha1, kSha224, kSha256, kSha384, kSha512 };
enum class Cipher : uint8_t { kDesCbc, kDesEde3Cbc, kAes128Cfb, kAes192Cfb, kAes256Cfb };

// Output bytes of a hash (16 for MD5 up to 64 for SHA-512).
size_t hash_length(Hash hash);
// Key and IV bytes of a cipher, and its block size (1 for the CFB modes, which need no padding).
size_t cipher_key_length(Cipher cipher);
size_t cipher_iv_length(Cipher cipher);
size_t cipher_block_length(Cipher cipher);

// Null when the cipher can be used, else a text that says why not (single DES without OpenSSL's
// legacy provider).
const char* cipher_unavailable(Cipher cipher);

// Key material that is wiped when it goes away.
class SecretBytes {
  public:
    SecretBytes() = default;
    explicit SecretBytes(ByteView bytes) : bytes_(bytes.begin(), bytes.end()) {}
    SecretBytes(const SecretBytes& other) = default;
    SecretBytes& operator=(const SecretBytes& other);
    ~SecretBytes();

    ByteView view() const { return bytes_; }
    size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    const uint8_t* data() const { return bytes_.data(); }
    // Grows or shrinks to `size`; grown bytes are zero. Wipes what a shrink drops.
    void resize(size_t size);
    uint8_t* mutable_data() { return bytes_.data(); }

  private:
    std::vector<uint8_t> bytes_;
};

// A running hash. Any failure inside libcrypto is kept and reported by finish().
class Hasher {
  public:
    explicit Hasher(Hash hash);
    ~Hasher();
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;

    void update(ByteView data);
    // Writes hash_length() bytes to `out`; false when libcrypto failed.
    bool finish(uint8_t* out);

  private:
    EVP_MD_CTX* ctx_;
    bool ok_;
};

// A running HMAC under `key`; failures are kept like Hasher's.
class Hmac {
  public:
    Hmac(Hash hash, ByteView key);
    ~Hmac();
    Hmac(const Hmac&) = delete;
    Hmac& operator=(const Hmac&) = delete;

    void update(ByteView data);
    // Writes the whole HMAC (hash_length() bytes) to `out`; false when libcrypto failed.
    bool finish(uint8_t* out);

  private:
    EVP_MAC_CTX* ctx_;
    bool ok_;
};

// Encrypts or decrypts `in` into `out` (resized to the input's size) under the cipher's key and
// IV. The input of a block mode must be a whole number of blocks; no padding is added or
// removed. False with `why` set when the cipher is unavailable or the input cannot be processed.
bool run_cipher(Cipher cipher, bool encrypt, ByteView key, ByteView iv, ByteView in,
                std::vector<uint8_t>& out, const char** why);

// `size` bytes from the cryptographic random source.
void random_bytes(uint8_t* out, size_t size);

}  // namespace snmp
