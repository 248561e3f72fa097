#include "runtime/snmp/crypto.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>
#include <random>

namespace snmp {

namespace {

struct HashInfo {
    const char* name;  // libcrypto's name
    size_t length;
};
constexpr HashInfo kHashes[] = {
    {"MD5", 16},      {"SHA1", 20},     {"SHA2-224", 28},
    {"SHA2-256", 32}, {"SHA2-384", 48}, {"SHA2-512", 64},
};
constexpr size_t kHashCount = sizeof kHashes / sizeof kHashes[0];

struct CipherInfo {
    const char* name;
    size_t key_length;
    size_t iv_length;
    size_t block_length;
};
constexpr CipherInfo kCiphers[] = {
    {"DES-CBC", 8, 8, 8},       {"DES-EDE3-CBC", 24, 8, 8}, {"AES-128-CFB", 16, 16, 1},
    {"AES-192-CFB", 24, 16, 1}, {"AES-256-CFB", 32, 16, 1},
};
constexpr size_t kCipherCount = sizeof kCiphers / sizeof kCiphers[0];

const char kNoLegacyProvider[] =
    "DES privacy needs OpenSSL's legacy provider (legacy.so in the OpenSSL modules folder), "
    "which could not be loaded";
const char kNoCipher[] = "libcrypto does not offer this cipher";
const char kCipherFailed[] = "libcrypto could not run the cipher";
const char kNotWholeBlocks[] = "encrypted data is not a whole number of cipher blocks";
const char kBadKey[] = "key or IV of the wrong size";

// The transport's own library context: loading the legacy provider here leaves the process's
// default context as the rest of the program configured it.
struct Library {
    OSSL_LIB_CTX* ctx = nullptr;
    OSSL_PROVIDER* default_provider = nullptr;
    OSSL_PROVIDER* legacy_provider = nullptr;
    EVP_MD* digests[kHashCount] = {};
    EVP_MAC* hmac = nullptr;
    EVP_CIPHER* ciphers[kCipherCount] = {};

    Library() {
        ctx = OSSL_LIB_CTX_new();
        if (!ctx) return;
        default_provider = OSSL_PROVIDER_load(ctx, "default");
        legacy_provider = OSSL_PROVIDER_load(ctx, "legacy");
        for (size_t i = 0; i < kHashCount; ++i)
            digests[i] = EVP_MD_fetch(ctx, kHashes[i].name, nullptr);
        hmac = EVP_MAC_fetch(ctx, "HMAC", nullptr);
        for (size_t i = 0; i < kCipherCount; ++i)
            ciphers[i] = EVP_CIPHER_fetch(ctx, kCiphers[i].name, nullptr);
    }
    ~Library() {
        for (EVP_CIPHER* c : ciphers) EVP_CIPHER_free(c);
        EVP_MAC_free(hmac);
        for (EVP_MD* d : digests) EVP_MD_free(d);
        if (legacy_provider) OSSL_PROVIDER_unload(legacy_provider);
        if (default_provider) OSSL_PROVIDER_unload(default_provider);
        OSSL_LIB_CTX_free(ctx);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

const Library& library() {
    static const Library lib;
    return lib;
}

size_t index(Hash hash) {
    return static_cast<size_t>(hash);
}
size_t index(Cipher cipher) {
    return static_cast<size_t>(cipher);
}

}  // namespace

size_t hash_length(Hash hash) {
    return kHashes[index(hash)].length;
}
size_t cipher_key_length(Cipher cipher) {
    return kCiphers[index(cipher)].key_length;
}
size_t cipher_iv_length(Cipher cipher) {
    return kCiphers[index(cipher)].iv_length;
}
size_t cipher_block_length(Cipher cipher) {
    return kCiphers[index(cipher)].block_length;
}

const char* cipher_unavailable(Cipher cipher) {
    if (library().ciphers[index(cipher)]) return nullptr;
    return cipher == Cipher::kDesCbc ? kNoLegacyProvider : kNoCipher;
}

SecretBytes& SecretBytes::operator=(const SecretBytes& other) {
    if (this != &other) {
        OPENSSL_cleanse(bytes_.data(), bytes_.size());
        bytes_ = other.bytes_;
    }
    return *this;
}

SecretBytes::~SecretBytes() {
    OPENSSL_cleanse(bytes_.data(), bytes_.size());
}

void SecretBytes::resize(size_t size) {
    if (size < bytes_.size()) OPENSSL_cleanse(bytes_.data() + size, bytes_.size() - size);
    // Growing may move the bytes: copy through a wiped vector so no stale copy stays behind.
    if (size > bytes_.capacity()) {
        std::vector<uint8_t> bigger(size);
        std::copy(bytes_.begin(), bytes_.end(), bigger.begin());
        OPENSSL_cleanse(bytes_.data(), bytes_.size());
        bytes_.swap(bigger);
        return;
    }
    bytes_.resize(size);
}

Hasher::Hasher(Hash hash) : ctx_(EVP_MD_CTX_new()) {
    const EVP_MD* md = library().digests[index(hash)];
    ok_ = ctx_ && md && EVP_DigestInit_ex2(ctx_, md, nullptr) == 1;
}

Hasher::~Hasher() {
    EVP_MD_CTX_free(ctx_);
}

void Hasher::update(ByteView data) {
    if (ok_) ok_ = EVP_DigestUpdate(ctx_, data.data(), data.size()) == 1;
}

bool Hasher::finish(uint8_t* out) {
    return ok_ && EVP_DigestFinal_ex(ctx_, out, nullptr) == 1;
}

Hmac::Hmac(Hash hash, ByteView key) : ctx_(nullptr), ok_(false) {
    const Library& lib = library();
    if (!lib.hmac || !lib.digests[index(hash)]) return;
    ctx_ = EVP_MAC_CTX_new(lib.hmac);
    if (!ctx_) return;
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST,
                                         const_cast<char*>(kHashes[index(hash)].name), 0),
        OSSL_PARAM_construct_end(),
    };
    ok_ = EVP_MAC_init(ctx_, key.data(), key.size(), params) == 1;
}

Hmac::~Hmac() {
    EVP_MAC_CTX_free(ctx_);
}

void Hmac::update(ByteView data) {
    if (ok_) ok_ = EVP_MAC_update(ctx_, data.data(), data.size()) == 1;
}

bool Hmac::finish(uint8_t* out) {
    size_t length = 0;
    return ok_ && EVP_MAC_final(ctx_, out, &length, EVP_MAX_MD_SIZE) == 1;
}

bool run_cipher(Cipher cipher, bool encrypt, ByteView key, ByteView iv, ByteView in,
                std::vector<uint8_t>& out, const char** why) {
    const CipherInfo& info = kCiphers[index(cipher)];
    const EVP_CIPHER* evp = library().ciphers[index(cipher)];
    auto fail = [why](const char* text) {
        if (why) *why = text;
        return false;
    };
    if (!evp) return fail(cipher_unavailable(cipher));
    if (key.size() != info.key_length || iv.size() != info.iv_length) return fail(kBadKey);
    if (in.size() % info.block_length != 0) return fail(kNotWholeBlocks);
    if (in.size() > INT_MAX) return fail(kCipherFailed);
    out.resize(in.size());
    if (in.empty()) return true;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int written = 0;
    int last = 0;
    const bool ok =
        ctx && EVP_CipherInit_ex2(ctx, evp, key.data(), iv.data(), encrypt, nullptr) &&
        EVP_CIPHER_CTX_set_padding(ctx, 0) &&
        EVP_CipherUpdate(ctx, out.data(), &written, in.data(), static_cast<int>(in.size())) &&
        EVP_CipherFinal_ex(ctx, out.data() + written, &last) &&
        static_cast<size_t>(written + last) == in.size();
    EVP_CIPHER_CTX_free(ctx);
    return ok || fail(kCipherFailed);
}

void random_bytes(uint8_t* out, size_t size) {
    if (RAND_bytes_ex(library().ctx, out, size, 0) == 1) return;
    // Salts must only differ between messages; a weaker source still gives that.
    std::random_device device;
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(device());
}

}  // namespace snmp
