// The companion's writer: the facts in OID order with their texts gathered once, sealed with the
// binding and the body's digest, written beside the target and renamed over it.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string_view>

#include "mib/companion.h"
#include "mib/companion_format.h"

using namespace companion_format;

static_assert(kBodyAt == kCompanionHeaderSize);

namespace {

void put64_at(std::string& out, size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i) out[at + i] = static_cast<char>(v >> (56 - 8 * i));
}

bool fits(size_t n) {
    return n <= 0xFFFFFFFFu;
}

size_t text_size(size_t length) {
    return 4 + length + padding_for(length);
}

// The texts in the order the records first name them, and each text's word (0: empty). The
// texts stay where the facts hold them. Open addressing: a few hundred texts named tens of
// thousands of times.
class TextTable {
  public:
    TextTable() : slots_(kFirstSlots) {}

    uint32_t word_for(const std::string& text) {
        if (text.empty()) return 0;
        const size_t hash = std::hash<std::string_view>{}(text);
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.word == 0) {
                texts_.push_back(&text);
                bytes_ += text_size(text.size());
                slot = {hash, static_cast<uint32_t>(texts_.size())};
                if (texts_.size() * 2 > slots_.size()) grow();
                return static_cast<uint32_t>(texts_.size());
            }
            if (slot.hash == hash && *texts_[slot.word - 1] == text) return slot.word;
        }
    }
    const std::vector<const std::string*>& texts() const { return texts_; }
    // The bytes the texts take in the file.
    size_t bytes() const { return bytes_; }

  private:
    struct Slot {
        size_t hash = 0;
        uint32_t word = 0;  // 0: free
    };
    static constexpr size_t kFirstSlots = 1024;

    void grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        const size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.word == 0) continue;
            size_t i = slot.hash & mask;
            while (slots_[i].word != 0) i = (i + 1) & mask;
            slots_[i] = slot;
        }
    }

    std::vector<Slot> slots_;
    std::vector<const std::string*> texts_;
    size_t bytes_ = 0;
};

// Stores big-endian words and padded texts one after another; the caller sized the bytes.
class Encoder {
  public:
    explicit Encoder(char* at) : at_(at) {}

    void word(uint32_t v) {
        const char bytes[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                               static_cast<char>(v >> 8), static_cast<char>(v)};
        std::memcpy(at_, bytes, 4);
        at_ += 4;
    }
    void oid(const std::vector<uint32_t>& oid) {
        word(static_cast<uint32_t>(oid.size()));
        for (uint32_t subid : oid) word(subid);
    }
    void text(const std::string& text) {
        word(static_cast<uint32_t>(text.size()));
        std::memcpy(at_, text.data(), text.size());
        at_ += text.size();
        const size_t pad = padding_for(text.size());
        std::memset(at_, kPadding, pad);
        at_ += pad;
    }

  private:
    char* at_;
};

// Why the reader would refuse `node`; null when it would not.
const char* refusal(const NodeFacts& node) {
    const auto bad_oid = [](const std::vector<uint32_t>& oid, bool may_be_empty) {
        return (oid.empty() && !may_be_empty) || oid.size() > kCompanionMaxOidLength;
    };
    if (bad_oid(node.oid, false)) return "an object identifier empty or too long";
    for (const auto& object : node.index) {
        if (bad_oid(object, false)) return "an INDEX object identifier empty or too long";
    }
    if (bad_oid(node.augments, true)) return "an AUGMENTS object identifier too long";
    if (node.implied && node.index.empty()) return "IMPLIED without INDEX";
    for (const SizeRange& range : node.sizes) {
        if (range.min > range.max) return "a size range whose minimum exceeds its maximum";
    }
    const auto bad_text = [](const std::string& text) -> const char* {
        if (text.find('\0') != std::string::npos) return "a text holding a NUL";
        if (!fits(text.size())) return "a text too long";
        return nullptr;
    };
    for (const std::string& module : node.modules) {
        if (module.empty()) return "an empty module name";
    }
    for (const std::string* text : {&node.syntax, &node.hint}) {
        if (const char* why = bad_text(*text)) return why;
    }
    for (const std::string& module : node.modules) {
        if (const char* why = bad_text(module)) return why;
    }
    if (!fits(node.modules.size()) || !fits(node.sizes.size()) || !fits(node.index.size()))
        return "a count too large";
    return nullptr;
}

// The words of the texts a record names, in the order it names them.
void name_texts(const NodeFacts& node, TextTable& texts, std::vector<uint32_t>& words) {
    for (const std::string& module : node.modules) words.push_back(texts.word_for(module));
    words.push_back(texts.word_for(node.syntax));
    words.push_back(texts.word_for(node.hint));
}

size_t record_size(const NodeFacts& node) {
    size_t words = 1 + node.oid.size() + 1 + node.modules.size() + 2 + 1 + 2 * node.sizes.size() +
                   1 + 1 + 1 + node.augments.size();
    for (const auto& object : node.index) words += 1 + object.size();
    return 4 * words;
}

// The record of `node`; `words` are the words of the texts it names, taken as used.
void put_record(Encoder& out, const NodeFacts& node, const uint32_t*& words) {
    out.oid(node.oid);
    out.word(static_cast<uint32_t>(node.modules.size()));
    for (size_t i = 0; i < node.modules.size(); ++i) out.word(*words++);
    out.word(*words++);  // the convention
    out.word(*words++);  // the hint
    out.word(static_cast<uint32_t>(node.sizes.size()));
    for (const SizeRange& range : node.sizes) {
        out.word(range.min);
        out.word(range.max);
    }
    out.word(node.implied ? 1 : 0);
    out.word(static_cast<uint32_t>(node.index.size()));
    for (const auto& object : node.index) out.oid(object);
    out.oid(node.augments);
}

std::string system_text(int error) {
    return std::strerror(error);
}

}  // namespace

std::string companion_partial_path(std::string_view database_path) {
    return companion_path(database_path) + ".partial." + std::to_string(getpid());
}

void seal_companion(std::string& bytes, const CompanionBinding& binding) {
    put64_at(bytes, kDatabaseSizeAt, binding.size);
    put64_at(bytes, kDatabaseDigestAt, binding.digest);
    Digest64 digest;
    digest.update(bytes.data() + kBodyAt, bytes.size() - kBodyAt);
    put64_at(bytes, kBodyDigestAt, digest.finish());
}

bool encode_companion(const std::vector<NodeFacts>& facts, const CompanionBinding& binding,
                      std::string& bytes, std::string& why) {
    if (!fits(facts.size())) {
        why = "too many records";
        return false;
    }
    // One pass checks every record and, when they come in order (as a compile gives them), also
    // names their texts; the texts are numbered in the order the records, sorted, first name them.
    std::vector<const NodeFacts*> order;
    order.reserve(facts.size());
    TextTable texts;
    std::vector<uint32_t> words;
    words.reserve(facts.size() * 3);
    size_t records = 0;
    bool sorted = true;
    bool repeated = false;
    for (const NodeFacts& node : facts) {
        if (const char* refused = refusal(node)) {
            why = refused;
            return false;
        }
        if (!order.empty() && sorted && !(order.back()->oid < node.oid)) {
            repeated = repeated || order.back()->oid == node.oid;
            sorted = false;
        }
        if (sorted) name_texts(node, texts, words);
        records += record_size(node);
        order.push_back(&node);
    }
    if (!sorted) {
        const auto by_oid = [](const NodeFacts* a, const NodeFacts* b) { return a->oid < b->oid; };
        std::sort(order.begin(), order.end(), by_oid);
        for (size_t i = 1; i < order.size() && !repeated; ++i)
            repeated = order[i - 1]->oid == order[i]->oid;
        if (!repeated) {
            texts = TextTable();
            words.clear();
            for (const NodeFacts* node : order) name_texts(*node, texts, words);
        }
    }
    if (repeated) {
        why = "an object identifier given twice";
        return false;
    }
    bytes.assign(kBodyAt + 8 + texts.bytes() + records, '\0');
    std::memcpy(bytes.data(), kMagic.data(), kMagic.size());
    Encoder out(bytes.data() + kMagic.size());
    out.word(kCompanionVersion);
    out = Encoder(bytes.data() + kBodyAt);
    out.word(static_cast<uint32_t>(texts.texts().size()));
    out.word(static_cast<uint32_t>(order.size()));
    for (const std::string* text : texts.texts()) out.text(*text);
    const uint32_t* next_word = words.data();
    for (const NodeFacts* node : order) put_record(out, *node, next_word);
    seal_companion(bytes, binding);
    return true;
}

namespace {

CompanionResult write_failure(std::string_view database_path, const std::string& why) {
    return {CompanionStatus::kWriteFailed,
            "cannot write the MIB facts file " + companion_path(database_path) + ": " + why};
}

}  // namespace

CompanionResult write_companion(const std::string& database_path,
                                const std::vector<NodeFacts>& facts) {
    CompanionResult result;
    CompanionBinding binding;
    if (!bind_database(database_path, binding, result))
        return write_failure(database_path, result.message);
    return write_companion(database_path, facts, binding);
}

CompanionResult write_companion(const std::string& database_path,
                                const std::vector<NodeFacts>& facts,
                                const CompanionBinding& binding) {
    std::string bytes;
    const CompanionResult prepared = prepare_companion(database_path, facts, binding, bytes);
    return prepared.ok() ? place_companion(database_path, bytes) : prepared;
}

CompanionResult prepare_companion(const std::string& database_path,
                                  const std::vector<NodeFacts>& facts,
                                  const CompanionBinding& binding, std::string& bytes) {
    std::string why;
    if (!encode_companion(facts, binding, bytes, why)) return write_failure(database_path, why);
    return {};
}

CompanionResult place_companion(const std::string& database_path, const std::string& bytes) {
    // Beside the target and renamed over it: a failed write keeps the companion that was there.
    const std::string partial = companion_partial_path(database_path);
    errno = 0;
    const int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return write_failure(database_path, system_text(errno));
    int error = 0;
    for (size_t done = 0; error == 0 && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 && errno != 0 ? errno : ENOSPC;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    if (close(fd) != 0 && error == 0) error = errno != 0 ? errno : ENOSPC;
    if (error == 0 && std::rename(partial.c_str(), companion_path(database_path).c_str()) != 0)
        error = errno != 0 ? errno : ENOSPC;
    if (error != 0) {
        std::remove(partial.c_str());
        return write_failure(database_path, system_text(error));
    }
    return {};
}
