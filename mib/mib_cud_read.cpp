// The MIB intermediate file: the reader. It takes only what the writer could have written, so
// a tree that loads writes back to exactly the bytes it came from.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "mib/mib_cud_format.h"
#include "mib/mib_file.h"
#include "mib/value_format.h"

using namespace mib_cud;

namespace {

// A file that is being rewritten while we read it gets one more chance, after a pause.
constexpr int kFurtherAttempts = 1;
constexpr unsigned kRetryPauseSeconds = 1;
constexpr size_t kBufferSize = 1 << 16;

MibFilePause pause_hook = nullptr;

void pause_before_retry() {
    if (pause_hook) {
        pause_hook(kRetryPauseSeconds);
    } else {
        sleep(kRetryPauseSeconds);
    }
}

MibFileStatus short_read() {
    return set_status(MIB_FILE_READ_FAILED, kShortTransferErrno);
}

MibFileStatus corrupted() {
    return set_status(MIB_FILE_CORRUPTED, 0);
}

MibFileStatus no_memory() {
    return set_status(MIB_FILE_NO_MEMORY, ENOMEM);
}

// The file's bytes in buffered pieces, never past the size the file had when reading began
// (or began again), so bytes after the tree are noticed without being read.
class Source {
  public:
    Source(int fd, unsigned char* buffer) : fd_(fd), buffer_(buffer) {}

    // Positions at `offset` and takes the file's size afresh.
    MibFileStatus start_at(size_t offset) {
        struct stat info;
        if (fstat(fd_, &info) != 0) return set_status(MIB_FILE_READ_FAILED, errno);
        if (lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)
            return set_status(MIB_FILE_READ_FAILED, errno);
        const uint64_t size = info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
        unread_ = size > offset ? size - offset : 0;
        p_ = end_ = buffer_;
        return MIB_FILE_OK;
    }

    // Bytes of the file not yet taken.
    uint64_t left() const { return unread_ + static_cast<uint64_t>(end_ - p_); }

    MibFileStatus word(uint32_t& value) {
        unsigned char split[4];  // a word across the buffer's end
        const unsigned char* at = p_;
        if (end_ - p_ >= 4) {
            p_ += 4;
        } else {
            if (MibFileStatus s = take(split, 4)) return s;
            at = split;
        }
        value = static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 |
                static_cast<uint32_t>(at[2]) << 8 | static_cast<uint32_t>(at[3]);
        return MIB_FILE_OK;
    }

    MibFileStatus take(void* out, size_t length) {
        auto* to = static_cast<unsigned char*>(out);
        for (;;) {
            const size_t n = std::min(length, static_cast<size_t>(end_ - p_));
            std::memcpy(to, p_, n);
            p_ += n;
            to += n;
            length -= n;
            if (length == 0) return MIB_FILE_OK;
            // A long text goes straight to its place; the buffer serves the short fields.
            if (length >= kBufferSize) {
                if (MibFileStatus s = read_exactly(to, length)) return s;
                return MIB_FILE_OK;
            }
            if (MibFileStatus s = refill()) return s;
        }
    }

  private:
    MibFileStatus refill() {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kBufferSize, unread_));
        if (want == 0) return short_read();
        if (MibFileStatus s = read_exactly(buffer_, want)) return s;
        p_ = buffer_;
        end_ = buffer_ + want;
        return MIB_FILE_OK;
    }

    // Exactly `length` of the bytes still unread; a file that shrank meanwhile is a short read.
    MibFileStatus read_exactly(unsigned char* to, size_t length) {
        if (length > unread_) return short_read();
        while (length > 0) {
            const ssize_t n = ::read(fd_, to, length);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return set_status(MIB_FILE_READ_FAILED, error_or_short(errno));
            if (n == 0) return short_read();
            to += n;
            length -= static_cast<size_t>(n);
            unread_ -= static_cast<uint64_t>(n);
        }
        return MIB_FILE_OK;
    }

    int fd_;
    unsigned char* buffer_;
    const unsigned char* p_ = nullptr;
    const unsigned char* end_ = nullptr;
    uint64_t unread_ = 0;  // bytes of the file after the buffer's end
};

// A flag word: 0 or 1, as the writer writes it.
MibFileStatus read_flag(Source& in, bool& flag) {
    uint32_t word = 0;
    if (MibFileStatus s = in.word(word)) return s;
    if (word > 1) return corrupted();
    flag = word == 1;
    return MIB_FILE_OK;
}

// A length word that the rest of the file can hold; checked before anything is allocated.
MibFileStatus read_length(Source& in, uint32_t& length, uint32_t limit) {
    if (MibFileStatus s = in.word(length)) return s;
    if (length > limit || length > in.left()) return corrupted();
    return MIB_FILE_OK;
}

// The text's bytes into `out` (room for `length` and the NUL), then its padding. A NUL inside
// the text would cut it short when written back, and padding is nothing but '-'.
MibFileStatus read_text(Source& in, char* out, uint32_t length) {
    if (MibFileStatus s = in.take(out, length)) return s;
    out[length] = '\0';
    char padding[3];
    const uint32_t pad = padding_for(length);
    if (MibFileStatus s = in.take(padding, pad)) return s;
    if (std::memchr(out, '\0', length) != nullptr) return corrupted();
    for (uint32_t i = 0; i < pad; ++i) {
        if (padding[i] != kPadding) return corrupted();
    }
    return MIB_FILE_OK;
}

// A heap text read from the file; `min_length` refuses texts the writer never writes.
MibFileStatus read_heap_text(Source& in, char*& out, uint32_t min_length) {
    uint32_t length = 0;
    if (MibFileStatus s = read_length(in, length, 0xFFFFFFFFu)) return s;
    if (length < min_length) return corrupted();
    out = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (!out) return no_memory();
    return read_text(in, out, length);
}

MibFileStatus read_enums(Source& in, EnumEntry** link) {
    for (;;) {
        bool has_next = false;
        uint32_t value = 0;
        if (MibFileStatus s = read_flag(in, has_next)) return s;
        if (MibFileStatus s = in.word(value)) return s;
        auto* entry = static_cast<EnumEntry*>(std::calloc(1, sizeof(EnumEntry)));
        if (!entry) return no_memory();
        entry->value = static_cast<int32_t>(value);
        *link = entry;
        link = &entry->next;
        if (MibFileStatus s = read_heap_text(in, entry->label, 0)) return s;
        if (!has_next) return MIB_FILE_OK;
    }
}

// The fields of one record up to its child list, into a node that is already linked into the
// tree, so that whatever was built is released with it on failure.
MibFileStatus read_fields(Source& in, MibNode* node, bool& has_child, bool& has_peer) {
    if (MibFileStatus s = read_flag(in, has_child)) return s;
    if (MibFileStatus s = read_flag(in, has_peer)) return s;
    uint32_t label_length = 0;
    if (MibFileStatus s = read_length(in, label_length, kMaxLabelLength)) return s;
    if (MibFileStatus s = read_text(in, node->label, label_length)) return s;
    uint32_t word = 0;
    if (MibFileStatus s = in.word(node->subid)) return s;
    if (MibFileStatus s = in.word(word)) return s;
    node->type = static_cast<int32_t>(word);
    // Chosen here, as attach_printers would choose it over the finished tree, to save a
    // second walk over every node.
    node->printer = printer_for_type(node->type);
    if (MibFileStatus s = in.word(word)) return s;
    node->access = static_cast<int32_t>(word);
    bool has_enums = false;
    bool has_description = false;
    if (MibFileStatus s = read_flag(in, has_enums)) return s;
    if (MibFileStatus s = read_flag(in, has_description)) return s;
    if (has_enums) {
        if (MibFileStatus s = read_enums(in, &node->enums)) return s;
    }
    if (has_description) {
        // An empty description is written as none.
        if (MibFileStatus s = read_heap_text(in, node->description, 1)) return s;
    }
    return MIB_FILE_OK;
}

// Reads a peer list into *link: peers in a loop, child lists by recursion (bounded by the
// deepest level a file holds). A failure anywhere but in the first top-level record's own
// fields shows as damage to the list around it; running out of memory is reported as such
// wherever it happens.
MibFileStatus read_list(Source& in, MibNode* parent, MibNode** link, int depth) {
    if (depth > kMibFileMaxDepth) return corrupted();
    bool first = true;
    for (bool more = true; more; first = false) {
        MibNode* node = new_mib_node();
        if (!node) return no_memory();
        node->parent = parent;
        *link = node;
        link = &node->peer;
        bool has_child = false;
        if (MibFileStatus s = read_fields(in, node, has_child, more)) {
            if (s == MIB_FILE_NO_MEMORY || (first && depth == 1)) return s;
            return corrupted();
        }
        if (has_child) {
            if (MibFileStatus s = read_list(in, node, &node->child, depth + 1)) {
                return s == MIB_FILE_NO_MEMORY ? s : corrupted();
            }
        }
    }
    return MIB_FILE_OK;
}

MibFileStatus read_header(Source& in) {
    if (MibFileStatus s = in.start_at(0)) return s;
    uint32_t length = 0;
    if (MibFileStatus s = in.word(length)) return s;
    if (length != kSignatureLength) return set_status(MIB_FILE_WRONG_VERSION, 0);
    char found[kSignatureLength + kHeaderPaddingLength];
    if (MibFileStatus s = in.take(found, sizeof(found))) return s;
    char expected[kSignatureLength];
    working_signature(expected);
    if (std::memcmp(found, expected, kSignatureLength) != 0 ||
        std::memcmp(found + kSignatureLength, kHeaderPadding, kHeaderPaddingLength) != 0)
        return set_status(MIB_FILE_WRONG_VERSION, 0);
    return MIB_FILE_OK;
}

// One attempt at the records, from the current position: the whole tree and nothing after it,
// or null with the status set and nothing kept.
MibNode* decode_tree(Source& in) {
    clear_status();
    MibNode* tree = nullptr;
    if (read_list(in, nullptr, &tree, 1) == MIB_FILE_OK && in.left() > 0) corrupted();
    if (current_status() != MIB_FILE_OK) {
        release_mib_tree(tree);
        return nullptr;
    }
    return tree;
}

// Opens `path` for reading only when it names a regular file: a FIFO would block the open
// until a writer came, and a device could feed bytes for ever. -1 with the status set.
int open_regular_file(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0) {
        set_status(MIB_FILE_CANNOT_OPEN, errno);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        set_status(MIB_FILE_NOT_REGULAR, 0);
        return -1;
    }
    // Non-blocking all the same, should the name be swapped for a FIFO in between.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        set_status(MIB_FILE_CANNOT_OPEN, errno);
        return -1;
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        set_status(MIB_FILE_NOT_REGULAR, 0);
        return -1;
    }
    return fd;
}

}  // namespace

void set_mib_file_pause(MibFilePause pause) {
    pause_hook = pause;
}

MibNode* read_mib_file(const char* path, MibFileRetry retry) {
    clear_status();
    if (!path) {
        set_status(MIB_FILE_CANNOT_OPEN, EINVAL);
        return nullptr;
    }
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kBufferSize]);
    if (!buffer) {
        no_memory();
        return nullptr;
    }
    const int fd = open_regular_file(path);
    if (fd < 0) return nullptr;
    Source in(fd, buffer.get());
    MibNode* tree = nullptr;
    if (read_header(in) == MIB_FILE_OK) {
        tree = decode_tree(in);
        // A damaged tree may be a file that is still being written: wait, then read it again
        // from its first record, so that a fragment is never taken for the whole.
        for (int attempt = 0; !tree && current_status() == MIB_FILE_CORRUPTED &&
                              retry == MibFileRetry::kAfterPause && attempt < kFurtherAttempts;
             ++attempt) {
            pause_before_retry();
            if (in.start_at(kHeaderSize) != MIB_FILE_OK) break;
            tree = decode_tree(in);
        }
    }
    close(fd);
    return tree;
}
