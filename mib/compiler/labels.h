// The labels of a parse list, each once: a label is hashed once, then named by its number. The
// texts are copied together, so that what is read of them later is read from one place rather
// than from the records all over the heap.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mib/compiler/flat_index.h"

class Labels {
  public:
    explicit Labels(size_t expected = 0) : index_(expected) {
        starts_.reserve(expected + 1);
        sums_.reserve(expected);
        starts_.push_back(0);
    }

    // The number of `text`, given it when new.
    int intern(std::string_view text) {
        const int id = index_.find_or_add(text_hash(text), static_cast<int>(size()),
                                          [&](int known) { return view(known) == text; });
        if (static_cast<size_t>(id) == size()) {
            texts_.append(text);
            texts_.push_back('\0');
            starts_.push_back(static_cast<uint32_t>(texts_.size()));
            int sum = 0;
            for (const char c : text) sum += static_cast<signed char>(c);
            sums_.push_back(sum);
        }
        return id;
    }

    // The number of `text`, or FlatIndex::kAbsent.
    int find(std::string_view text) const {
        return index_.find(text_hash(text), [&](int known) { return view(known) == text; });
    }

    size_t size() const { return sums_.size(); }
    // The text of a label: valid until the next label is added.
    const char* text(int id) const { return texts_.data() + starts_[id]; }
    std::string_view view(int id) const {
        return {text(id), starts_[static_cast<size_t>(id) + 1] - starts_[id] - 1};
    }
    int sum(int id) const { return sums_[id]; }  // the sum of its characters, as signed chars

  private:
    FlatIndex index_;
    std::string texts_;             // each text and its NUL
    std::vector<uint32_t> starts_;  // where each text starts, and where the last one ends
    std::vector<int> sums_;
};
