// What definitions say of rows and strings beyond the tree: INDEX, AUGMENTS, SIZE and the hint
// of a syntax's textual convention.
#include <cerrno>
#include <cstdlib>

#include "mib/compiler/compiler_internal.h"

namespace {

// The words of a clause's braces: labels apart by white space, commas and braces.
std::vector<std::string_view> words_of(std::string_view body) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < body.size()) {
        const char c = body[at];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == '{' || c == '}') {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < body.size() && body[end] != ' ' && body[end] != '\t' && body[end] != '\n' &&
               body[end] != '\r' && body[end] != ',' && body[end] != '{' && body[end] != '}') {
            ++end;
        }
        words.push_back(body.substr(at, end - at));
        at = end;
    }
    return words;
}

bool is_label(std::string_view word) {
    return word.size() < kTokenSize && is_identifier_label(std::string(word).c_str());
}

bool to_bound(const std::string& word, uint32_t& value) {
    if (word.empty() || word.size() > 10 || word.find_first_not_of("0123456789") != word.npos)
        return false;
    const unsigned long long n = std::strtoull(word.c_str(), nullptr, 10);
    if (n > UINT32_MAX) return false;
    value = static_cast<uint32_t>(n);
    return true;
}

}  // namespace

RecordFacts& record_facts(ParseNode* node) {
    if (!node->facts) node->facts = new RecordFacts();
    return *node->facts;
}

bool size_ranges(const std::vector<std::string>& words, std::vector<SizeRange>& ranges) {
    ranges.clear();
    // SIZE ( range { | range } ) )
    if (words.size() < 5 || words[0] != "SIZE" || words[1] != "(") return false;
    size_t at = 2;
    for (;;) {
        SizeRange range;
        if (at >= words.size() || !to_bound(words[at++], range.min)) return false;
        range.max = range.min;
        if (at < words.size() && words[at] == "..") {
            if (++at >= words.size() || !to_bound(words[at++], range.max)) return false;
            if (range.max < range.min) return false;
        }
        ranges.push_back(range);
        if (at < words.size() && words[at] == "|") {
            ++at;
            continue;
        }
        break;
    }
    if (at + 2 == words.size() && words[at] == ")" && words[at + 1] == ")") return true;
    ranges.clear();
    return false;
}

bool index_labels(std::string_view body, RecordFacts& facts) {
    facts.index.clear();
    facts.implied = false;
    const std::vector<std::string_view> words = words_of(body);
    for (size_t i = 0; i < words.size(); ++i) {
        // Only the last object of an INDEX may be IMPLIED.
        if (words[i] == "IMPLIED" && i + 2 == words.size()) {
            facts.implied = true;
            continue;
        }
        if (!is_label(words[i])) {
            facts.index.clear();
            facts.implied = false;
            return false;
        }
        facts.index.emplace_back(words[i]);
    }
    if (facts.index.empty()) facts.implied = false;
    return !facts.index.empty();
}

std::string augments_label(std::string_view body) {
    const std::vector<std::string_view> words = words_of(body);
    if (words.size() != 1 || !is_label(words[0])) return "";
    return std::string(words[0]);
}

const ConventionFacts* facts_of_convention(CompilerState& state, const TextualConvention* slot) {
    const size_t at = static_cast<size_t>(slot - state.conventions.get());
    return at < state.convention_facts.size() ? &state.convention_facts[at] : nullptr;
}

ConventionFacts& made_facts_of_convention(CompilerState& state, const TextualConvention* slot) {
    const size_t at = static_cast<size_t>(slot - state.conventions.get());
    if (at >= state.convention_facts.size()) state.convention_facts.resize(at + 1);
    return state.convention_facts[at];
}

void convention_facts(CompilerState& state, const TextualConvention* convention,
                      const RecordFacts* own_facts, NodeFacts& facts) {
    bool sized = !facts.sizes.empty();
    if (!sized && own_facts && !own_facts->sizes.empty()) {
        facts.sizes = own_facts->sizes;
        sized = true;
    }
    if (!convention) return;
    if (facts.syntax.empty()) facts.syntax = convention->name;
    // A chain of conventions ends at a base syntax; the bound stops a cycle.
    for (int depth = 0; convention && depth < kTextualConventions; ++depth) {
        if (!facts.hint.empty() && sized) break;
        const ConventionFacts* own = facts_of_convention(state, convention);
        if (own && facts.hint.empty()) facts.hint = own->hint;
        if (own && !sized && !own->sizes.empty()) {
            facts.sizes = own->sizes;
            sized = true;
        }
        convention = convention->base;
    }
}
