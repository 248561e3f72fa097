#include "runtime/snmp/settings.h"

#include <openssl/crypto.h>
#include <sys/prctl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "runtime/snmp/credentials.h"

namespace snmp {

namespace {

// A whole decimal number in [low, high]; an absent or empty variable keeps the default.
void read_number(Settings& s, const char* name, long low, long high, int& target) {
    const char* text = std::getenv(name);
    if (!text || !*text) return;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || *end || v < low || v > high) {
        if (s.invalid.empty()) s.invalid = name;
        return;
    }
    target = static_cast<int>(v);
}

void wipe(std::string& secret) {
    OPENSSL_cleanse(secret.data(), secret.capacity());
    secret.clear();
}

// The settings that may also come from the credentials file: each is looked up in the
// environment and in the file, and may be set in only one of them.
class Source {
  public:
    explicit Source(Settings& s) : settings_(s) {
        const char* path = std::getenv("ZORVSNMP_CREDENTIALS");
        if (!path || !*path) return;
        std::string error;
        if (!read_credentials(path, kCredentialSettings, file_, error)) invalid(error);
    }
    ~Source() { wipe_credentials(file_); }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    // The value of `name`, or null when it is not set (an empty value counts as not set).
    const char* get(const char* name) {
        const char* env = std::getenv(name);
        if (env && !*env) env = nullptr;
        for (const auto& [key, value] : file_.settings) {
            if (key != name || value.empty()) continue;
            if (env) {
                invalid(std::string(name) + " is set both in the environment and in the " +
                        "credentials file (ZORVSNMP_CREDENTIALS)");
            }
            return value.c_str();
        }
        return env;
    }

    // Records the first problem only.
    void invalid(const std::string& text) {
        if (settings_.invalid.empty()) settings_.invalid = text;
    }

  private:
    Settings& settings_;
    Credentials file_;
};

void read_version(Settings& s, Source& source) {
    const char* v = source.get("ZORVSNMP_VERSION");
    if (!v) return;
    if (std::strcmp(v, "1") == 0) {
        s.version = kVersion1;
    } else if (std::strcmp(v, "2c") == 0 || std::strcmp(v, "2") == 0) {
        s.version = kVersion2c;
    } else if (std::strcmp(v, "3") == 0) {
        s.version = kVersion3;
    } else {
        source.invalid("ZORVSNMP_VERSION");
    }
}

// A protocol name of the table `parse` reads; unknown names are an error that lists the known.
template <typename Protocol>
void read_protocol(Source& source, const char* name, bool (*parse)(std::string_view, Protocol&),
                   const char* known, Protocol& out) {
    const char* text = source.get(name);
    if (text && !parse(text, out)) source.invalid(std::string(name) + " is not one of " + known);
}

// The security level: as given, else the highest the passphrases allow. A passphrase or a
// protocol without its partner is an error rather than a quietly lower level.
void read_level(Source& source, const char* level, UsmUser& u) {
    if (level) {
        if (!parse_security_level(level, u.level)) {
            source.invalid("ZORVSNMP_SECURITY_LEVEL is not noAuthNoPriv, authNoPriv or authPriv");
        }
        return;
    }
    const bool auth = !u.auth_passphrase.empty();
    const bool priv = !u.priv_passphrase.empty();
    if (priv && !auth) {
        source.invalid(
            "ZORVSNMP_PRIV_PASSPHRASE is set without ZORVSNMP_AUTH_PASSPHRASE "
            "(privacy needs authentication)");
    } else if (u.auth != AuthProtocol::kNone && !auth) {
        source.invalid("ZORVSNMP_AUTH_PROTOCOL is set without ZORVSNMP_AUTH_PASSPHRASE");
    } else if (u.priv != PrivProtocol::kNone && !priv) {
        source.invalid("ZORVSNMP_PRIV_PROTOCOL is set without ZORVSNMP_PRIV_PASSPHRASE");
    }
    u.level = priv   ? SecurityLevel::kAuthPriv
              : auth ? SecurityLevel::kAuthNoPriv
                     : SecurityLevel::kNoAuthNoPriv;
}

void read_usm(Settings& s, Source& source) {
    UsmUser& u = s.user;
    if (const char* v = source.get("ZORVSNMP_SECURITY_NAME")) u.name = v;
    if (const char* v = source.get("ZORVSNMP_AUTH_PASSPHRASE")) u.auth_passphrase = v;
    if (const char* v = source.get("ZORVSNMP_PRIV_PASSPHRASE")) u.priv_passphrase = v;
    // A core dump (or a debugger of the same user) would show the secrets.
    if (!u.auth_passphrase.empty() || !u.priv_passphrase.empty()) prctl(PR_SET_DUMPABLE, 0);
    if (const char* v = source.get("ZORVSNMP_CONTEXT")) s.context = v;
    read_protocol(source, "ZORVSNMP_AUTH_PROTOCOL", parse_auth_protocol, auth_protocol_names(),
                  u.auth);
    read_protocol(source, "ZORVSNMP_PRIV_PROTOCOL", parse_priv_protocol, priv_protocol_names(),
                  u.priv);
    read_level(source, source.get("ZORVSNMP_SECURITY_LEVEL"), u);
    const char* problem = user_problem(u);
    if (problem) source.invalid(problem);
    if (s.context.size() > kMaxContextName)
        source.invalid("ZORVSNMP_CONTEXT is longer than 32 bytes");
    // From here on only the keys are needed: the passphrases go, used or not.
    const char* why = nullptr;
    if (problem) {
        wipe(u.auth_passphrase);
        wipe(u.priv_passphrase);
    } else if (!make_user_keys(u, s.user_keys, &why)) {
        source.invalid(why);
    }
}

// Into `s` itself: a copy of the settings would leave the passphrases behind in freed memory.
void load(Settings& s) {
    int port = s.port;
    read_number(s, "ZORVSNMP_PORT", 1, 65535, port);
    s.port = static_cast<uint16_t>(port);
    read_number(s, "ZORVSNMP_TIMEOUT_MS", 1, 3600000, s.timeout_ms);
    read_number(s, "ZORVSNMP_RETRIES", 0, 100, s.retries);
    read_number(s, "ZORVSNMP_MAX_REPETITIONS", 0, 10000, s.max_repetitions);
    read_number(s, "ZORVSNMP_MAX_ROWS", 1, 2147483647, s.max_rows);
    read_number(s, "ZORVSNMP_MAX_ANSWER_BYTES", 0, 65507, s.max_answer_bytes);
    read_number(s, "ZORVSNMP_PARALLEL", 1, 64, s.parallel);
    // Below the smallest message every agent must take, growth would never start.
    if (s.max_answer_bytes > 0 && s.max_answer_bytes < kMinMaxSize && s.invalid.empty())
        s.invalid = "ZORVSNMP_MAX_ANSWER_BYTES";
    Source source(s);
    read_version(s, source);
    // The SNMPv3 settings are not looked at for the other versions.
    if (s.version == kVersion3) read_usm(s, source);
}

Settings current;
bool known = false;

}  // namespace

const Settings& settings() {
    if (!known) {
        current = Settings{};
        load(current);
        known = true;
    }
    return current;
}

void reset_settings() {
    wipe(current.user.auth_passphrase);
    wipe(current.user.priv_passphrase);
    current.user_keys = UsmUserKeys();
    known = false;
}

}  // namespace snmp
