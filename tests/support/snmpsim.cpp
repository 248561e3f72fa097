#include "tests/support/snmpsim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace testing_support {

namespace {

// A minimal SNMPv2c Get of 1.3.6.1.2.1.1.1.0 for `community`, to learn whether the agent answers.
std::string probe_datagram(const std::string& community) {
    const std::string varbinds =
        std::string("\x30\x0e\x30\x0c\x06\x08\x2b\x06\x01\x02\x01\x01\x01\x00\x05\x00", 16);
    std::string pdu = std::string("\x02\x01\x01\x02\x01\x00\x02\x01\x00", 9) + varbinds;
    pdu = std::string(1, '\xa0') + char(pdu.size()) + pdu;
    std::string body =
        std::string("\x02\x01\x01", 3) + '\x04' + char(community.size()) + community + pdu;
    return std::string(1, '\x30') + char(body.size()) + body;
}

bool agent_answers(uint16_t port, const std::string& community) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string datagram = probe_datagram(community);
    sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    pollfd p{fd, POLLIN, 0};
    const bool answered = poll(&p, 1, 300) == 1;
    close(fd);
    return answered;
}

// A loopback UDP socket on a port the kernel chose among those nothing is bound to; -1 when
// there is none.
int bound_loopback_socket(uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

// snmpsimd binds its port shared, so a second snmpsimd on a port starts without an error and
// takes the first one's datagrams; and between our choosing a free port and snmpsimd binding
// it, another test run may choose it too. So every agent we start holds a lock on its port's
// file here until it stops (scripts/demo and the browser test take the same lock).
constexpr const char* kPortLocks = "/tmp/zorv-agent-ports";

// The locked descriptor, or -1 when another run holds the port.
int lock_port(uint16_t port) {
    if (mkdir(kPortLocks, 01777) == 0) chmod(kPortLocks, 01777);  // shared by every user
    const std::string path = std::string(kPortLocks) + "/" + std::to_string(port);
    // Opened without O_CREAT when it is there: a file another user made in a sticky folder may
    // refuse O_CREAT.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// A free loopback port that this process holds the lock of (in `lock`); 0 when none was had.
uint16_t reserve_port(int& lock) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint16_t port = 0;
        const int fd = bound_loopback_socket(port);
        if (fd < 0) return 0;
        lock = lock_port(port);  // while the socket still keeps others off the port
        close(fd);
        if (lock >= 0) return port;
    }
    return 0;
}

}  // namespace

bool SnmpSim::available() {
    return access("/usr/bin/snmpsimd", X_OK) == 0;
}

uint16_t SnmpSim::silent_udp_port() {
    // Bound for the life of the test program and never read: no agent can take the port, and
    // what is sent there gets no answer.
    static const uint16_t port = [] {
        uint16_t p = 0;
        bound_loopback_socket(p);
        return p;
    }();
    return port;
}

SnmpSim::SnmpSim(const std::vector<std::string>& snmprec_files,
                 const std::vector<std::string>& extra_args) {
    if (!available() || snmprec_files.empty()) return;
    // The agent drops to nobody: its data and cache folders must be world-readable/writable.
    const fs::path data = dir_.path() / "data";
    const fs::path cache = dir_.path() / "cache";
    fs::create_directories(data);
    fs::create_directories(cache);
    for (const auto& file : snmprec_files) {
        fs::copy_file(file, data / fs::path(file).filename(), fs::copy_options::overwrite_existing);
    }
    chmod(dir_.path().c_str(), 0755);
    chmod(data.c_str(), 0755);
    chmod(cache.c_str(), 0777);
    for (const auto& entry : fs::directory_iterator(data)) chmod(entry.path().c_str(), 0644);

    const std::string community = fs::path(snmprec_files.front()).stem().string();
    // An agent that ends before it answers could not bind its port (something took it after we
    // chose it): try another.
    for (int attempt = 0; attempt < 10; ++attempt) {
        port_ = reserve_port(port_lock_);
        if (port_ == 0) return;
        std::vector<std::string> args = {
            "/usr/bin/snmpsimd",
            "--data-dir=" + data.string(),
            "--cache-dir=" + cache.string(),
        };
        // Before the endpoint: snmpsimd gives an endpoint to the engine named before it.
        args.insert(args.end(), extra_args.begin(), extra_args.end());
        args.push_back("--agent-udpv4-endpoint=127.0.0.1:" + std::to_string(port_));
        if (geteuid() == 0) {
            args.push_back("--process-user=nobody");
            args.push_back("--process-group=nogroup");
        }
        start(args);
        if (wait_until_answers(community)) return;
        if (pid_ > 0) return;  // alive but silent: the destructor stops it
        release_port();
    }
}

void SnmpSim::start(std::vector<std::string> args) {
    const std::string log_path = (dir_.path() / "snmpsim.log").string();
    // Made before the fork: the child of a process with threads must not allocate.
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        const int log = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        const int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, STDIN_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
}

// The first start indexes the data, which takes seconds. False when the agent ended (pid_ is
// then -1) or stayed silent.
bool SnmpSim::wait_until_answers(const std::string& community) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (std::chrono::steady_clock::now() < deadline) {
        if (agent_answers(port_, community)) {
            ready_ = true;
            return true;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

void SnmpSim::release_port() {
    if (port_lock_ >= 0) close(port_lock_);
    port_lock_ = -1;
}

SnmpSim::~SnmpSim() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
    release_port();  // only once the agent no longer holds the port
}

std::string SnmpSim::log() const {
    return read_file((dir_.path() / "snmpsim.log").string());
}

std::vector<std::string> v3_arguments(const std::string& engine_id,
                                      const std::vector<SnmpSimUser>& users) {
    std::vector<std::string> args = {"--v3-engine-id=" + engine_id};
    for (const SnmpSimUser& u : users) {
        args.push_back("--v3-user=" + u.name);
        if (!u.auth_protocol.empty()) {
            args.push_back("--v3-auth-key=" + u.auth_key);
            args.push_back("--v3-auth-proto=" + u.auth_protocol);
        }
        if (!u.priv_protocol.empty()) {
            args.push_back("--v3-priv-key=" + u.priv_key);
            args.push_back("--v3-priv-proto=" + u.priv_protocol);
        }
    }
    return args;
}

std::vector<std::string> environment_with(const std::vector<std::string>& entries) {
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) out.emplace_back(*e);
    for (const std::string& entry : entries) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        const auto same = std::find_if(out.begin(), out.end(), [&](const std::string& e) {
            return e.compare(0, name.size(), name) == 0;
        });
        if (same != out.end()) {
            *same = entry;
        } else {
            out.push_back(entry);
        }
    }
    return out;
}

ProgramResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::vector<std::string>& env) {
    TempDir dir;
    const std::string out_path = dir.file("out");
    const std::string err_path = dir.file("err");
    // Everything the child needs is made before the fork: tests run programs from several
    // threads, and a child that allocates may wait forever on a lock another thread held.
    // The programs keep everything they allocate until they exit; that is no leak to report.
    std::vector<std::string> settings = {"ASAN_OPTIONS=detect_leaks=0"};
    settings.insert(settings.end(), env.begin(), env.end());
    std::vector<std::string> environment = environment_with(settings);
    std::vector<char*> envp;
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int devnull = open("/dev/null", O_RDONLY);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        dup2(devnull, STDIN_FILENO);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ProgramResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

}  // namespace testing_support
