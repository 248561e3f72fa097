// The MIB intermediate file: writer, reader and status messages.
//
// Layout: a header (the word 13, the signature "@(#)cudfile2" with its NUL, "---"), then the
// node records in depth-first pre-order. Every integer is a big-endian 32-bit word; every text
// is a length word and the bytes, padded with '-' to a multiple of four.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "mib/mib_file.h"
#include "mib/mib_init.h"
#include "mib/value_format.h"

namespace {

// Held with '_' in front; the file carries '@' there.
constexpr char kSignatureText[] = "_(#)cudfile2";
constexpr uint32_t kSignatureLength = sizeof(kSignatureText);  // 13, the NUL included
constexpr size_t kHeaderSize = 4 + kSignatureLength + 3;
constexpr char kPadding = '-';
// Deeper than any object identifier can reach; a deeper nesting is damage, not a MIB.
constexpr int kMaxDepth = 128;
constexpr uint32_t kMaxLabelLength = kMibLabelSize - 1;
// A file that is being rewritten while we read it gets one more chance.
constexpr int kFurtherAttempts = 1;
constexpr int kShortTransferErrno = ENOSPC;  // a short read or write without a system error

unsigned retry_pause_seconds = 1;
MibFileStatus status = MIB_FILE_OK;
int saved_errno = 0;
std::string message;

void working_signature(char (&out)[kSignatureLength]) {
    std::memcpy(out, kSignatureText, kSignatureLength);
    out[0] = '@';
}

void clear_status() {
    status = MIB_FILE_OK;
    saved_errno = 0;
}

void set_status(MibFileStatus s, int error) {
    status = s;
    saved_errno = error;
}

int error_or_short(int error) {
    return error != 0 ? error : kShortTransferErrno;
}

uint32_t padding_for(size_t length) {
    return (4 - length % 4) % 4;
}

// ---------------------------------------------------------------------------------------------
// Writing

// Collects the output in a buffer and hands it to stdio in large pieces.
class Writer {
  public:
    explicit Writer(FILE* file) : file_(file) {}

    bool word(uint32_t value) {
        const unsigned char bytes[4] = {
            static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
            static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
        return bytes_out(bytes, 4);
    }

    bool text(const char* data, size_t length) {
        static const char pad[4] = {kPadding, kPadding, kPadding, kPadding};
        return word(static_cast<uint32_t>(length)) && bytes_out(data, length) &&
               bytes_out(pad, padding_for(length));
    }

    bool bytes_out(const void* data, size_t length) {
        const auto* p = static_cast<const unsigned char*>(data);
        while (length > 0) {
            if (used_ == sizeof(buffer_) && !flush()) return false;
            size_t n = sizeof(buffer_) - used_;
            if (n > length) n = length;
            std::memcpy(buffer_ + used_, p, n);
            used_ += n;
            p += n;
            length -= n;
        }
        return true;
    }

    bool flush() {
        errno = 0;
        if (used_ > 0 && std::fwrite(buffer_, 1, used_, file_) != used_) {
            set_status(MIB_FILE_WRITE_FAILED, error_or_short(errno));
            return false;
        }
        used_ = 0;
        return true;
    }

  private:
    FILE* file_;
    unsigned char buffer_[1 << 16];
    size_t used_ = 0;
};

bool fits_in_word(size_t length) {
    return length <= 0xFFFFFFFFu;
}

// A tree that the reader would refuse must not be written as if it were sound.
bool refuse_to_write() {
    set_status(MIB_FILE_WRITE_FAILED, EINVAL);
    return false;
}

bool write_enums(Writer& out, const EnumEntry* entry) {
    for (; entry; entry = entry->next) {
        const char* label = entry->label ? entry->label : "";
        const size_t length = std::strlen(label);
        if (!fits_in_word(length)) return refuse_to_write();
        if (!out.word(entry->next ? 1 : 0) || !out.word(static_cast<uint32_t>(entry->value)) ||
            !out.text(label, length))
            return false;
    }
    return true;
}

// Writes `node` and every peer after it; children recurse, peers loop.
bool write_list(Writer& out, const MibNode* node, int depth) {
    if (depth > kMaxDepth) return refuse_to_write();
    for (; node; node = node->peer) {
        const size_t label_length = strnlen(node->label, kMibLabelSize);
        if (label_length > kMaxLabelLength) return refuse_to_write();
        const bool has_description = node->description && node->description[0] != '\0';
        const size_t description_length = has_description ? std::strlen(node->description) : 0;
        if (!fits_in_word(description_length)) return refuse_to_write();
        if (!out.word(node->child ? 1 : 0) || !out.word(node->peer ? 1 : 0) ||
            !out.text(node->label, label_length) || !out.word(node->subid) ||
            !out.word(static_cast<uint32_t>(node->type)) ||
            !out.word(static_cast<uint32_t>(node->access)) || !out.word(node->enums ? 1 : 0) ||
            !out.word(has_description ? 1 : 0))
            return false;
        if (!write_enums(out, node->enums)) return false;
        if (has_description && !out.text(node->description, description_length)) return false;
        if (node->child && !write_list(out, node->child, depth + 1)) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Reading

// Decodes records from the file's bytes after the header.
class Reader {
  public:
    Reader(const unsigned char* data, size_t size) : p_(data), end_(data + size) {}

    size_t left() const { return static_cast<size_t>(end_ - p_); }

    MibFileStatus word(uint32_t& value) {
        if (left() < 4) return short_read();
        value = static_cast<uint32_t>(p_[0]) << 24 | static_cast<uint32_t>(p_[1]) << 16 |
                static_cast<uint32_t>(p_[2]) << 8 | static_cast<uint32_t>(p_[3]);
        p_ += 4;
        return MIB_FILE_OK;
    }

    // A length word that the rest of the file can hold; checked before anything is allocated.
    MibFileStatus length(uint32_t& value, uint32_t limit) {
        if (MibFileStatus s = word(value)) return s;
        if (value > limit || value > left()) return corrupted();
        return MIB_FILE_OK;
    }

    // The text's bytes into `out` (room for `length` and the NUL), then its padding.
    MibFileStatus text(char* out, uint32_t length) {
        std::memcpy(out, p_, length);
        out[length] = '\0';
        p_ += length;
        const uint32_t pad = padding_for(length);
        if (left() < pad) return short_read();
        p_ += pad;
        return MIB_FILE_OK;
    }

    MibFileStatus short_read() {
        set_status(MIB_FILE_READ_FAILED, kShortTransferErrno);
        return status;
    }

    MibFileStatus corrupted() {
        set_status(MIB_FILE_CORRUPTED, 0);
        return status;
    }

    MibFileStatus no_memory() {
        set_status(MIB_FILE_NO_MEMORY, ENOMEM);
        return status;
    }

  private:
    const unsigned char* p_;
    const unsigned char* end_;
};

// A heap text read from the file; null with the status set on failure.
MibFileStatus read_heap_text(Reader& in, char*& out) {
    uint32_t length = 0;
    if (MibFileStatus s = in.length(length, 0xFFFFFFFFu)) return s;
    out = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (!out) return in.no_memory();
    return in.text(out, length);
}

MibFileStatus read_enums(Reader& in, EnumEntry** link) {
    for (;;) {
        uint32_t has_next = 0;
        uint32_t value = 0;
        if (MibFileStatus s = in.word(has_next)) return s;
        if (MibFileStatus s = in.word(value)) return s;
        auto* entry = static_cast<EnumEntry*>(std::calloc(1, sizeof(EnumEntry)));
        if (!entry) return in.no_memory();
        entry->value = static_cast<int32_t>(value);
        *link = entry;
        link = &entry->next;
        if (MibFileStatus s = read_heap_text(in, entry->label)) return s;
        if (!has_next) return MIB_FILE_OK;
    }
}

// The fields of one record up to its child list, into a node that is already linked into the
// tree, so that whatever was built is released with it on failure.
MibFileStatus read_fields(Reader& in, MibNode* node, bool& has_child, bool& has_peer) {
    uint32_t flag = 0;
    if (MibFileStatus s = in.word(flag)) return s;
    has_child = flag != 0;
    if (MibFileStatus s = in.word(flag)) return s;
    has_peer = flag != 0;
    uint32_t label_length = 0;
    if (MibFileStatus s = in.length(label_length, kMaxLabelLength)) return s;
    if (MibFileStatus s = in.text(node->label, label_length)) return s;
    uint32_t word = 0;
    if (MibFileStatus s = in.word(node->subid)) return s;
    if (MibFileStatus s = in.word(word)) return s;
    node->type = static_cast<int32_t>(word);
    // Chosen here, as attach_printers would choose it over the finished tree, to save a
    // second walk over every node.
    node->printer = printer_for_type(node->type);
    if (MibFileStatus s = in.word(word)) return s;
    node->access = static_cast<int32_t>(word);
    uint32_t has_enums = 0;
    uint32_t has_description = 0;
    if (MibFileStatus s = in.word(has_enums)) return s;
    if (MibFileStatus s = in.word(has_description)) return s;
    if (has_enums) {
        if (MibFileStatus s = read_enums(in, &node->enums)) return s;
    }
    if (has_description) {
        if (MibFileStatus s = read_heap_text(in, node->description)) return s;
    }
    return MIB_FILE_OK;
}

// Reads a peer list into *link: peers in a loop, child lists by recursion (bounded by
// kMaxDepth). A failure anywhere but in the first top-level record's own fields shows as
// damage to the list around it; running out of memory is reported as such wherever it happens.
MibFileStatus read_list(Reader& in, MibNode* parent, MibNode** link, int depth) {
    if (depth > kMaxDepth) return in.corrupted();
    bool first = true;
    for (bool more = true; more; first = false) {
        MibNode* node = new_mib_node();
        if (!node) return in.no_memory();
        node->parent = parent;
        *link = node;
        link = &node->peer;
        bool has_child = false;
        if (MibFileStatus s = read_fields(in, node, has_child, more)) {
            if (s == MIB_FILE_NO_MEMORY || (first && depth == 1)) return s;
            status = MIB_FILE_CORRUPTED;
            return status;
        }
        if (has_child) {
            if (MibFileStatus s = read_list(in, node, &node->child, depth + 1)) {
                if (s != MIB_FILE_NO_MEMORY) status = MIB_FILE_CORRUPTED;
                return status;
            }
        }
    }
    return MIB_FILE_OK;
}

// Everything from the file's current position to its end, in one heap block.
struct Bytes {
    unsigned char* data = nullptr;
    size_t size = 0;
    ~Bytes() { std::free(data); }
};

MibFileStatus read_rest(FILE* file, Bytes& bytes) {
    std::free(bytes.data);
    bytes.data = nullptr;
    bytes.size = 0;
    size_t capacity = 1 << 16;
    struct stat info;
    if (fstat(fileno(file), &info) == 0 && info.st_size > 0) {
        capacity = static_cast<size_t>(info.st_size) + 1;  // + 1 sees the end in one pass
    }
    for (;;) {
        if (bytes.size == capacity || !bytes.data) {
            if (bytes.data) capacity *= 2;
            auto* grown = static_cast<unsigned char*>(std::realloc(bytes.data, capacity));
            if (!grown) {
                set_status(MIB_FILE_NO_MEMORY, ENOMEM);
                return status;
            }
            bytes.data = grown;
        }
        errno = 0;
        const size_t n = std::fread(bytes.data + bytes.size, 1, capacity - bytes.size, file);
        bytes.size += n;
        if (n > 0) continue;
        if (std::ferror(file)) {
            set_status(MIB_FILE_READ_FAILED, error_or_short(errno));
            return status;
        }
        return MIB_FILE_OK;
    }
}

MibFileStatus read_header(FILE* file) {
    unsigned char word[4];
    errno = 0;
    if (std::fread(word, 1, 4, file) != 4) {
        set_status(MIB_FILE_READ_FAILED, error_or_short(errno));
        return status;
    }
    const uint32_t length = static_cast<uint32_t>(word[0]) << 24 |
                            static_cast<uint32_t>(word[1]) << 16 |
                            static_cast<uint32_t>(word[2]) << 8 | word[3];
    if (length != kSignatureLength) {
        set_status(MIB_FILE_WRONG_VERSION, 0);
        return status;
    }
    unsigned char found[kSignatureLength + 3];
    errno = 0;
    if (std::fread(found, 1, sizeof(found), file) != sizeof(found)) {
        set_status(MIB_FILE_READ_FAILED, error_or_short(errno));
        return status;
    }
    char expected[kSignatureLength];
    working_signature(expected);
    if (std::memcmp(found, expected, kSignatureLength) != 0) {
        set_status(MIB_FILE_WRONG_VERSION, 0);
        return status;
    }
    return MIB_FILE_OK;
}

// One attempt at the records: the whole tree, or null with the status set and nothing kept.
MibNode* decode_tree(const Bytes& bytes) {
    clear_status();
    Reader in(bytes.data, bytes.size);
    MibNode* tree = nullptr;
    if (read_list(in, nullptr, &tree, 1) != MIB_FILE_OK) {
        release_mib_tree(tree);
        return nullptr;
    }
    return tree;
}

std::string system_text(int error) {
    return std::strerror(error);
}

}  // namespace

void set_mib_file_retry_pause(unsigned seconds) {
    retry_pause_seconds = seconds;
}

int write_mib_file(const char* path, const MibNode* node) {
    clear_status();
    if (!path || !node) {
        refuse_to_write();
        return 1;
    }
    std::remove(path);
    errno = 0;
    FILE* file = std::fopen(path, "w+b");
    if (!file) {
        set_status(MIB_FILE_CANNOT_OPEN, errno);
        return 1;
    }
    auto* out = new (std::nothrow) Writer(file);
    if (!out) {
        std::fclose(file);
        set_status(MIB_FILE_NO_MEMORY, ENOMEM);
        return 1;
    }
    char signature[kSignatureLength];
    working_signature(signature);
    bool ok = out->word(kSignatureLength) && out->bytes_out(signature, kSignatureLength) &&
              out->bytes_out("---", 3) && write_list(*out, node, 1) && out->flush();
    delete out;
    errno = 0;
    if (std::fclose(file) != 0 && ok) {
        set_status(MIB_FILE_WRITE_FAILED, error_or_short(errno));
        ok = false;
    }
    return ok ? 0 : 1;
}

MibNode* read_mib_file(const char* path) {
    clear_status();
    if (!path) {
        set_status(MIB_FILE_CANNOT_OPEN, EINVAL);
        return nullptr;
    }
    errno = 0;
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        set_status(MIB_FILE_CANNOT_OPEN, errno);
        return nullptr;
    }
    MibNode* tree = nullptr;
    Bytes bytes;
    if (read_header(file) == MIB_FILE_OK && read_rest(file, bytes) == MIB_FILE_OK) {
        tree = decode_tree(bytes);
        // A damaged tree may be a file that is still being written: wait, then read it again
        // from its first record, so that a fragment is never taken for the whole.
        for (int attempt = 0; !tree && status == MIB_FILE_CORRUPTED && attempt < kFurtherAttempts;
             ++attempt) {
            if (retry_pause_seconds > 0) sleep(retry_pause_seconds);
            if (std::fseek(file, static_cast<long>(kHeaderSize), SEEK_SET) == 0 &&
                read_rest(file, bytes) != MIB_FILE_OK)
                break;
            tree = decode_tree(bytes);
        }
    }
    std::fclose(file);
    return tree;
}

const char* mib_file_message(const char* path) {
    const int current_errno = errno;
    if (!path || !*path) path = mib_file_path();
    const std::string name = path ? path : "";
    switch (status) {
        case MIB_FILE_CANNOT_OPEN:
            message = "Error accessing " + name + ": " + system_text(saved_errno);
            break;
        case MIB_FILE_WRONG_VERSION:
            message = "Error accessing " + name + ": not a MIB intermediate file or wrong version";
            break;
        case MIB_FILE_NO_MEMORY:
            message = "Error accessing " + name + ": out of memory";
            break;
        case MIB_FILE_READ_FAILED:
            message = "Error reading file " + name + ": " + system_text(saved_errno);
            break;
        case MIB_FILE_WRITE_FAILED:
            message = "Error writing file " + name + ": " + system_text(saved_errno);
            break;
        case MIB_FILE_CORRUPTED:
            message = "Error reading file " + name + ": inconsistent or corrupted data";
            break;
        default: {
            const int error = saved_errno != 0 ? saved_errno : current_errno;
            message = "Error on file " + name;
            if (error != 0) message += ": " + system_text(error);
            break;
        }
    }
    return message.c_str();
}

MibFileStatus mib_file_status() {
    return status;
}

int mib_file_errno() {
    return saved_errno;
}
