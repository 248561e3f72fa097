// The user-based security model around a PDU: a request goes out wrapped in an SNMPv3 message,
// authenticated and encrypted as the user's security level asks, and an answer is unwrapped
// (digest checked, scoped PDU decrypted) and taken only when it belongs to the request.
//
// An exchange runs: discovery (a request with `discovery` set; set_engine() with the engine id,
// boots and time of the Report that answers it), then requests under the user's level. Every
// try is wrapped anew: each message needs its own id, salt and current engine time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/snmp/crypto.h"
#include "runtime/snmp/usm_protocols.h"
#include "runtime/snmp/v3_message.h"

namespace snmp {

using UsmClock = std::chrono::steady_clock;

constexpr size_t kMinPassphrase = 8;
constexpr int32_t kMaxEngineBoots = 2147483647;
// How far, in seconds, an authenticated answer's time may lag behind ours.
constexpr int32_t kTimeWindow = 150;
// The largest UDP payload: the answer size we announce.
constexpr int32_t kLargestMessage = 65507;

// Who we are to the agent: the user and its secrets as the settings give them. The passphrases
// are kept only until make_user_keys() has turned them into keys.
struct UsmUser {
    std::string name;
    SecurityLevel level = SecurityLevel::kNoAuthNoPriv;
    AuthProtocol auth = AuthProtocol::kNone;
    std::string auth_passphrase;
    PrivProtocol priv = PrivProtocol::kNone;
    std::string priv_passphrase;
};

// The user's passphrases as keys for every engine (password_to_key() with the hash of the
// user's authentication protocol); empty when the level needs none.
struct UsmUserKeys {
    SecretBytes auth;
    SecretBytes priv;
};

// Null when the user can be used at its level; else what is wrong, without any secret in it.
const char* user_problem(const UsmUser& user);

// Makes the keys the user's level needs from its passphrases, unless `keys` holds them already,
// then wipes both passphrases. False with `why` when libcrypto fails.
bool make_user_keys(UsmUser& user, UsmUserKeys& keys, const char** why);

// What we know of the agent's engine.
struct UsmEngine {
    std::vector<uint8_t> id;  // empty until discovered
    int32_t boots = 0;
    int32_t time = 0;  // the engine's time at `time_taken`
    UsmClock::time_point time_taken{};
    int32_t latest_time = 0;    // the highest time an authenticated message gave at these boots
    bool synchronised = false;  // boots and time come from an authenticated message

    // The engine's time now, as far as we can tell.
    int32_t time_at(UsmClock::time_point now) const;
};

// One user at one engine, with the user's keys localized for that engine.
struct UsmPeer {
    UsmUser user;
    UsmUserKeys user_keys;
    UsmEngine engine;
    SecretBytes auth_key;
    SecretBytes priv_key;
    uint64_t salt = 0;  // the next privacy salt; seed it with random_bytes()
};

// Records the engine a discovery answer names (id, boots and time, taken as a first estimate)
// and localizes the user's keys for it (making them first when the user still has only
// passphrases). False with `why` for a malformed id or when libcrypto fails.
bool set_engine(UsmPeer& peer, ByteView engine_id, int32_t boots, int32_t time,
                UsmClock::time_point now, const char** why);

// One request: what goes out and what the answer must match.
struct V3Request {
    int32_t msg_id = 0;
    // The message ids of the request's earlier tries: an answer to any of them is an answer.
    std::vector<int32_t> earlier_msg_ids;
    int32_t max_size = kLargestMessage;  // the largest answer we take
    // Learning the engine: noAuthNoPriv with no user and no engine id.
    bool discovery = false;
    std::vector<uint8_t> context_engine_id;  // empty: the engine's id
    std::string context_name;
};

// The level a request goes out at.
SecurityLevel request_level(const UsmPeer& peer, const V3Request& request);

// Wraps the PDU that `pdu` writes into a message for `request`, authenticated and encrypted at
// the user's level, in `datagram`. Uses up one salt. False with `why` when the engine is not
// discovered yet, the user has no usable keys, or libcrypto fails.
bool wrap_request(UsmPeer& peer, const V3Request& request, const PduWriter& pdu,
                  UsmClock::time_point now, std::vector<uint8_t>& datagram, const char** why);

// An unwrapped message.
struct V3Answer {
    V3Message message;
    ScopedPdu scoped;    // decrypted when the message was encrypted
    bool authenticated;  // the message carried a digest and it was right
    bool malformed;      // unwrap_message() failed because the bytes do not decode
};

// What unwrap_message() gives as `why` for a digest that is not the one our key makes.
extern const char kWrongDigest[];

// Decodes a datagram, checks its digest when it has one and decrypts it when it is encrypted.
// The answer's views point into `datagram` and `plaintext`. False with `why` (a reason to drop
// the datagram) when it is malformed, its digest is wrong, it was made for another user or
// engine than the peer's keys, or it does not decrypt to a scoped PDU; `malformed` then tells
// a datagram that does not decode from one that is not ours to read.
bool unwrap_message(const UsmPeer& peer, const uint8_t* datagram, size_t size, V3Answer& out,
                    std::vector<uint8_t>& plaintext, const char** why);

// Null when `answer` answers `request`, else why it is dropped. A Response must carry the
// message id of one of the request's tries, its user, engine, level and context, and an
// authenticated one must be in the time window (which no authenticated message with boots at their
// limit is). A Report may also come unauthenticated (the agent could not check us), or
// authenticated at a lower level; an unauthenticated Response to an authenticated request never
// counts. Changes nothing: see note_engine_time().
const char* match_answer(const UsmPeer& peer, const V3Request& request, const V3Answer& answer,
                         UsmClock::time_point now);

// Takes the engine's boots and time from an authenticated answer that match_answer() accepted.
void note_engine_time(UsmEngine& engine, const V3Answer& answer, UsmClock::time_point now);

// What a Report's first binding says went wrong.
enum class ReportKind : uint8_t {
    kUnknown,
    kUnsupportedSecurityLevel,
    kNotInTimeWindow,
    kUnknownUserName,
    kUnknownEngineId,
    kWrongDigest,
    kDecryptionError,
    kUnknownContext,
    kUnavailableContext,
    kUnknownSecurityModel,
    kInvalidMessage,
    kUnknownPduHandler,
};

// The kind of a Report binding's name (the counter's instance, "...15.1.1.3.0").
ReportKind report_kind(const uint32_t* name, size_t length);

}  // namespace snmp
