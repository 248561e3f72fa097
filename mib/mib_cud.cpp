// The MIB intermediate file: the module's status and messages, and the writer.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "mib/companion.h"
#include "mib/mib_cud_format.h"
#include "mib/mib_file.h"
#include "mib/mib_init.h"

namespace mib_cud {

namespace {

MibFileStatus status = MIB_FILE_OK;
int saved_errno = 0;

}  // namespace

void working_signature(char (&out)[kSignatureLength]) {
    std::memcpy(out, kSignatureText, kSignatureLength);
    out[0] = '@';
}

void clear_status() {
    status = MIB_FILE_OK;
    saved_errno = 0;
}

MibFileStatus set_status(MibFileStatus s, int error) {
    status = s;
    saved_errno = error;
    return s;
}

MibFileStatus current_status() {
    return status;
}

int error_or_short(int error) {
    return error != 0 ? error : kShortTransferErrno;
}

}  // namespace mib_cud

using namespace mib_cud;

namespace {

std::string message;

// ---------------------------------------------------------------------------------------------
// Writing

// The records go out through a buffer that stays in the cache; what goes out is digested on the
// way, so a caller that binds the file to its digest needs no second read.
class Writer {
  public:
    Writer(int fd, Digest64* digest) : fd_(fd), digest_(digest) {}

    // Room for `length` more bytes (at most the buffer's size) without a check per word.
    bool reserve(size_t length) { return sizeof(buffer_) - used_ >= length || flush(); }

    // After reserve().
    void word(uint32_t value) {
        const unsigned char bytes[4] = {
            static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
            static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
        std::memcpy(buffer_ + used_, bytes, 4);
        used_ += 4;
    }

    bool text(const char* data, size_t length) {
        if (!reserve(4)) return false;
        word(static_cast<uint32_t>(length));
        if (!bytes_out(data, length)) return false;
        const uint32_t pad = padding_for(length);
        if (!reserve(pad)) return false;
        std::memset(buffer_ + used_, kPadding, pad);
        used_ += pad;
        return true;
    }

    bool bytes_out(const void* data, size_t length) {
        const auto* p = static_cast<const unsigned char*>(data);
        while (length > 0) {
            if (used_ == sizeof(buffer_) && !flush()) return false;
            const size_t n = std::min(sizeof(buffer_) - used_, length);
            std::memcpy(buffer_ + used_, p, n);
            used_ += n;
            p += n;
            length -= n;
        }
        return true;
    }

    bool flush() {
        if (digest_) digest_->update(buffer_, used_);
        for (size_t done = 0; done < used_;) {
            errno = 0;
            const ssize_t n = write(fd_, buffer_ + done, used_ - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                set_status(MIB_FILE_WRITE_FAILED, error_or_short(n < 0 ? errno : 0));
                return false;
            }
            done += static_cast<size_t>(n);
        }
        written_ += used_;
        used_ = 0;
        return true;
    }

    uint64_t written() const { return written_; }

  private:
    int fd_;
    Digest64* digest_;
    uint64_t written_ = 0;
    size_t used_ = 0;
    unsigned char buffer_[1 << 17];
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
        if (!out.reserve(8)) return false;
        out.word(entry->next ? 1 : 0);
        out.word(static_cast<uint32_t>(entry->value));
        if (!out.text(label, length)) return false;
    }
    return true;
}

// The words of a record before its enumerations, with the label: the most a record's fixed part
// takes.
constexpr size_t kFixedPartMax = 4 * 8 + kMaxLabelLength + 3;

// Writes `node` and every peer after it; children recurse, peers loop. Counts the nodes written.
bool write_list(Writer& out, const MibNode* node, int depth, size_t& nodes) {
    if (depth > kMibFileMaxDepth) return refuse_to_write();
    for (; node; node = node->peer) {
        const size_t label_length = strnlen(node->label, kMibLabelSize);
        if (label_length > kMaxLabelLength) return refuse_to_write();
        const bool has_description = node->description && node->description[0] != '\0';
        const size_t description_length = has_description ? std::strlen(node->description) : 0;
        if (!fits_in_word(description_length)) return refuse_to_write();
        if (!out.reserve(kFixedPartMax)) return false;
        out.word(node->child ? 1 : 0);
        out.word(node->peer ? 1 : 0);
        if (!out.text(node->label, label_length)) return false;
        out.word(node->subid);
        out.word(static_cast<uint32_t>(node->type));
        out.word(static_cast<uint32_t>(node->access));
        out.word(node->enums ? 1 : 0);
        out.word(has_description ? 1 : 0);
        ++nodes;
        if (!write_enums(out, node->enums)) return false;
        if (has_description && !out.text(node->description, description_length)) return false;
        if (node->child && !write_list(out, node->child, depth + 1, nodes)) return false;
    }
    return true;
}

const MibNode* first_too_deep(const MibNode* node, int depth) {
    for (; node; node = node->peer) {
        if (depth > kMibFileMaxDepth) return node;
        if (const MibNode* deep = first_too_deep(node->child, depth + 1)) return deep;
    }
    return nullptr;
}

std::string system_text(int error) {
    return std::strerror(error);
}

}  // namespace

int write_mib_file(const char* path, const MibNode* node, MibFileWritten* written) {
    clear_status();
    if (!path || !node) {
        refuse_to_write();
        return 1;
    }
    std::remove(path);
    errno = 0;
    const int fd = open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        set_status(MIB_FILE_CANNOT_OPEN, errno);
        return 1;
    }
    Digest64 digest;
    auto* out = new (std::nothrow) Writer(fd, written ? &digest : nullptr);
    if (!out) {
        close(fd);
        set_status(MIB_FILE_NO_MEMORY, ENOMEM);
        return 1;
    }
    char signature[kSignatureLength];
    working_signature(signature);
    size_t nodes = 0;
    bool ok = out->reserve(kHeaderSize);  // an empty buffer has the room
    out->word(kSignatureLength);
    ok = ok && out->bytes_out(signature, kSignatureLength) &&
         out->bytes_out(kHeaderPadding, kHeaderPaddingLength) && write_list(*out, node, 1, nodes) &&
         out->flush();
    if (written) *written = {out->written(), digest.finish(), nodes};
    delete out;
    errno = 0;
    if (close(fd) != 0 && ok) {
        set_status(MIB_FILE_WRITE_FAILED, error_or_short(errno));
        ok = false;
    }
    return ok ? 0 : 1;
}

const MibNode* mib_file_too_deep(const MibNode* node) {
    return first_too_deep(node, 1);
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
        case MIB_FILE_NOT_REGULAR:
            message = "Error accessing " + name + ": not a regular file";
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

void note_mib_file_unreachable(int error) {
    set_status(MIB_FILE_CANNOT_OPEN, error);
}
