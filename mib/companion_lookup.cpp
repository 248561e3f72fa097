// A loaded companion's facts: built from the checked bytes when asked for, found by OID or by
// module and label through the database's tree; and the companion loaded on first need.
#include <algorithm>

#include "mib/companion.h"
#include "mib/companion_format.h"

using companion_format::load32;

namespace {

// Whether a node reached from the top-level list `level` by `oid` has `label`. A tree may hold
// peers of one sub-identifier under other labels: each is tried.
bool labelled_at(const MibNode* level, std::span<const uint32_t> oid, std::string_view label) {
    for (const MibNode* node = level; node; node = node->peer) {
        if (node->subid != oid.front()) continue;
        if (oid.size() == 1 ? label == node->label
                            : labelled_at(node->child, oid.subspan(1), label))
            return true;
    }
    return false;
}

}  // namespace

std::optional<uint32_t> NodeFacts::fixed_size() const {
    if (sizes.size() == 1 && sizes[0].min == sizes[0].max) return sizes[0].min;
    return std::nullopt;
}

uint32_t Companion::word(size_t at) const {
    return load32(reinterpret_cast<const unsigned char*>(bytes_.data()) + at);
}

std::string Companion::text(uint32_t word) const {
    if (word == 0) return {};
    const Text& t = texts_[word - 1];
    return bytes_.substr(t.at, t.length);
}

int Companion::compare_oid(size_t i, std::span<const uint32_t> oid) const {
    const size_t at = records_[i];
    const uint32_t length = word(at);
    for (size_t k = 0; k < length && k < oid.size(); ++k) {
        const uint32_t subid = word(at + 4 + 4 * k);
        if (subid != oid[k]) return subid < oid[k] ? -1 : 1;
    }
    return length < oid.size() ? -1 : length > oid.size() ? 1 : 0;
}

NodeFacts Companion::at(size_t i) const {
    size_t at = records_[i];
    const auto next = [&] {
        const uint32_t w = word(at);
        at += 4;
        return w;
    };
    const auto next_oid = [&] {
        std::vector<uint32_t> oid(next());
        for (uint32_t& subid : oid) subid = next();
        return oid;
    };
    NodeFacts facts;
    facts.oid = next_oid();
    facts.modules.resize(next());
    for (std::string& module : facts.modules) module = text(next());
    facts.syntax = text(next());
    facts.hint = text(next());
    facts.sizes.resize(next());
    for (SizeRange& range : facts.sizes) {
        range.min = next();
        range.max = next();
    }
    facts.implied = next() == 1;
    facts.index.resize(next());
    for (auto& object : facts.index) object = next_oid();
    facts.augments = next_oid();
    return facts;
}

std::vector<NodeFacts> Companion::all() const {
    std::vector<NodeFacts> facts;
    facts.reserve(size());
    for (size_t i = 0; i < size(); ++i) facts.push_back(at(i));
    return facts;
}

std::optional<NodeFacts> Companion::find(std::span<const uint32_t> oid) const {
    size_t low = 0;
    size_t high = size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        const int order = compare_oid(middle, oid);
        if (order == 0) return at(middle);
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return std::nullopt;
}

std::optional<NodeFacts> Companion::find_in_module(const MibNode* tree, std::string_view module,
                                                   std::string_view label) const {
    uint32_t module_word = 0;
    for (size_t k = 0; k < texts_.size() && module_word == 0; ++k) {
        if (std::string_view(bytes_).substr(texts_[k].at, texts_[k].length) == module)
            module_word = static_cast<uint32_t>(k + 1);
    }
    if (module_word == 0) return std::nullopt;
    std::vector<uint32_t> oid;
    for (size_t i = 0; i < size(); ++i) {
        const size_t start = records_[i];
        const uint32_t length = word(start);
        const size_t modules_at = start + 4 + 4 * size_t{length};
        bool defines = false;
        for (uint32_t k = 0; k < word(modules_at) && !defines; ++k)
            defines = word(modules_at + 4 + 4 * size_t{k}) == module_word;
        if (!defines) continue;
        oid.resize(length);
        for (uint32_t k = 0; k < length; ++k) oid[k] = word(start + 4 + 4 * size_t{k});
        if (labelled_at(tree, oid, label)) return at(i);
    }
    return std::nullopt;
}

const Companion* LazyCompanion::get() {
    if (!tried_) {
        tried_ = true;
        companion_ = read_companion(database_path_, result_);
    }
    return companion_.get();
}

std::string LazyCompanion::failure_message() {
    if (!tried_ || result_.ok() || reported_) return {};
    reported_ = true;
    return result_.message;
}
