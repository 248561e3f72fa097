#include "runtime/snmp/credentials.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>
#include <vector>

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
    kNotOwn,
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
    "belongs to another user (it must be owned by the user running the program, or by root)",
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

// The file's bytes, read straight into one buffer that is wiped when it goes: the text holds
// secrets, and a growing string would leave copies of them behind.
class FileText {
  public:
    FileText() : bytes_(kMaxFile + 1) {}
    ~FileText() { OPENSSL_cleanse(bytes_.data(), bytes_.size()); }
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;

    bool read(const char* path, std::string& error);
    std::string_view text() const { return {bytes_.data(), size_}; }

  private:
    std::vector<char> bytes_;
    size_t size_ = 0;
};

bool FileText::read(const char* path, std::string& error) {
    // Non-blocking, so that a FIFO named as the file cannot hang the program.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return refuse(error, path, kCannotOpen, 0, std::strerror(errno));
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 || refuse(error, path, kCannotRead, 0, std::strerror(errno));
    ok = ok && (S_ISREG(st.st_mode) || refuse(error, path, kNotRegular));
    // Another user's file could feed us settings we never chose.
    ok = ok && (st.st_uid == geteuid() || st.st_uid == 0 || refuse(error, path, kNotOwn));
    ok = ok && ((st.st_mode & 077) == 0 || refuse(error, path, kOpenToOthers));
    ok = ok && (st.st_size <= static_cast<off_t>(kMaxFile) || refuse(error, path, kTooLarge));
    while (ok) {
        const ssize_t got = ::read(fd, bytes_.data() + size_, bytes_.size() - size_);
        if (got == 0) break;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0)
            ok = refuse(error, path, kCannotRead, 0, std::strerror(errno));
        else
            size_ += static_cast<size_t>(got);
        if (ok && size_ > kMaxFile) ok = refuse(error, path, kTooLarge);
    }
    close(fd);
    return ok;
}

bool parse_lines(const char* path, std::string_view rest, std::span<const std::string_view> allowed,
                 Credentials& out, std::string& error) {
    // Never reallocated, so no moved-from copy of a value is left behind.
    out.settings.reserve(allowed.size());
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
        out.settings.emplace_back(std::piecewise_construct, std::forward_as_tuple(name),
                                  std::forward_as_tuple(line.substr(equals + 1)));
    }
    return true;
}

}  // namespace

void wipe_credentials(Credentials& c) {
    for (auto& [name, value] : c.settings) {
        OPENSSL_cleanse(value.data(), value.capacity());
        value.clear();
    }
    c.settings.clear();
}

bool read_credentials(const char* path, std::span<const std::string_view> allowed, Credentials& out,
                      std::string& error) {
    wipe_credentials(out);
    FileText file;
    if (!file.read(path, error)) return false;
    if (file.text().find('\0') != std::string_view::npos) return refuse(error, path, kNulByte);
    if (parse_lines(path, file.text(), allowed, out, error)) return true;
    wipe_credentials(out);  // nothing half-read is used
    return false;
}

}  // namespace snmp
