// The companion's reader. It takes only what the writer writes, so a companion that loads writes
// back to exactly its bytes; every count is checked against the bytes left before anything is
// allocated for it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <unordered_set>

#include "mib/companion.h"
#include "mib/companion_format.h"

using namespace companion_format;

namespace {

// The bytes of the body, taken in order, never past the end.
class Cursor {
  public:
    explicit Cursor(std::string_view bytes)
        : p_(reinterpret_cast<const unsigned char*>(bytes.data())), end_(p_ + bytes.size()) {}

    size_t left() const { return static_cast<size_t>(end_ - p_); }

    bool word(uint32_t& value) {
        if (left() < 4) return false;
        value = load32(p_);
        p_ += 4;
        return true;
    }
    // A count of items of at least `item_bytes` each that the bytes left can hold.
    bool count(uint32_t& value, size_t item_bytes) {
        return word(value) && value <= left() / item_bytes;
    }
    bool bytes(size_t length, std::string_view& out) {
        if (left() < length) return false;
        out = {reinterpret_cast<const char*>(p_), length};
        p_ += length;
        return true;
    }

    // Where the cursor stands, counted from `base`.
    size_t offset_from(const unsigned char* base) const { return static_cast<size_t>(p_ - base); }
    const unsigned char* position() const { return p_; }

  private:
    const unsigned char* p_;
    const unsigned char* end_;
};

// An OID's length word and sub-identifiers; `words` points at the first sub-identifier.
bool check_oid(Cursor& in, bool may_be_empty, const unsigned char*& words, uint32_t& length) {
    std::string_view skipped;
    if (!in.count(length, 4) || length > kCompanionMaxOidLength) return false;
    if (length == 0 && !may_be_empty) return false;
    words = in.position();
    return in.bytes(4 * size_t{length}, skipped);
}

bool check_oid(Cursor& in, bool may_be_empty) {
    const unsigned char* words = nullptr;
    uint32_t length = 0;
    return check_oid(in, may_be_empty, words, length);
}

bool read_texts(Cursor& in, const unsigned char* base, uint32_t count,
                std::vector<Companion::Text>& texts) {
    texts.reserve(count);
    std::unordered_set<std::string_view> seen;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length = 0;
        std::string_view text;
        std::string_view padding;
        if (!in.word(length) || length == 0) return false;
        const size_t at = in.offset_from(base);
        if (!in.bytes(length, text) || !in.bytes(padding_for(length), padding)) return false;
        if (text.find('\0') != std::string_view::npos ||
            padding.find_first_not_of(kPadding) != std::string_view::npos ||
            !seen.insert(text).second)
            return false;
        texts.push_back({static_cast<uint32_t>(at), length});
    }
    return true;
}

// Text words name the texts in the order of the table: a word is a text already named or the
// next one.
class TextWords {
  public:
    explicit TextWords(size_t texts) : texts_(texts) {}
    bool check(Cursor& in, bool may_be_empty = true) {
        uint32_t word = 0;
        if (!in.word(word) || word > named_ + 1 || word > texts_) return false;
        if (word == 0 && !may_be_empty) return false;
        if (word == named_ + 1) ++named_;
        return true;
    }
    bool all_named() const { return named_ == texts_; }

  private:
    size_t texts_;
    size_t named_ = 0;
};

bool check_record(Cursor& in, TextWords& words, const unsigned char*& oid, uint32_t& oid_length) {
    uint32_t count = 0;
    uint32_t implied = 0;
    if (!check_oid(in, false, oid, oid_length) || !in.count(count, 4)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        if (!words.check(in, false)) return false;
    }
    if (!words.check(in) || !words.check(in) || !in.count(count, 8)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t min = 0;
        uint32_t max = 0;
        in.word(min);
        in.word(max);
        if (min > max) return false;
    }
    if (!in.word(implied) || implied > 1 || !in.count(count, 8)) return false;
    if (implied == 1 && count == 0) return false;
    for (uint32_t i = 0; i < count; ++i) {
        if (!check_oid(in, false)) return false;
    }
    return check_oid(in, true);
}

// Whether the OID of `a_length` words at `a` sorts strictly before the one at `b`.
bool sorts_before(const unsigned char* a, uint32_t a_length, const unsigned char* b,
                  uint32_t b_length) {
    const uint32_t common = std::min(a_length, b_length);
    for (uint32_t i = 0; i < common; ++i) {
        const uint32_t x = load32(a + 4 * i);
        const uint32_t y = load32(b + 4 * i);
        if (x != y) return x < y;
    }
    return a_length < b_length;
}

// The smallest record: an OID of one sub-identifier, no modules, sizes, INDEX or AUGMENTS.
constexpr size_t kSmallestRecord = 9 * 4;

// Checks the body from `body_at` and notes where its texts and records lie.
bool check_body(std::string_view bytes, size_t body_at, std::vector<Companion::Text>& texts,
                std::vector<uint32_t>& records) {
    const auto* base = reinterpret_cast<const unsigned char*>(bytes.data());
    Cursor in(bytes.substr(body_at));
    uint32_t text_count = 0;
    uint32_t record_count = 0;
    if (!in.count(text_count, 4) || !in.count(record_count, 4) ||
        !read_texts(in, base, text_count, texts) || record_count > in.left() / kSmallestRecord)
        return false;
    TextWords words(texts.size());
    records.reserve(record_count);
    const unsigned char* previous = nullptr;
    uint32_t previous_length = 0;
    for (uint32_t i = 0; i < record_count; ++i) {
        records.push_back(static_cast<uint32_t>(in.offset_from(base)));
        const unsigned char* oid = nullptr;
        uint32_t length = 0;
        if (!check_record(in, words, oid, length)) return false;
        if (previous && !sorts_before(previous, previous_length, oid, length)) return false;
        previous = oid;
        previous_length = length;
    }
    return words.all_named() && in.left() == 0;
}

// The whole of a regular file of at most kCompanionMaxFileSize bytes.
CompanionStatus read_whole(const std::string& path, std::string& bytes, int& error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = errno;
        return CompanionStatus::kCannotOpen;
    }
    if (!S_ISREG(info.st_mode)) return CompanionStatus::kNotRegular;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return CompanionStatus::kCannotOpen;
    }
    CompanionStatus status = CompanionStatus::kOk;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        status = CompanionStatus::kNotRegular;
    } else if (static_cast<uint64_t>(info.st_size) > kCompanionMaxFileSize) {
        status = CompanionStatus::kCorrupted;
    } else {
        bytes.resize(static_cast<size_t>(info.st_size));
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error = n < 0 ? errno : ENOSPC;
                status = CompanionStatus::kReadFailed;
                break;
            }
            got += static_cast<size_t>(n);
        }
        // A file that grew meanwhile is not taken as what was read.
        char extra = 0;
        if (status == CompanionStatus::kOk && read(fd, &extra, 1) > 0)
            status = CompanionStatus::kCorrupted;
    }
    close(fd);
    return status;
}

std::string reason(CompanionStatus status, int error) {
    switch (status) {
        case CompanionStatus::kCannotOpen:
            return std::strerror(error);
        case CompanionStatus::kNotRegular:
            return "not a regular file";
        case CompanionStatus::kWrongVersion:
            return "not a MIB facts file or wrong version";
        case CompanionStatus::kStale:
            return "written for another database, or the database changed since";
        case CompanionStatus::kCorrupted:
            return "inconsistent or corrupted data";
        case CompanionStatus::kReadFailed:
            return std::string("read error: ") + std::strerror(error);
        case CompanionStatus::kNoMemory:
            return "out of memory";
        default:
            return {};
    }
}

}  // namespace

CompanionStatus decode_companion(std::string bytes, const CompanionBinding& expected,
                                 Companion& companion) {
    companion = Companion();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < kVersionAt + 4 ||
        std::string_view(bytes).substr(0, kMagic.size()) != kMagic ||
        load32(p + kVersionAt) != kCompanionVersion)
        return CompanionStatus::kWrongVersion;
    if (bytes.size() < kBodyAt) return CompanionStatus::kCorrupted;
    const CompanionBinding binding{load64(p + kDatabaseSizeAt), load64(p + kDatabaseDigestAt)};
    if (binding != expected) return CompanionStatus::kStale;
    Digest64 digest;
    digest.update(p + kBodyAt, bytes.size() - kBodyAt);
    if (digest.finish() != load64(p + kBodyDigestAt)) return CompanionStatus::kCorrupted;
    try {
        if (!check_body(bytes, kBodyAt, companion.texts_, companion.records_)) {
            companion = Companion();
            return CompanionStatus::kCorrupted;
        }
    } catch (const std::bad_alloc&) {
        companion = Companion();
        return CompanionStatus::kNoMemory;
    }
    companion.binding_ = binding;
    companion.bytes_ = std::move(bytes);
    return CompanionStatus::kOk;
}

std::unique_ptr<Companion> read_companion(const std::string& database_path,
                                          CompanionResult& result) {
    const std::string path = companion_path(database_path);
    const auto refused = [&](CompanionStatus status, const std::string& why) {
        result = {status, "MIB facts file " + path + " not used: " + why};
        return nullptr;
    };
    std::string bytes;
    int error = 0;
    CompanionStatus status = CompanionStatus::kOk;
    try {
        status = read_whole(path, bytes, error);
    } catch (const std::bad_alloc&) {
        status = CompanionStatus::kNoMemory;
    }
    if (status != CompanionStatus::kOk) return refused(status, reason(status, error));
    CompanionBinding binding;
    if (!bind_database(database_path, binding, result))
        return refused(result.status, result.message);
    auto companion = std::unique_ptr<Companion>(new (std::nothrow) Companion);
    if (!companion)
        return refused(CompanionStatus::kNoMemory, reason(CompanionStatus::kNoMemory, 0));
    status = decode_companion(std::move(bytes), binding, *companion);
    if (status != CompanionStatus::kOk) return refused(status, reason(status, 0));
    result = {};
    return companion;
}
