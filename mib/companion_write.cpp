// The companion's writer: the facts in OID order with their texts gathered once, sealed with the
// binding and the body's digest, written beside the target and renamed over it.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "mib/companion.h"
#include "mib/companion_format.h"

using namespace companion_format;

static_assert(kBodyAt == kCompanionHeaderSize);

namespace {

void put32(std::string& out, uint32_t v) {
    const char bytes[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(bytes, 4);
}

void put64_at(std::string& out, size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i) out[at + i] = static_cast<char>(v >> (56 - 8 * i));
}

bool fits(size_t n) {
    return n <= 0xFFFFFFFFu;
}

// The texts in the order the records first name them, and each text's word (0: empty). The
// texts stay where the facts hold them.
class TextTable {
  public:
    uint32_t word_for(const std::string& text) {
        if (text.empty()) return 0;
        auto [at, added] = words_.try_emplace(text, static_cast<uint32_t>(texts_.size() + 1));
        if (added) texts_.push_back(&text);
        return at->second;
    }
    const std::vector<const std::string*>& texts() const { return texts_; }

  private:
    std::unordered_map<std::string_view, uint32_t> words_;
    std::vector<const std::string*> texts_;
};

void put_oid(std::string& out, const std::vector<uint32_t>& oid) {
    put32(out, static_cast<uint32_t>(oid.size()));
    for (uint32_t subid : oid) put32(out, subid);
}

void put_text(std::string& out, const std::string& text) {
    put32(out, static_cast<uint32_t>(text.size()));
    out += text;
    out.append(padding_for(text.size()), kPadding);
}

// Why the reader would refuse `node`; empty when it would not.
std::string refusal(const NodeFacts& node) {
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
    return {};
}

void put_record(std::string& out, const NodeFacts& node, TextTable& texts) {
    put_oid(out, node.oid);
    put32(out, static_cast<uint32_t>(node.modules.size()));
    for (const std::string& module : node.modules) put32(out, texts.word_for(module));
    put32(out, texts.word_for(node.syntax));
    put32(out, texts.word_for(node.hint));
    put32(out, static_cast<uint32_t>(node.sizes.size()));
    for (const SizeRange& range : node.sizes) {
        put32(out, range.min);
        put32(out, range.max);
    }
    put32(out, node.implied ? 1 : 0);
    put32(out, static_cast<uint32_t>(node.index.size()));
    for (const auto& object : node.index) put_oid(out, object);
    put_oid(out, node.augments);
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
    std::vector<const NodeFacts*> order;
    order.reserve(facts.size());
    for (const NodeFacts& node : facts) {
        why = refusal(node);
        if (!why.empty()) return false;
        order.push_back(&node);
    }
    const auto by_oid = [](const NodeFacts* a, const NodeFacts* b) { return a->oid < b->oid; };
    if (!std::is_sorted(order.begin(), order.end(), by_oid))
        std::sort(order.begin(), order.end(), by_oid);
    for (size_t i = 1; i < order.size(); ++i) {
        if (order[i - 1]->oid == order[i]->oid) {
            why = "an object identifier given twice";
            return false;
        }
    }
    TextTable texts;
    std::string records;
    records.reserve(order.size() * 64);
    for (const NodeFacts* node : order) put_record(records, *node, texts);
    bytes.assign(kMagic);
    put32(bytes, kCompanionVersion);
    bytes.append(kBodyAt - bytes.size(), '\0');
    put32(bytes, static_cast<uint32_t>(texts.texts().size()));
    put32(bytes, static_cast<uint32_t>(order.size()));
    for (const std::string* text : texts.texts()) put_text(bytes, *text);
    bytes += records;
    seal_companion(bytes, binding);
    return true;
}

CompanionResult write_companion(const std::string& database_path,
                                const std::vector<NodeFacts>& facts) {
    const std::string path = companion_path(database_path);
    const auto failed = [&](const std::string& why) {
        return CompanionResult{CompanionStatus::kWriteFailed,
                               "cannot write the MIB facts file " + path + ": " + why};
    };
    CompanionResult result;
    CompanionBinding binding;
    if (!bind_database(database_path, binding, result)) return failed(result.message);
    std::string bytes;
    std::string why;
    if (!encode_companion(facts, binding, bytes, why)) return failed(why);
    // Beside the target and renamed over it: a failed write keeps the companion that was there.
    const std::string partial = companion_partial_path(database_path);
    errno = 0;
    FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) return failed(system_text(errno));
    errno = 0;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int error = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && std::rename(partial.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        std::remove(partial.c_str());
        return failed(system_text(error != 0 ? error : ENOSPC));
    }
    return {};
}
