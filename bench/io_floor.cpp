// The least any build of a set of module files can take: each file read through one small
// buffer, then a database and a companion of the given sizes written beside their targets and
// renamed over them. No compile at all: it is the floor under mibdb build's time on the same
// files, for the benchmark report.
//
//     io_floor OUTPUT DATABASE_BYTES COMPANION_BYTES FILE...
//
// Writes OUTPUT.bin and OUTPUT.facts; status 1 after saying what failed.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

char buffer[1 << 17];

int fail(const std::string& what) {
    std::fprintf(stderr, "io_floor: %s: %s\n", what.c_str(), std::strerror(errno));
    return 1;
}

bool size_of(std::string_view text, size_t& size) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    return error == std::errc() && end == text.data() + text.size();
}

bool write_all(int fd, size_t size) {
    for (size_t done = 0; done < size;) {
        const size_t part = std::min(sizeof buffer, size - done);
        const ssize_t n = write(fd, buffer, part);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    size_t sizes[2];
    if (argc < 4 || !size_of(argv[2], sizes[0]) || !size_of(argv[3], sizes[1])) {
        std::fputs("usage: io_floor OUTPUT DATABASE_BYTES COMPANION_BYTES FILE...\n", stderr);
        return 1;
    }
    for (int i = 4; i < argc; ++i) {
        const int fd = open(argv[i], O_RDONLY | O_CLOEXEC);
        if (fd < 0) return fail(argv[i]);
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) != 0) {
            if (n < 0 && errno != EINTR) return fail(argv[i]);
        }
        close(fd);
    }
    std::memset(buffer, '-', sizeof buffer);
    const std::string output = argv[1];
    const std::string targets[2] = {output + ".bin", output + ".facts"};
    for (int i = 0; i < 2; ++i) {
        const std::string partial = targets[i] + ".partial";
        const int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) return fail(partial);
        if (!write_all(fd, sizes[i])) return fail(partial);
        if (close(fd) != 0) return fail(partial);
        if (std::rename(partial.c_str(), targets[i].c_str()) != 0) return fail(targets[i]);
    }
    return 0;
}
