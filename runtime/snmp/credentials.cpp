#include "runtime/snmp/credentials.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace snmp {

const std::string_view kCredentialSettings[8] = {
    "ZORVSNMP_VERSION",         "ZORVSNMP_SECURITY_NAME",   "ZORVSNMP_SECURITY_LEVEL",
    "ZORVSNMP_AUTH_PROTOCOL",   "ZORVSNMP_AUTH_PASSPHRASE", "ZORVSNMP_PRIV_PROTOCOL",
    "ZORVSNMP_PRIV_PASSPHRASE", "ZORVSNMP_CONTEXT",
};

namespace {

constexpr size_t kMaxFile = 64 * 1024;

enum Problem {
    kCannotOpen,
    kNotRegular,
    kOpenToOthers,
    kTooLarge,
    kCannotRead,
    kNulByte,
    kNoEquals,
    kUnknownName,
    kRepeatedName,
};

const char* const kProblems[] = {
    "cannot be opened",
    "is not a regular file",
    "can be read or written by others than its owner (chmod 600 it)",
    "is larger than 64 KiB",
    "cannot be read",
    "holds a NUL byte",
    "is not name=value",
    "names an unknown setting",
    "sets the same name twice",
};

bool refuse(std::string& error, const char* path, Problem problem, size_t line = 0,
            const char* detail = nullptr) {
    error = "credentials file ";
    error += path;
    if (line) error += ": line " + std::to_string(line);
    error += line ? ": " : " ";
    error += kProblems[problem];
    if (detail) error += std::string(" (") + detail + ")";
    return false;
}

std::string_view trim(std::string_view s) {
    const char* blanks = " \t\r";
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool read_file(const char* path, std::string& text, std::string& error) {
    // Non-blocking, so that a FIFO named as the file cannot hang the program.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return refuse(error, path, kCannotOpen, 0, std::strerror(errno));
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 || refuse(error, path, kCannotRead, 0, std::strerror(errno));
    ok = ok && (S_ISREG(st.st_mode) || refuse(error, path, kNotRegular));
    ok = ok && ((st.st_mode & 077) == 0 || refuse(error, path, kOpenToOthers));
    ok = ok && (st.st_size <= static_cast<off_t>(kMaxFile) || refuse(error, path, kTooLarge));
    char buffer[4096];
    while (ok) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0)
            ok = refuse(error, path, kCannotRead, 0, std::strerror(errno));
        else
            text.append(buffer, static_cast<size_t>(got));
        if (ok && text.size() > kMaxFile) ok = refuse(error, path, kTooLarge);
    }
    close(fd);
    return ok;
}

bool parse_lines(const char* path, std::string_view rest, std::span<const std::string_view> allowed,
                 Credentials& out, std::string& error) {
    for (size_t number = 1; !rest.empty(); ++number) {
        const size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string_view content = trim(line);
        if (content.empty() || content.front() == '#') continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) return refuse(error, path, kNoEquals, number);
        const std::string_view name = trim(line.substr(0, equals));
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
            return refuse(error, path, kUnknownName, number);
        for (const auto& setting : out.settings) {
            if (setting.first == name) return refuse(error, path, kRepeatedName, number);
        }
        out.settings.emplace_back(std::string(name), std::string(line.substr(equals + 1)));
    }
    return true;
}

}  // namespace

bool read_credentials(const char* path, std::span<const std::string_view> allowed, Credentials& out,
                      std::string& error) {
    out.settings.clear();
    std::string text;
    if (!read_file(path, text, error)) return false;
    if (text.find('\0') != std::string::npos) return refuse(error, path, kNulByte);
    if (parse_lines(path, text, allowed, out, error)) return true;
    out.settings.clear();  // nothing half-read is used
    return false;
}

}  // namespace snmp
