// mibdb's entry point: the command word chooses what to do.
#include <clocale>
#include <cstdio>
#include <cstring>

#include "appls/mibdb/mibdb.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 2) usage_error("no command given");
    const std::string command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        print_usage(stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("mibdb (zorv) %s\n", ZORV_VERSION);
        return 0;
    }
    ArgumentReader args(argc, argv, 2);
    int status = 1;
    if (command == "build") {
        status = run_build(args);
    } else if (command == "list") {
        status = run_list(args);
    } else if (command == "translate") {
        status = run_translate(args);
    } else if (command == "events") {
        status = run_events(args);
    } else {
        usage_error("unknown command '" + command + "'");
    }
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}
