// The companion's digest, and the binding of a database file: its size and the digest of its bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>

#include "mib/companion.h"

namespace {

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87u;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Fu;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9u;
constexpr uint64_t kPrime4 = 0x85EBCA77C2B2AE63u;

uint64_t rotate(uint64_t x, int bits) {
    return (x << bits) | (x >> (64 - bits));
}

// Little-endian, whatever the machine's order, so a file's digest is the same everywhere.
uint64_t load64(const unsigned char* p) {
    uint64_t v = 0;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

uint64_t mix(uint64_t lane, uint64_t input) {
    return rotate(lane + input * kPrime2, 31) * kPrime1;
}

constexpr size_t kChunk = 1 << 16;

}  // namespace

void Digest64::block(const unsigned char* p) {
    for (int i = 0; i < 4; ++i) lanes_[i] = mix(lanes_[i], load64(p + 8 * i));
}

void Digest64::update(const void* data, size_t length) {
    const auto* p = static_cast<const unsigned char*>(data);
    total_ += length;
    if (pending_length_ > 0) {
        const size_t n = std::min(length, sizeof(pending_) - pending_length_);
        std::memcpy(pending_ + pending_length_, p, n);
        pending_length_ += n;
        p += n;
        length -= n;
        if (pending_length_ < sizeof(pending_)) return;
        block(pending_);
        pending_length_ = 0;
    }
    for (; length >= 32; p += 32, length -= 32) block(p);
    std::memcpy(pending_, p, length);
    pending_length_ = length;
}

uint64_t Digest64::finish() const {
    uint64_t h =
        rotate(lanes_[0], 1) + rotate(lanes_[1], 7) + rotate(lanes_[2], 12) + rotate(lanes_[3], 18);
    for (uint64_t lane : lanes_) h = (h ^ mix(0, lane)) * kPrime1 + kPrime4;
    h += total_;
    size_t i = 0;
    for (; i + 8 <= pending_length_; i += 8) {
        h = rotate(h ^ mix(0, load64(pending_ + i)), 27) * kPrime1 + kPrime4;
    }
    for (; i < pending_length_; ++i) h = rotate(h ^ (pending_[i] * kPrime3), 11) * kPrime1;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    return h ^ (h >> 32);
}

std::string companion_path(std::string_view database_path) {
    constexpr std::string_view kBin = ".bin";
    if (database_path.ends_with(kBin)) database_path.remove_suffix(kBin.size());
    return std::string(database_path) + ".facts";
}

bool bind_database(const std::string& path, CompanionBinding& binding, CompanionResult& result) {
    const auto fail = [&](int error) {
        result = {CompanionStatus::kNoDatabase,
                  "cannot read the database " + path + ": " + std::strerror(error)};
        return false;
    };
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return fail(errno);
    if (!S_ISREG(info.st_mode)) return fail(EINVAL);
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(errno);
    // Should the name have been swapped for a device meanwhile, it is not read for ever.
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return fail(EINVAL);
    }
    // Read in pieces that stay in the cache; the size counted is what was read.
    auto buffer = std::make_unique<unsigned char[]>(kChunk);
    Digest64 digest;
    uint64_t size = 0;
    for (;;) {
        const ssize_t n = read(fd, buffer.get(), kChunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            close(fd);
            return fail(error);
        }
        if (n == 0) break;
        digest.update(buffer.get(), static_cast<size_t>(n));
        size += static_cast<uint64_t>(n);
    }
    close(fd);
    binding = {size, digest.finish()};
    return true;
}
