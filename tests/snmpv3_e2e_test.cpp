// rowscan and objpeek against snmpsimd with SNMPv3 users: every authentication and privacy
// protocol it offers, at all three levels, print what SNMPv2c prints and pysnmp reads the same;
// refusals are clear errors within timeout x (retries + 1); the credentials file keeps secrets
// out of the process list and the dump.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/snmp/usm_keys.h"
#include "tests/support/fake_v3_agent.h"
#include "tests/support/snmpsim.h"

using namespace testing_support;

namespace {

const std::string kRowscan = ZORV_BINARY_DIR "/appls/extmgr/ttycmds/rowscan";
const std::string kObjpeek = ZORV_BINARY_DIR "/appls/extmgr/ttycmds/objpeek";
const std::string kEngine = "8000a4b3037a6f72760001";
const std::vector<std::string> kTableArgs = {"-table", ".1.3.6.1.2.1.2.2.1", "-fields",
                                             "1,2,3,5,8"};
const std::vector<std::string> kFormArgs = {
    "-obj", ".1.3.6.1.2.1.1.1,.1.3.6.1.2.1.1.3,.1.3.6.1.2.1.1.5,.1.3.6.1.2.1.2.2.1.2", "-inst",
    "0,0,0,12"};

struct User {
    const char* name;
    const char* sim_auth;  // snmpsimd's protocol names
    const char* sim_priv;
    const char* auth;  // ours
    const char* priv;
};

// Every authentication protocol without privacy, every privacy protocol with one of them (the
// AES-192 and AES-256 key extensions both ways), and a user without either.
const User kUsers[] = {
    {"u-none", "", "", "", ""},
    {"u-md5", "MD5", "", "MD5", ""},
    {"u-sha", "SHA", "", "SHA", ""},
    {"u-sha224", "SHA224", "", "SHA224", ""},
    {"u-sha256", "SHA256", "", "SHA256", ""},
    {"u-sha384", "SHA384", "", "SHA384", ""},
    {"u-sha512", "SHA512", "", "SHA512", ""},
    {"u-md5-des", "MD5", "DES", "MD5", "DES"},
    {"u-sha-3des", "SHA", "3DES", "SHA", "3DES"},
    {"u-sha224-aes", "SHA224", "AES", "SHA224", "AES"},
    {"u-sha256-aes192r", "SHA256", "AES192", "SHA256", "AES192C"},
    {"u-sha384-aes192b", "SHA384", "AES192BLMT", "SHA384", "AES192"},
    {"u-sha512-aes256r", "SHA512", "AES256", "SHA512", "AES256C"},
    {"u-md5-aes256b", "MD5", "AES256BLMT", "MD5", "AES256"},
};

std::string auth_key(const User& u) {
    return std::string("auth-") + u.name;
}
std::string priv_key(const User& u) {
    return std::string("priv-") + u.name;
}

const User& user(const std::string& name) {
    for (const User& u : kUsers) {
        if (name == u.name) return u;
    }
    throw std::invalid_argument(name);
}

// One agent with every user for the whole program.
class Agent : public ::testing::Environment {
  public:
    void SetUp() override {
        if (!SnmpSim::available()) return;
        std::vector<SnmpSimUser> users;
        for (const User& u : kUsers) {
            users.push_back({u.name, u.sim_auth, auth_key(u), u.sim_priv, priv_key(u)});
        }
        sim = std::make_unique<SnmpSim>(
            std::vector<std::string>{ZORV_SOURCE_DIR "/tests/data/demo/public.snmprec"},
            v3_arguments(kEngine, users));
    }
    void TearDown() override { sim.reset(); }

    std::unique_ptr<SnmpSim> sim;
};

Agent* agent = static_cast<Agent*>(::testing::AddGlobalTestEnvironment(new Agent));

// The settings of `u` at the highest level its secrets allow.
std::vector<std::string> user_env(const User& u) {
    std::vector<std::string> env = {"ZORVSNMP_VERSION=3",
                                    std::string("ZORVSNMP_SECURITY_NAME=") + u.name,
                                    "ZORVSNMP_CONTEXT=public"};
    if (*u.auth) {
        env.push_back(std::string("ZORVSNMP_AUTH_PROTOCOL=") + u.auth);
        env.push_back("ZORVSNMP_AUTH_PASSPHRASE=" + auth_key(u));
    }
    if (*u.priv) {
        env.push_back(std::string("ZORVSNMP_PRIV_PROTOCOL=") + u.priv);
        env.push_back("ZORVSNMP_PRIV_PASSPHRASE=" + priv_key(u));
    }
    return env;
}

// `u` as our library knows it, for a fake agent or relay that reads its requests.
snmp::UsmUser usm_user(const User& u) {
    snmp::UsmUser out;
    out.name = u.name;
    if (*u.auth) {
        snmp::parse_auth_protocol(u.auth, out.auth);
        out.auth_passphrase = auth_key(u);
        out.level = snmp::SecurityLevel::kAuthNoPriv;
    }
    if (*u.priv) {
        snmp::parse_priv_protocol(u.priv, out.priv);
        out.priv_passphrase = priv_key(u);
        out.level = snmp::SecurityLevel::kAuthPriv;
    }
    return out;
}

std::vector<uint8_t> engine_id() {
    std::vector<uint8_t> engine;
    for (size_t i = 0; i < kEngine.size(); i += 2) {
        engine.push_back(static_cast<uint8_t>(std::stoi(kEngine.substr(i, 2), nullptr, 16)));
    }
    return engine;
}

std::vector<std::string> with(std::vector<std::string> args, const std::string& node) {
    args.insert(args.end(), {"-node", node});
    return args;
}

class V3EndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!SnmpSim::available()) GTEST_SKIP() << "snmpsimd is not installed";
        ASSERT_TRUE(agent->sim && agent->sim->running()) << (agent->sim ? agent->sim->log() : "");
        node = agent->sim->endpoint();
    }

    ProgramResult v2c(const std::string& program, const std::vector<std::string>& args) {
        return run_program(program, with(args, node), {"ZORVSNMP_VERSION=2c"});
    }

    std::string node;
};

// The cells of one column of rowscan's text output, in row order.
std::vector<std::string> column(const std::string& table, size_t index) {
    std::vector<std::string> cells;
    std::istringstream lines(table);
    std::string line;
    for (int skip = 0; skip < 4 && std::getline(lines, line); ++skip) {
    }
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string cell;
        for (size_t i = 0; i <= index && std::getline(fields, cell, '\t'); ++i) {
        }
        cells.push_back(cell.substr(0, cell.find_last_not_of(' ') + 1));
    }
    return cells;
}

}  // namespace

TEST_F(V3EndToEndTest, EveryUserReadsWhatSnmpv2cReads) {
    const ProgramResult table = v2c(kRowscan, kTableArgs);
    const ProgramResult form = v2c(kObjpeek, kFormArgs);
    ASSERT_EQ(table.status, 0) << table.err;
    ASSERT_EQ(form.status, 0) << form.err;
    ASSERT_EQ(column(table.out, 1).size(), 12u) << table.out;
    // The users run side by side; each is a process of its own.
    std::vector<std::future<void>> runs;
    for (const User& u : kUsers) {
        runs.push_back(std::async(std::launch::async, [&, u] {
            for (const auto& [program, args, expected] : {std::tuple{kRowscan, kTableArgs, &table},
                                                          std::tuple{kObjpeek, kFormArgs, &form}}) {
                // Fourteen users at once on a busy machine: time enough that no try runs out.
                std::vector<std::string> env = user_env(u);
                env.push_back("ZORVSNMP_TIMEOUT_MS=5000");
                const ProgramResult r = run_program(program, with(args, node), env);
                EXPECT_EQ(r.status, 0) << u.name << ": " << r.err;
                EXPECT_EQ(r.out, expected->out) << u.name;
                EXPECT_EQ(r.err, "") << u.name;
            }
        }));
    }
    for (auto& run : runs) run.get();
}

TEST_F(V3EndToEndTest, PysnmpReadsTheSameWithTheSameUsers) {
    const ProgramResult table = v2c(kRowscan, kTableArgs);
    ASSERT_EQ(table.status, 0) << table.err;
    std::string descriptions;
    for (const std::string& cell : column(table.out, 1)) {
        descriptions += (descriptions.empty() ? "" : "|") + cell;
    }
    std::vector<std::string> args = {ZORV_SOURCE_DIR "/tests/pysnmp_v3_column.py",
                                     std::to_string(agent->sim->port()), "public",
                                     "1.3.6.1.2.1.2.2.1.2"};
    std::string expected;
    for (const User& u : kUsers) {
        args.push_back(std::string(u.name) + ":" + u.auth + ":" + (*u.auth ? auth_key(u) : "") +
                       ":" + u.priv + ":" + (*u.priv ? priv_key(u) : ""));
        expected += std::string(u.name) + ": " + descriptions + "\n";
    }
    const ProgramResult peer = run_program("/usr/bin/python3", args);
    EXPECT_EQ(peer.status, 0) << peer.err;
    EXPECT_EQ(peer.out, expected);
}

TEST_F(V3EndToEndTest, RefusalsAreClearErrorsWithinTheTries) {
    // Silence to the user is a timeout like any other: it may be a lost datagram.
    const char* const no_answer = "No response from the node (timeout)";
    struct Case {
        const char* what;
        const char* user;
        std::vector<std::string> change;  // settings that override the user's
        const std::string& program;
        const char* error;
    };
    const Case cases[] = {
        {"wrong authentication passphrase",
         "u-sha256",
         {"ZORVSNMP_AUTH_PASSPHRASE=wrong-pass-1"},
         kRowscan,
         "answers fail the digest check with the user's key"},
        {"wrong privacy passphrase",
         "u-sha224-aes",
         {"ZORVSNMP_PRIV_PASSPHRASE=wrong-pass-2"},
         kObjpeek,
         no_answer},
        {"unknown user", "u-sha256", {"ZORVSNMP_SECURITY_NAME=u-stranger"}, kObjpeek, no_answer},
        {"unknown user without authentication",
         "u-none",
         {"ZORVSNMP_SECURITY_NAME=u-stranger"},
         kRowscan,
         "The node does not know the SNMPv3 user"},
        {"a lower security level than the user's",
         "u-sha224-aes",
         {"ZORVSNMP_SECURITY_LEVEL=authNoPriv"},
         kRowscan,
         "does not accept the SNMPv3 user at this security level"},
        {"a higher security level than the user's",
         "u-sha256",
         {"ZORVSNMP_PRIV_PROTOCOL=AES", "ZORVSNMP_PRIV_PASSPHRASE=wrong-pass-3"},
         kObjpeek,  // rowscan walks on its own after a silent GetBulk, as under SNMPv2c
         no_answer},
    };
    constexpr int kTimeoutMs = 1000;
    constexpr int kRetries = 1;
    std::vector<std::future<void>> runs;
    for (const Case& c : cases) {
        runs.push_back(std::async(std::launch::async, [&] {
            std::vector<std::string> env = user_env(user(c.user));
            env.insert(env.end(), c.change.begin(), c.change.end());
            env.push_back("ZORVSNMP_TIMEOUT_MS=" + std::to_string(kTimeoutMs));
            env.push_back("ZORVSNMP_RETRIES=" + std::to_string(kRetries));
            const std::vector<std::string>& args = &c.program == &kRowscan ? kTableArgs : kFormArgs;
            std::vector<std::string> argv = with(args, node);
            argv.push_back("-d");
            const auto start = std::chrono::steady_clock::now();
            const ProgramResult r = run_program(c.program, argv, env);
            const auto elapsed = std::chrono::steady_clock::now() - start;
            EXPECT_EQ(r.status, 1) << c.what;
            const std::string last_line = r.err.substr(r.err.rfind("\n") + 1);
            EXPECT_NE(last_line.find(c.error), std::string::npos) << c.what << ": " << last_line;
            EXPECT_EQ(r.err.find("pass-"), std::string::npos) << c.what;
            // Discovery and one message per try, and no more time than the tries allow (with
            // room for starting the program).
            size_t sent = 0;
            for (size_t at = r.err.find("snmp: sent to"); at != std::string::npos;
                 at = r.err.find("snmp: sent to", at + 1)) {
                ++sent;
            }
            EXPECT_LE(sent, 2u + kRetries) << c.what;
            EXPECT_LT(elapsed, std::chrono::milliseconds(kTimeoutMs * (kRetries + 1) + 700))
                << c.what;
        }));
    }
    for (auto& run : runs) run.get();
}

namespace {

// The file's settings for `u`, owner-only unless `mode` says otherwise.
std::string credentials_file(const TempDir& dir, const User& u, mode_t mode) {
    const std::string path = dir.file("credentials");
    std::string text = "# kept out of the environment\n";
    for (const std::string& setting : user_env(u)) text += setting + "\n";
    write_file(path, text);
    chmod(path.c_str(), mode);
    return path;
}

std::string hex(snmp::ByteView bytes) {
    std::string out;
    char pair[4];
    for (uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02x ", b);
        out += pair;
    }
    return out;
}

// What the process list shows of a running process: its command line and environment.
std::string process_entry(pid_t pid) {
    return read_file("/proc/" + std::to_string(pid) + "/cmdline") +
           read_file("/proc/" + std::to_string(pid) + "/environ");
}

}  // namespace

TEST_F(V3EndToEndTest, CredentialsFileKeepsSecretsOutOfSightAndMustBeTheOwners) {
    const User& u = user("u-sha512-aes256r");
    TempDir dir;
    const std::string path = credentials_file(dir, u, 0600);
    const std::string file_env = "ZORVSNMP_CREDENTIALS=" + path;
    const ProgramResult table = v2c(kRowscan, kTableArgs);

    std::vector<std::string> argv = with(kTableArgs, node);
    argv.push_back("-d");
    const ProgramResult r = run_program(kRowscan, argv, {file_env});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, table.out);
    EXPECT_NE(r.err.find("scoped PDU, shown decrypted"), std::string::npos);
    // Neither passphrase, nor the keys made from them, in the dump (whose bytes are "xx ").
    const std::vector<uint8_t> engine = engine_id();
    snmp::SecretBytes auth, priv;
    ASSERT_TRUE(snmp::localized_auth_key(snmp::AuthProtocol::kSha512, auth_key(u), engine, auth));
    ASSERT_TRUE(snmp::localized_priv_key(
        snmp::AuthProtocol::kSha512, snmp::PrivProtocol::kAes256Reeder, priv_key(u), engine, priv));
    for (const std::string& secret :
         {auth_key(u), priv_key(u), hex(auth.view().first(6)), hex(priv.view().first(6))}) {
        EXPECT_EQ(r.err.find(secret), std::string::npos) << secret;
    }

    // While it waits on a silent node, the process list shows no secret either.
    const std::string silent = "127.0.0.1:" + std::to_string(SnmpSim::silent_udp_port());
    std::vector<std::string> environment = environment_with({file_env, "ZORVSNMP_TIMEOUT_MS=5000"});
    std::vector<char*> envp;
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    const char* const silent_argv[] = {
        kRowscan.c_str(), "-node", silent.c_str(), "-table", "1.3.6.1", "-fields", "1", nullptr};
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        dup2(devnull, STDERR_FILENO);
        execve(silent_argv[0], const_cast<char* const*>(silent_argv), envp.data());
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string listed = process_entry(pid);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    EXPECT_NE(listed.find("ZORVSNMP_CREDENTIALS"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("-u-sha512"), std::string::npos) << listed;

    // A file others may read is refused before any request.
    chmod(path.c_str(), 0640);
    const ProgramResult refused = run_program(kRowscan, argv, {file_env});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("credentials file " + path +
                               " can be read or written by others "
                               "than its owner (chmod 600 it)"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.err.find("snmp: sent to"), std::string::npos);

    // So is another user's file, however closed.
    if (geteuid() != 0) return;
    chmod(path.c_str(), 0600);
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    const ProgramResult foreign = run_program(kRowscan, argv, {file_env});
    EXPECT_EQ(foreign.status, 1);
    EXPECT_NE(foreign.err.find("credentials file " + path + " belongs to another user"),
              std::string::npos)
        << foreign.err;
    EXPECT_EQ(foreign.err.find("snmp: sent to"), std::string::npos);
}

namespace {

// A relay to the simulated agent that reads the requests of `usm`'s user: `plan` says, for the
// user's requests in turn (from 0), after how many milliseconds to pass each on (-1: never).
// Everything else, discovery included, passes at once.
using RelayPlan = std::function<int(const snmp::Message& pdu, int number)>;
FakeRawHandler v3_relay(FakeUsm& usm, uint16_t agent_port, RelayPlan plan) {
    auto user_requests = std::make_shared<int>(0);
    return [&usm, agent_port, plan, user_requests](const uint8_t* data, size_t size, int) {
        FakeV3Request request;
        if (usm.unwrap(data, size, request)) {
            const int delay = plan(request.pdu, (*user_requests)++);
            if (delay < 0) return FakeReply{};
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        }
        const std::string datagram(reinterpret_cast<const char*>(data), size);
        return FakeReply{{}, forward_datagram(agent_port, datagram, 10000)};
    };
}

}  // namespace

// What SNMPv2c does with an agent that ignores GetBulk, or a first answer that comes late,
// SNMPv3 does too: silence is not a refusal, and an answer to an earlier try is the answer.
TEST_F(V3EndToEndTest, SilenceToGetBulkAndLateAnswersAreNoRefusal) {
    const ProgramResult table = v2c(kRowscan, kTableArgs);
    const ProgramResult form = v2c(kObjpeek, kFormArgs);
    ASSERT_EQ(table.status, 0) << table.err;
    ASSERT_EQ(form.status, 0) << form.err;
    const RelayPlan no_bulk = [](const snmp::Message& pdu, int) {
        return pdu.pdu_type == snmp::kPduGetBulk ? -1 : 0;
    };
    // The first try waits 6 s to be passed on, while the second (its retry, dropped) waits.
    const RelayPlan late_first = [](const snmp::Message&, int n) {
        return n == 0 ? 6000 : n == 1 ? -1 : 0;
    };
    // The title names the node: the relay's, here.
    auto expected = [this](const ProgramResult& r, const std::string& relay) {
        std::string out = r.out;
        return out.replace(out.find(node), node.size(), relay);
    };
    // Each user's runs are a process of their own, side by side.
    std::vector<std::future<void>> runs;
    for (const char* name : {"u-sha256", "u-sha224-aes"}) {
        runs.push_back(std::async(std::launch::async, [&, name] {
            FakeUsm usm(usm_user(user(name)), engine_id());
            std::vector<std::string> env = user_env(user(name));
            env.insert(env.end(), {"ZORVSNMP_TIMEOUT_MS=4000", "ZORVSNMP_RETRIES=1"});
            {
                FakeAgent relay(v3_relay(usm, agent->sim->port(), no_bulk), RawDatagrams{});
                const ProgramResult r =
                    run_program(kRowscan, with(kTableArgs, relay.endpoint()), env);
                EXPECT_EQ(r.status, 0) << name << ": " << r.err;
                EXPECT_EQ(r.out, expected(table, relay.endpoint())) << name;
                EXPECT_EQ(r.err, "") << name;
            }
            FakeAgent relay(v3_relay(usm, agent->sim->port(), late_first), RawDatagrams{});
            const ProgramResult r = run_program(kObjpeek, with(kFormArgs, relay.endpoint()), env);
            EXPECT_EQ(r.status, 0) << name << ": " << r.err;
            EXPECT_EQ(r.out, expected(form, relay.endpoint())) << name;
            EXPECT_EQ(r.err, "") << name;
        }));
    }
    for (auto& run : runs) run.get();
}

namespace {

// Where `secret` stands in the writable memory of process `pid`, read through /proc/PID/mem.
std::string find_in_memory(pid_t pid, const std::vector<std::string>& secrets) {
    const std::string proc = "/proc/" + std::to_string(pid);
    std::ifstream maps(proc + "/maps");
    const int mem = open((proc + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
    if (mem < 0) return "cannot open " + proc + "/mem";
    std::string found;
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long start = 0, end = 0;
        char perms[5] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %4s", &start, &end, perms) != 3 || perms[1] != 'w')
            continue;
        // A sanitizer's shadow memory spans terabytes; the program's own heap, stack and data
        // are far smaller.
        if (end - start > (1ul << 30)) continue;
        // In pieces that overlap by a secret's length, so one that spans two is still found.
        size_t overlap = 0;
        for (const std::string& secret : secrets) overlap = std::max(overlap, secret.size());
        std::string bytes;
        for (unsigned long at = start; at < end;) {
            const size_t piece = std::min<unsigned long>(end - at, 1ul << 20);
            const size_t kept = std::min(bytes.size(), overlap);
            bytes.erase(0, bytes.size() - kept);
            bytes.resize(kept + piece);
            const ssize_t got = pread(mem, bytes.data() + kept, piece, static_cast<off_t>(at));
            if (got <= 0) break;
            bytes.resize(kept + static_cast<size_t>(got));
            at += static_cast<unsigned long>(got);
            for (const std::string& secret : secrets) {
                if (bytes.find(secret) != std::string::npos &&
                    found.find(secret + " in " + line) == std::string::npos)
                    found += secret + " in " + line + "\n";
            }
        }
    }
    close(mem);
    return found;
}

}  // namespace

// A program that holds the user's keys keeps neither passphrase in its memory, and the memory
// is closed to its own user (it cannot be dumped nor read by a debugger of that user).
TEST(V3SecretsTest, NoPassphraseStaysInTheMemoryOfAWaitingProgram) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to run the program as another user";
    const User& u = user("u-md5-aes256b");
    TempDir dir;
    chmod(dir.path().c_str(), 0711);
    const std::string path = credentials_file(dir, u, 0600);
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    FakeUsm usm(usm_user(u));
    std::atomic<bool> asked{false};
    FakeAgent agent(serve_v3(usm,
                             [&](const FakeV3Request&, int) {
                                 asked = true;
                                 return std::vector<std::string>{};
                             }),
                    RawDatagrams{});

    const std::string node = agent.endpoint();
    const std::string file_env = "ZORVSNMP_CREDENTIALS=" + path;
    char* const argv[] = {const_cast<char*>(kObjpeek.c_str()),
                          const_cast<char*>("-node"),
                          const_cast<char*>(node.c_str()),
                          const_cast<char*>("-obj"),
                          const_cast<char*>(".1.3.6.1.2.1.1.1"),
                          const_cast<char*>("-inst"),
                          const_cast<char*>("0"),
                          nullptr};
    char* const envp[] = {const_cast<char*>(file_env.c_str()),
                          const_cast<char*>("ZORVSNMP_TIMEOUT_MS=120000"),
                          const_cast<char*>("ZORVSNMP_RETRIES=0"), nullptr};
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        dup2(devnull, STDERR_FILENO);
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(127);
        execve(argv[0], argv, envp);
        _exit(126);
    }
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (!asked && std::chrono::steady_clock::now() < give_up) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            // A checkout in a folder closed to others (under /root, say) cannot be run so.
            if (WIFEXITED(status) && WEXITSTATUS(status) == 126)
                GTEST_SKIP() << kObjpeek << " cannot be run by uid 65534";
            FAIL() << "the program ended before its request, status " << status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // The program now waits for the answer to its request, with its keys made.
    struct stat mem {};
    const bool waiting =
        asked && stat(("/proc/" + std::to_string(pid) + "/mem").c_str(), &mem) == 0;
    const std::string found = waiting ? find_in_memory(pid, {auth_key(u), priv_key(u)}) : "";
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    ASSERT_TRUE(waiting) << "the program never sent its request";
    EXPECT_EQ(found, "");
    EXPECT_EQ(mem.st_uid, 0u);  // not dumpable
}
