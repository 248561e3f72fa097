// The credentials file (ZORVSNMP_CREDENTIALS): settings kept out of the environment and the
// process list, as `name=value` lines in a file of the user's own that only its owner may read.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace snmp {

// The settings a credentials file may hold.
extern const std::string_view kCredentialSettings[8];

struct Credentials {
    std::vector<std::pair<std::string, std::string>> settings;  // in file order
};

// Reads `path`: blank lines and lines starting with '#' are skipped, every other line is
// `name=value`, the value being the rest of the line after the first '=' (a trailing carriage
// return dropped). Refused unless it is a regular file of the effective user (or of root)
// without any group or other permission, at most 64 KiB, and every name is one of `allowed`
// and appears once. On failure `error` names the file (and the line) and what is wrong, never
// a value.
bool read_credentials(const char* path, std::span<const std::string_view> allowed, Credentials& out,
                      std::string& error);

// Wipes the values (secrets among them) and forgets every setting.
void wipe_credentials(Credentials& credentials);

}  // namespace snmp
