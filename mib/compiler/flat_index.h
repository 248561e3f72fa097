// An index of the numbers 0, 1, ... by 64-bit hashes, in one flat table probed linearly: no
// allocation per entry and no pointer to chase. A slot keeps the low half of its hash, which
// picks the slot and turns most other entries away. What the numbers stand for is the caller's;
// it tells an equal entry from a mere equal hash.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

class FlatIndex {
  public:
    static constexpr int kAbsent = -1;

    explicit FlatIndex(size_t expected = 0) { rebuild(capacity_for(expected)); }

    // The number whose entry `same` accepts among those of `hash`; kAbsent when none.
    template <class Same>
    int find(uint64_t hash, Same same) const {
        const uint32_t low = static_cast<uint32_t>(hash);
        for (size_t at = low & mask_;; at = (at + 1) & mask_) {
            const Slot& slot = slots_[at];
            if (slot.number == kAbsent) return kAbsent;
            if (slot.low == low && same(slot.number)) return slot.number;
        }
    }

    // The same, adding `number` under `hash` when none is found.
    template <class Same>
    int find_or_add(uint64_t hash, int number, Same same) {
        if (2 * (count_ + 1) > slots_.size()) rebuild(2 * slots_.size());
        const uint32_t low = static_cast<uint32_t>(hash);
        size_t at = low & mask_;
        for (;; at = (at + 1) & mask_) {
            const Slot& slot = slots_[at];
            if (slot.number == kAbsent) break;
            if (slot.low == low && same(slot.number)) return slot.number;
        }
        slots_[at] = {low, number};
        ++count_;
        return number;
    }

  private:
    struct Slot {
        uint32_t low = 0;
        int number = kAbsent;
    };

    static size_t capacity_for(size_t expected) {
        size_t capacity = 16;  // at most 2^32 slots: the low half of a hash picks one
        while (capacity < 2 * expected) capacity *= 2;
        return capacity;
    }

    void rebuild(size_t capacity) {
        std::vector<Slot> old(capacity);
        old.swap(slots_);
        mask_ = capacity - 1;
        for (const Slot& slot : old) {
            if (slot.number == kAbsent) continue;
            size_t at = slot.low & mask_;
            while (slots_[at].number != kAbsent) at = (at + 1) & mask_;
            slots_[at] = slot;
        }
    }

    std::vector<Slot> slots_;
    size_t mask_ = 0;
    size_t count_ = 0;
};

// Hashes of the keys a FlatIndex is used with: every bit of the key reaches the low bits that
// pick the slot.
inline uint64_t mix_hash(uint64_t value) {
    value ^= value >> 31;
    value *= 0x7fb5d329728ea185ull;
    value ^= value >> 27;
    value *= 0x81dadef4bc2dd44dull;
    return value ^ (value >> 33);
}

// A text eight bytes at a time; the last eight bytes of a longer text are read as one word,
// over some read before.
inline uint64_t text_hash(std::string_view text) {
    const size_t size = text.size();
    uint64_t hash = size;
    uint64_t word = 0;
    if (size < 8) {
        for (size_t at = 0; at < size; ++at)
            word |= uint64_t{static_cast<uint8_t>(text[at])} << (8 * at);
        return mix_hash(hash ^ word);
    }
    for (size_t at = 0; at + 8 < size; at += 8) {
        std::memcpy(&word, text.data() + at, 8);
        hash = (hash ^ word) * 0x9e3779b97f4a7c15ull;
        hash ^= hash >> 32;
    }
    std::memcpy(&word, text.data() + size - 8, 8);
    return mix_hash(hash ^ word);
}
