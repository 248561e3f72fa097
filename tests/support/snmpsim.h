// A real SNMP agent for end-to-end tests: snmpsimd on 127.0.0.1 with a free port that no other
// test run can choose meanwhile, serving the .snmprec files given (each file's name without
// extension is its community).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace testing_support {

class SnmpSim {
  public:
    // Starts the agent and waits until it answers (the first start indexes the data).
    // `extra_args` are agent options, given before its endpoint.
    explicit SnmpSim(const std::vector<std::string>& snmprec_files,
                     const std::vector<std::string>& extra_args = {});
    ~SnmpSim();
    SnmpSim(const SnmpSim&) = delete;
    SnmpSim& operator=(const SnmpSim&) = delete;

    bool running() const { return ready_; }
    uint16_t port() const { return port_; }
    std::string endpoint() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string log() const;

    // A loopback UDP port where nothing answers, kept so for the life of the test program.
    static uint16_t silent_udp_port();
    // True when the snmpsimd program is installed.
    static bool available();

  private:
    void start(std::vector<std::string> args);
    bool wait_until_answers(const std::string& community);
    void release_port();

    TempDir dir_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
    int port_lock_ = -1;  // the lock that keeps our other test runs off the port
    bool ready_ = false;
};

// An SNMPv3 user of the agent, with snmpsimd's protocol names ("" for none).
struct SnmpSimUser {
    std::string name;
    std::string auth_protocol;
    std::string auth_key;
    std::string priv_protocol;
    std::string priv_key;
};

// The agent arguments that give its engine `engine_id` (hex) and add `users`.
std::vector<std::string> v3_arguments(const std::string& engine_id,
                                      const std::vector<SnmpSimUser>& users);

// The outcome of running a program to its end.
struct ProgramResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// This process's environment with `entries` set on top (a later entry of a name wins), made
// before a fork: the child of a process with threads must not allocate.
std::vector<std::string> environment_with(const std::vector<std::string>& entries);

// Runs `program` with `args` and extra environment entries ("NAME=value"), standard input empty.
ProgramResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::vector<std::string>& env = {});

}  // namespace testing_support
