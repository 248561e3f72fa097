#include "runtime/snmp/usm.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

#include "runtime/snmp/message.h"
#include "runtime/snmp/usm_keys.h"

namespace snmp {

const char kWrongDigest[] = "wrong digest";

namespace {

constexpr size_t kSaltLength = 8;
constexpr size_t kMaxDigest = 64;

bool fail(const char** why, const char* text) {
    if (why) *why = text;
    return false;
}

bool has_auth(SecurityLevel level) {
    return level != SecurityLevel::kNoAuthNoPriv;
}
bool has_priv(SecurityLevel level) {
    return level == SecurityLevel::kAuthPriv;
}

SecurityLevel level_of(uint8_t flags) {
    if (flags & kFlagPriv) return SecurityLevel::kAuthPriv;
    return (flags & kFlagAuth) ? SecurityLevel::kAuthNoPriv : SecurityLevel::kNoAuthNoPriv;
}

bool same(ByteView a, ByteView b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

ByteView view(const std::string& s) {
    return ByteView(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

void put_be32(uint8_t* out, uint32_t v) {
    for (int i = 3; i >= 0; --i, v >>= 8) out[i] = static_cast<uint8_t>(v);
}

// The IV of a message: for the CBC ciphers its salt mixed into the key's pre-IV, for AES the
// engine's boots and time followed by the salt.
void make_iv(const PrivInfo& info, ByteView key, ByteView salt, int32_t boots, int32_t time,
             uint8_t* iv) {
    const size_t key_length = cipher_key_length(info.cipher);
    if (cipher_block_length(info.cipher) > 1) {
        for (size_t i = 0; i < kSaltLength; ++i) iv[i] = key[key_length + i] ^ salt[i];
        return;
    }
    put_be32(iv, static_cast<uint32_t>(boots));
    put_be32(iv + 4, static_cast<uint32_t>(time));
    std::memcpy(iv + 8, salt.data(), kSaltLength);
}

// The salt of the next message: the CBC ciphers take the engine's boots and a counter, AES a
// 64-bit counter.
void next_salt(UsmPeer& peer, const PrivInfo& info, int32_t boots, uint8_t* salt) {
    uint64_t counter = peer.salt++;
    if (cipher_block_length(info.cipher) > 1)
        counter = (uint64_t{static_cast<uint32_t>(boots)} << 32) | (counter & 0xFFFFFFFFu);
    for (int i = 7; i >= 0; --i, counter >>= 8) salt[i] = static_cast<uint8_t>(counter);
}

bool encrypt_scoped(UsmPeer& peer, int32_t boots, int32_t time, ByteView plain, uint8_t* salt,
                    std::vector<uint8_t>& out, const char** why) {
    const PrivInfo& info = priv_info(peer.user.priv);
    next_salt(peer, info, boots, salt);
    uint8_t iv[16];
    make_iv(info, peer.priv_key.view(), ByteView(salt, kSaltLength), boots, time, iv);
    thread_local std::vector<uint8_t> padded;
    padded.assign(plain.begin(), plain.end());
    const size_t block = cipher_block_length(info.cipher);
    padded.resize((padded.size() + block - 1) / block * block, 0);
    return run_cipher(info.cipher, true, peer.priv_key.view().first(cipher_key_length(info.cipher)),
                      ByteView(iv, cipher_iv_length(info.cipher)), padded, out, why);
}

// The HMAC of a whole message whose digest field (at `offset`, `length` bytes) counts as zeros.
bool message_digest(const UsmPeer& peer, ByteView message, size_t offset, size_t length,
                    uint8_t* digest) {
    static const uint8_t kZeros[kMaxDigest] = {};
    Hmac hmac(auth_info(peer.user.auth).hash, peer.auth_key.view());
    hmac.update(message.first(offset));
    hmac.update(ByteView(kZeros, length));
    hmac.update(message.subspan(offset + length));
    return hmac.finish(digest);
}

void wipe(std::string& secret) {
    OPENSSL_cleanse(secret.data(), secret.capacity());
    secret.clear();
}

}  // namespace

const char* user_problem(const UsmUser& u) {
    if (u.name.empty()) return "no security name (ZORVSNMP_SECURITY_NAME)";
    if (u.name.size() > kMaxUserName) return "the security name is longer than 32 bytes";
    if (has_auth(u.level)) {
        if (u.auth == AuthProtocol::kNone)
            return "the security level needs an authentication protocol (ZORVSNMP_AUTH_PROTOCOL)";
        if (u.auth_passphrase.empty())
            return "the security level needs an authentication passphrase "
                   "(ZORVSNMP_AUTH_PASSPHRASE)";
        if (u.auth_passphrase.size() < kMinPassphrase)
            return "the authentication passphrase is shorter than 8 characters";
    }
    if (has_priv(u.level)) {
        if (u.priv == PrivProtocol::kNone)
            return "the security level needs a privacy protocol (ZORVSNMP_PRIV_PROTOCOL)";
        if (u.priv_passphrase.empty())
            return "the security level needs a privacy passphrase (ZORVSNMP_PRIV_PASSPHRASE)";
        if (u.priv_passphrase.size() < kMinPassphrase)
            return "the privacy passphrase is shorter than 8 characters";
    }
    return has_priv(u.level) ? cipher_unavailable(priv_info(u.priv).cipher) : nullptr;
}

bool make_user_keys(UsmUser& u, UsmUserKeys& keys, const char** why) {
    const Hash hash = auth_info(u.auth).hash;
    bool ok = true;
    if (has_auth(u.level) && keys.auth.empty())
        ok = password_to_key(hash, u.auth_passphrase, keys.auth);
    if (ok && has_priv(u.level) && keys.priv.empty())
        ok = password_to_key(hash, u.priv_passphrase, keys.priv);
    wipe(u.auth_passphrase);
    wipe(u.priv_passphrase);
    return ok || fail(why, "the user's keys could not be made");
}

int32_t UsmEngine::time_at(UsmClock::time_point now) const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - time_taken);
    const int64_t t = int64_t{time} + std::max<int64_t>(0, elapsed.count());
    return static_cast<int32_t>(std::min<int64_t>(t, kMaxEngineBoots));
}

bool set_engine(UsmPeer& peer, ByteView engine_id, int32_t boots, int32_t time,
                UsmClock::time_point now, const char** why) {
    if (engine_id.size() < kMinEngineId || engine_id.size() > kMaxEngineId)
        return fail(why, "bad engine id");
    UsmEngine& e = peer.engine;
    e = UsmEngine{};
    e.id.assign(engine_id.begin(), engine_id.end());
    e.boots = boots;
    e.time = time;
    e.latest_time = time;
    e.time_taken = now;
    UsmUser& u = peer.user;
    if (!make_user_keys(u, peer.user_keys, why)) return false;
    if (has_auth(u.level) &&
        !localize_auth_key(u.auth, peer.user_keys.auth.view(), engine_id, peer.auth_key))
        return fail(why, "the authentication key could not be made");
    if (has_priv(u.level) &&
        !localize_priv_key(u.auth, u.priv, peer.user_keys.priv.view(), engine_id, peer.priv_key))
        return fail(why, "the privacy key could not be made");
    return true;
}

SecurityLevel request_level(const UsmPeer& peer, const V3Request& request) {
    return request.discovery ? SecurityLevel::kNoAuthNoPriv : peer.user.level;
}

bool wrap_request(UsmPeer& peer, const V3Request& request, const PduWriter& pdu,
                  UsmClock::time_point now, std::vector<uint8_t>& datagram, const char** why) {
    const SecurityLevel level = request_level(peer, request);
    const UsmEngine& engine = peer.engine;
    if (!request.discovery && engine.id.empty()) return fail(why, "the engine is not known yet");
    const size_t digest_length = auth_info(peer.user.auth).digest_length;
    if (has_auth(level) && peer.auth_key.empty()) return fail(why, "no authentication key");
    if (has_priv(level) && peer.priv_key.empty()) return fail(why, "no privacy key");

    V3Message m;
    m.msg_id = request.msg_id;
    m.max_size = request.max_size;
    m.flags =
        kFlagReportable | (has_auth(level) ? kFlagAuth : 0) | (has_priv(level) ? kFlagPriv : 0);
    if (!request.discovery) {
        m.usm.engine_id = engine.id;
        m.usm.boots = engine.boots;
        m.usm.time = engine.time_at(now);
        m.usm.user_name = view(peer.user.name);
    }
    static const uint8_t kZeros[kMaxDigest] = {};
    if (has_auth(level)) m.usm.auth = ByteView(kZeros, digest_length);

    thread_local BerWriter writer(1024);
    writer.clear();
    const ByteView context_engine =
        request.context_engine_id.empty() ? m.usm.engine_id : ByteView(request.context_engine_id);
    encode_scoped_pdu(context_engine, view(request.context_name), pdu, writer);
    uint8_t salt[kSaltLength];
    if (has_priv(level)) {
        thread_local std::vector<uint8_t> sealed;
        const ByteView plain(writer.data(), writer.size());
        if (!encrypt_scoped(peer, m.usm.boots, m.usm.time, plain, salt, sealed, why)) return false;
        m.usm.priv = ByteView(salt, kSaltLength);
        writer.clear();
        writer.put_bytes(ASN_OCTET_STRING, sealed.data(), sealed.size());
    }
    encode_v3_message(m, writer);
    datagram.assign(writer.data(), writer.data() + writer.size());
    if (has_auth(level)) {
        uint8_t digest[kMaxDigest];
        if (!message_digest(peer, datagram, m.auth_offset, digest_length, digest))
            return fail(why, "libcrypto could not make the digest");
        std::memcpy(datagram.data() + m.auth_offset, digest, digest_length);
    }
    return true;
}

bool unwrap_message(const UsmPeer& peer, const uint8_t* datagram, size_t size, V3Answer& out,
                    std::vector<uint8_t>& plaintext, const char** why) {
    out.authenticated = false;
    out.malformed = true;
    V3Message& m = out.message;
    if (!decode_v3_message(datagram, size, m, why)) return false;
    if (!(m.flags & kFlagAuth)) return decode_scoped_pdu(m.data, 0, out.scoped, why);
    out.malformed = false;

    // A digest can only be checked with the keys of our user at our engine.
    if (!same(m.usm.user_name, view(peer.user.name))) return fail(why, "other user");
    if (m.usm.engine_id.empty() || !same(m.usm.engine_id, peer.engine.id))
        return fail(why, "other engine");
    if (peer.auth_key.empty()) return fail(why, "authenticated, but the user has no key");
    const size_t digest_length = auth_info(peer.user.auth).digest_length;
    if (m.usm.auth.size() != digest_length) return fail(why, "wrong digest length");
    uint8_t digest[kMaxDigest];
    if (!message_digest(peer, ByteView(datagram, size), m.auth_offset, digest_length, digest))
        return fail(why, "libcrypto could not make the digest");
    if (CRYPTO_memcmp(digest, m.usm.auth.data(), digest_length) != 0)
        return fail(why, kWrongDigest);
    out.authenticated = true;
    out.malformed = true;
    if (!(m.flags & kFlagPriv)) return decode_scoped_pdu(m.data, 0, out.scoped, why);
    out.malformed = false;

    if (peer.priv_key.empty()) return fail(why, "encrypted, but the user has no privacy key");
    if (m.usm.priv.size() != kSaltLength) return fail(why, "wrong salt length");
    const PrivInfo& info = priv_info(peer.user.priv);
    uint8_t iv[16];
    make_iv(info, peer.priv_key.view(), m.usm.priv, m.usm.boots, m.usm.time, iv);
    if (!run_cipher(info.cipher, false, peer.priv_key.view().first(cipher_key_length(info.cipher)),
                    ByteView(iv, cipher_iv_length(info.cipher)), m.data, plaintext, why))
        return false;
    // Agents pad what they encrypt, AES data too (to 8 bytes), so up to an IV's length of
    // bytes may follow the scoped PDU. The digest was right: what does not decode was sent so.
    out.malformed = true;
    return decode_scoped_pdu(plaintext, cipher_iv_length(info.cipher), out.scoped, why);
}

const char* match_answer(const UsmPeer& peer, const V3Request& request, const V3Answer& answer,
                         UsmClock::time_point now) {
    const V3Message& m = answer.message;
    const ScopedPdu& s = answer.scoped;
    if (m.msg_id != request.msg_id &&
        std::find(request.earlier_msg_ids.begin(), request.earlier_msg_ids.end(), m.msg_id) ==
            request.earlier_msg_ids.end())
        return "other message id";
    if (s.pdu_type != kPduResponse && s.pdu_type != kPduReport) return "not a response";
    const SecurityLevel sent = request_level(peer, request);
    const SecurityLevel got = level_of(m.flags);
    // unwrap_message() authenticated every message that claims a level, so the level is real.
    if (request.discovery) {
        if (m.usm.engine_id.size() < kMinEngineId) return "no engine id";
        return got == SecurityLevel::kNoAuthNoPriv ? nullptr : "authenticated discovery answer";
    }
    if (!same(m.usm.engine_id, peer.engine.id)) return "other engine";
    const bool report = s.pdu_type == kPduReport;
    if (report && got == SecurityLevel::kNoAuthNoPriv) {
        return m.usm.user_name.empty() || same(m.usm.user_name, view(peer.user.name))
                   ? nullptr
                   : "other user";
    }
    if (!same(m.usm.user_name, view(peer.user.name))) return "other user";
    if (report ? got > sent : got != sent) return "other security level";
    if (!report) {
        const ByteView context_engine = request.context_engine_id.empty()
                                            ? ByteView(peer.engine.id)
                                            : ByteView(request.context_engine_id);
        if (!same(s.context_engine_id, context_engine) ||
            !same(s.context_name, view(request.context_name)))
            return "other context";
    }
    if (!answer.authenticated) return nullptr;
    // An engine at the last boots value has to be reconfigured: nothing it sends is in time.
    const int32_t boots = m.usm.boots;
    if (boots == kMaxEngineBoots) return "engine boots at their limit";
    if (!peer.engine.synchronised) return nullptr;

    // The engine's clock may move on (or reboot), but not go back further than the window.
    const UsmEngine& e = peer.engine;
    const int32_t time = m.usm.time;
    if (boots > e.boots) return nullptr;
    if (boots < e.boots) return "engine boots from the past";
    if (time > e.latest_time) return nullptr;
    return int64_t{time} < int64_t{e.time_at(now)} - kTimeWindow ? "engine time from the past"
                                                                 : nullptr;
}

void note_engine_time(UsmEngine& e, const V3Answer& answer, UsmClock::time_point now) {
    if (!answer.authenticated) return;
    const int32_t boots = answer.message.usm.boots;
    const int32_t time = answer.message.usm.time;
    if (e.synchronised && boots < e.boots) return;
    if (e.synchronised && boots == e.boots && time <= e.latest_time) return;
    e.boots = boots;
    e.time = time;
    e.latest_time = time;
    e.time_taken = now;
    e.synchronised = true;
}

ReportKind report_kind(const uint32_t* name, size_t length) {
    struct Known {
        uint32_t oid[11];
        size_t length;
        ReportKind kind;
    };
    // The counters an agent reports, each with its instance arc.
    static const Known kKnown[] = {
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 1, 0}, 11, ReportKind::kUnsupportedSecurityLevel},
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 2, 0}, 11, ReportKind::kNotInTimeWindow},
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 3, 0}, 11, ReportKind::kUnknownUserName},
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 4, 0}, 11, ReportKind::kUnknownEngineId},
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 5, 0}, 11, ReportKind::kWrongDigest},
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 6, 0}, 11, ReportKind::kDecryptionError},
        {{1, 3, 6, 1, 6, 3, 12, 1, 5, 0}, 10, ReportKind::kUnknownContext},
        {{1, 3, 6, 1, 6, 3, 12, 1, 4, 0}, 10, ReportKind::kUnavailableContext},
        {{1, 3, 6, 1, 6, 3, 11, 2, 1, 1, 0}, 11, ReportKind::kUnknownSecurityModel},
        {{1, 3, 6, 1, 6, 3, 11, 2, 1, 2, 0}, 11, ReportKind::kInvalidMessage},
        {{1, 3, 6, 1, 6, 3, 11, 2, 1, 3, 0}, 11, ReportKind::kUnknownPduHandler},
    };
    for (const Known& k : kKnown) {
        if (name && length == k.length && std::equal(k.oid, k.oid + k.length, name)) return k.kind;
    }
    return ReportKind::kUnknown;
}

}  // namespace snmp
