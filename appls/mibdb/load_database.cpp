// Finding and loading the database that list and translate read.
#include <sys/stat.h>

#include <cstdlib>

#include "appls/mibdb/mibdb.h"
#include "mib/mib_file.h"
#include "mib/mib_init.h"

bool load_database(const std::string& given) {
    if (!given.empty()) {
        // The library finds the database through "MIBDBV2", the path without ".bin".
        std::string base = given;
        if (base.size() > 4 && base.compare(base.size() - 4, 4, ".bin") == 0) {
            base.resize(base.size() - 4);
        }
        setenv("MIBDBV2", base.c_str(), 1);
    }
    const char* path = mib_file_path();
    struct stat status;
    if (stat(path, &status) != 0) {
        report_error(std::string("no MIB database at ") + path +
                     " (build one with: mibdb build -o FILE; choose it with -f or MIBDBV2)");
        return false;
    }
    if (refresh_mib() != 0 || !Mib) {
        report_error(mib_file_message(path));
        return false;
    }
    return true;
}
