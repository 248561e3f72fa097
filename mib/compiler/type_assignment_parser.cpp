#include <algorithm>
#include <cstring>
#include <span>

#include "mib/compiler/compiler_internal.h"
#include "mib/compiler/flat_index.h"

namespace {

// Skips a TEXTUAL-CONVENTION's clauses up to SYNTAX, keeping its DISPLAY-HINT in `hint`; a
// DESCRIPTION must have its text.
bool skip_to_syntax(CompilerState& state, char* text, std::string& hint) {
    for (;;) {
        int32_t token = next_token_past_text(state, text);
        if (token == LABEL && std::strcmp(text, "DISPLAY-HINT") == 0) {
            token = next_token(state, text);
            if (token == QUOTED_TEXT) {
                char* quoted = read_quoted_text(state);
                if (!quoted) token = END_OF_INPUT;
                if (quoted) hint = quoted;
                std::free(quoted);
            }
        }
        if (token == SYNTAX) return true;
        if (token == END_OF_INPUT) {
            report_message(state, MibMessage::ExpectedSyntaxInConvention, nullptr, token);
            return false;
        }
        if (token == DESCRIPTION) {
            char* quoted = read_clause_text(state);
            if (!quoted) return false;
            std::free(quoted);
        }
    }
}

bool skip_sequence(CompilerState& state, char* text) {
    for (;;) {
        const int32_t token = next_token(state, text);
        if (token == RIGHT_BRACE) return true;
        if (token == END_OF_INPUT) {
            report_message(state, MibMessage::ExpectedCloseBrace, nullptr, token);
            return false;
        }
    }
}

// The convention a name stands for in `from`: its own, else the one its IMPORTS names
// (followed through further imports), else the first of that name. One pass over the slots of
// that name: each is ranked by where its module stands in that chain of modules.
const TextualConvention* find_textual_convention(CompilerState& state, const char* name, int from) {
    int chain[kImportDepth];
    int length = 0;
    for (int module = from; module != kNoModule && length < kImportDepth;) {
        chain[length++] = module;
        const auto& imports = state.modules[static_cast<size_t>(module)].imports;
        const auto from = imports.find(std::string_view(name));
        if (from == imports.end()) break;
        const int next = module_named(state, from->second);
        if (next == module) break;
        module = next;
    }
    const TextualConvention* best = nullptr;
    int best_rank = length;  // a match outside the chain ranks last
    const auto named = state.convention_slots.find(std::string_view(name));
    if (named == state.convention_slots.end()) return nullptr;
    for (const int at : named->second) {
        if (static_cast<size_t>(at) >= state.conventions_taken) break;
        const TextualConvention& slot = state.conventions[at];
        if (std::strcmp(slot.name, name) != 0) continue;  // a slot taken again since
        int rank = 0;
        while (rank < length && chain[rank] != slot.module) ++rank;
        if (!best || rank < best_rank) {
            best = &slot;
            best_rank = rank;
        }
        if (rank == 0) break;
    }
    return best;
}

int32_t count_enums(const EnumEntry* list) {
    int32_t count = 0;
    for (; list; list = list->next) ++count;
    return count;
}

bool same_enums(const EnumEntry* a, const EnumEntry* b) {
    for (; a && b; a = a->next, b = b->next) {
        if (a->value != b->value || std::strcmp(a->label, b->label) != 0) return false;
    }
    return !a && !b;
}

// `*list` with its first `*copied` entries (those copied from a convention) replaced by a copy of
// `from`; the entries listed after them stay.
void recopy_enums(EnumEntry** list, int32_t* copied, const EnumEntry* from) {
    EnumEntry** own = list;
    for (int32_t i = 0; i < *copied && *own; ++i) own = &(*own)->next;
    EnumEntry* listed = *own;
    *own = nullptr;
    release_enum_list(*list);
    *list = copy_enum_list(from);
    *copied = count_enums(*list);
    EnumEntry** end = list;
    while (*end) end = &(*end)->next;
    *end = listed;
}

// What names found from which modules, once the conventions no longer change: records of one
// module mostly name the same few conventions.
class FoundConventions {
  public:
    explicit FoundConventions(CompilerState& state) : state_(state) {}

    const TextualConvention* find(const char* name, int module) {
        const std::string_view text(name);
        const uint64_t hash = text_hash(text) ^ mix_hash(static_cast<uint32_t>(module));
        const int at = index_.find_or_add(hash, static_cast<int>(found_.size()), [&](int known) {
            return found_[known].module == module && found_[known].name == text;
        });
        if (static_cast<size_t>(at) == found_.size())
            found_.push_back({text, module, find_textual_convention(state_, name, module)});
        return found_[at].slot;
    }

  private:
    struct Found {
        std::string_view name;  // held by the record that first asked
        int module;
        const TextualConvention* slot;
    };
    CompilerState& state_;
    FlatIndex index_;
    std::vector<Found> found_;
};

// Conventions defined as others, as their modules see them once the whole stream is read; a
// chain of them settles in as many rounds as it is long (a cycle stops at the bound).
void rebase_conventions(CompilerState& state) {
    for (int round = 0; round < kImportDepth; ++round) {
        bool changed = false;
        for (auto& slot : std::span(state.conventions.get(), kTextualConventions)) {
            if (slot.syntax == 0) break;
            if (!slot.base_name[0]) continue;
            const TextualConvention* base =
                find_textual_convention(state, slot.base_name, slot.module);
            if (!base || base == &slot) continue;
            if (base == slot.base && !base->rebased) continue;
            EnumEntry* enums = copy_enum_list(slot.enums);
            int32_t copied = slot.copied_enums;
            recopy_enums(&enums, &copied, base->enums);
            const bool same = base->syntax == slot.syntax && same_enums(enums, slot.enums);
            slot.base = base;
            if (same) {
                release_enum_list(enums);
                continue;
            }
            release_enum_list(slot.enums);
            slot.enums = enums;
            slot.copied_enums = copied;
            slot.syntax = base->syntax;
            slot.rebased = changed = true;
        }
        if (!changed) return;
    }
}

}  // namespace

void clear_textual_conventions(CompilerState& state) {
    state.convention_records.clear();
    state.convention_facts.clear();
    state.convention_slots.clear();
    // Only the slots taken and the one after them (which an assignment that failed may have
    // filled) have ever been written.
    const size_t written = std::min(state.conventions_taken + 1, size_t{kTextualConventions});
    state.conventions_taken = 0;
    for (auto& slot : std::span(state.conventions.get(), written)) {
        release_enum_list(slot.enums);
        slot.enums = nullptr;
        slot.syntax = 0;
        slot.name[0] = '\0';
        slot.module = kNoModule;
        slot.base_name[0] = '\0';
        slot.base = nullptr;
        slot.copied_enums = 0;
        slot.rebased = false;
    }
}

int32_t lookup_textual_convention(CompilerState& state, const char* name, EnumEntry** enums) {
    const TextualConvention* slot = find_textual_convention(state, name, state.current_module);
    if (!slot) return LABEL;
    *enums = copy_enum_list(slot->enums);
    return slot->syntax;
}

void read_syntax_convention(CompilerState& state, ParseNode* node, const char* name) {
    // A second SYNTAX of the same record names another convention in its place.
    auto& records = state.convention_records;
    if (node->convention_record == 0 || records[node->convention_record - 1].name.empty()) {
        records.push_back({node, {}});
        node->convention_record = static_cast<int32_t>(records.size());
    }
    records[node->convention_record - 1].name.assign(name, strnlen(name, kTokenSize - 1));
    node->convention = find_textual_convention(state, name, state.current_module);
    node->syntax = node->convention ? node->convention->syntax : LABEL;
    if (node->convention) {
        node->enums = copy_enum_list(node->convention->enums);
        node->copied_enums = count_enums(node->enums);
    }
}

// Visiting only the records that name a convention spares a walk of the whole list.
void settle_syntax_conventions(CompilerState& state, ParseNode* /*list*/) {
    rebase_conventions(state);
    FoundConventions found(state);
    for (const auto& record : state.convention_records) {
        ParseNode* node = record.node;
        const std::string& name = state.convention_records[node->convention_record - 1].name;
        if (name.empty()) continue;
        const TextualConvention* slot = found.find(name.c_str(), node->module);
        if (slot && slot == node->convention && !slot->rebased) continue;
        if (!slot) {
            if (state.sequence_types.count(std::string_view(name))) continue;
            const bool in_module =
                node->module >= 0 && static_cast<size_t>(node->module) < state.modules.size();
            const std::string text = catalogue_message(
                MibMessage::ConventionDefinedNowhere, name.c_str(), node->label,
                in_module ? state.modules[static_cast<size_t>(node->module)].name.c_str()
                          : "no module");
            std::fflush(stdout);
            std::fputs(text.c_str(), state.diagnostics);
            continue;
        }
        recopy_enums(&node->enums, &node->copied_enums, slot->enums);
        node->syntax = slot->syntax;
        node->convention = slot;
    }
    state.convention_records.clear();  // the list is the caller's from here
}

int parse_type_assignment(CompilerState& state, const char* name, int32_t* token, char* text) {
    int32_t syntax = next_token(state, text);
    if (syntax == SEQUENCE) {
        state.sequence_types.emplace(name, 0);
        if (!skip_sequence(state, text)) return 0;
        *token = next_token(state, text);
        return 1;
    }
    std::string hint;
    if (syntax == LABEL && std::strcmp(text, "TEXTUAL-CONVENTION") == 0) {
        if (!skip_to_syntax(state, text, hint)) return 0;
        syntax = next_token(state, text);
    }
    TextualConvention* slot = state.conventions_taken < kTextualConventions
                                  ? &state.conventions[state.conventions_taken]
                                  : nullptr;
    if (!slot) {
        report_message(state, MibMessage::NoMoreTextualConventions, text, syntax);
        return 0;
    }
    // A slot left by a failed assignment may still hold enumerations.
    release_enum_list(slot->enums);
    slot->enums = nullptr;
    std::strncpy(slot->name, name, sizeof slot->name - 1);
    slot->name[sizeof slot->name - 1] = '\0';
    std::vector<int>& same_name = state.convention_slots[slot->name];
    const int at = static_cast<int>(state.conventions_taken);
    if (same_name.empty() || same_name.back() != at) same_name.push_back(at);
    slot->module = state.current_module;
    slot->base_name[0] = '\0';
    slot->base = nullptr;
    slot->copied_enums = 0;
    slot->rebased = false;
    ConventionFacts& facts = made_facts_of_convention(state, slot);
    facts.hint = std::move(hint);
    facts.sizes.clear();
    EnumEntry* enums = nullptr;
    if (!(syntax & kBaseSyntaxBit)) {
        slot->base = find_textual_convention(state, text, slot->module);
        if (!slot->base) {
            report_message(state, MibMessage::UnmappedTextualConvention, text, syntax);
            return 0;
        }
        std::memcpy(slot->base_name, text, sizeof slot->base_name);
        syntax = slot->base->syntax;
        enums = copy_enum_list(slot->base->enums);
        slot->copied_enums = count_enums(enums);
    }
    *token = next_token(state, text);
    if (*token == LEFT_PAREN) {
        std::vector<std::string> words;
        if (!skip_constraint(state, &words)) {
            release_enum_list(enums);
            report_message(state, MibMessage::ExpectedCloseParen, nullptr, END_OF_INPUT);
            return 0;
        }
        size_ranges(words, facts.sizes);
        *token = next_token(state, text);
    } else if (*token == LEFT_BRACE) {
        if (!read_enum_list(state, &enums)) {
            release_enum_list(enums);
            return 0;
        }
        *token = next_token(state, text);
    }
    slot->enums = enums;
    slot->syntax = syntax;
    if (syntax != 0) ++state.conventions_taken;
    return 1;
}
