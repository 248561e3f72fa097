// Which node each label of a parse list names, so that no module's objects move because another
// module defines the same label elsewhere: a reference resolves to its own module's definition,
// then to the one its IMPORTS clause names, then to any (the built-in nodes and modules without
// IMPORTS first). A name(number) arc stands where its value puts it, whatever other modules
// define. Definitions of one label at one place are one node; at different places each place
// gets a key of its own, and the linker matches records by these keys.
#include <algorithm>
#include <cstring>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mib/compiler/compiler_internal.h"

namespace {

constexpr int kNone = -1;
constexpr size_t kArenaBytes = 64 * 1024;  // grows by itself when a list needs more
// A key is a label, a label at one of its other places, or an arc without a label. Each key's
// chain is the one its text hashes to, the text being the label, the label with a mark and the
// place's group number, or a mark and the arc's place number (labels never hold the marks).
constexpr int kPlaceKeyMark = 1;
constexpr int kArcKeyMark = 2;

int text_sum(std::string_view text) {
    int sum = 0;
    for (const char c : text) sum += static_cast<signed char>(c);
    return sum;
}

int digit_sum(size_t number) {
    int sum = 0;
    do {
        sum += '0' + static_cast<int>(number % 10);
        number /= 10;
    } while (number > 0);
    return sum;
}

int chain_of_sum(int sum) {
    return sum & (kPendingChains - 1);
}

// Where a node stands: a sub-identifier under a parent place; a place without a parent is the
// root (above iso) or stands for a parent label that nothing defines.
struct Place {
    int parent;
    uint32_t subid;
    const char* unresolved;  // the parent label, for a place that stands for one
};

// How readily a definition answers a reference that no scope settles.
enum Rank { kBuiltIn, kWithoutImports, kWithImports, kArc };

// One definition of a label: a built-in node or a record that is not an unnamed arc.
struct Definition {
    const char* label;
    int record;  // index into records_, or kNone for a built-in node
    int module;
    Rank rank;
    int place = kNone;
    bool numbered = false;  // an arc that states its number
    int target = kNone;     // an arc that is another definition of its label
    int key = kNone;        // kNone: the label's own key
    int next = kNone;       // the next definition of the same label, by rank
};

// What a record's place depends on: another record, or a place known already; and the
// definition it names there, if any.
struct Dependency {
    int record = kNone;
    int place = kNone;
    int definition = kNone;
};

class Resolver {
  public:
    Resolver(CompilerState& state, ParseNode* list)
        : state_(state),
          modules_(state.modules),
          by_label_(&arena_),
          place_index_(&arena_),
          unresolved_places_(&arena_),
          label_keys_(&arena_) {
        for (ParseNode* record = list; record; record = record->next) records_.push_back(record);
        place_of_record_.assign(records_.size(), kNone);
        definition_of_record_.assign(records_.size(), kNone);
        waiting_.assign(records_.size(), false);
        dependencies_.reserve(records_.size());
        definitions_.reserve(records_.size() + default_tree().size());
        by_label_.reserve(records_.size() + default_tree().size());
        places_.reserve(records_.size() + default_tree().size() + 1);
        place_index_.reserve(records_.size() + default_tree().size());
        places_.push_back({kNone, 0, ""});  // the root
    }

    LinkKeys run(std::vector<NodeFacts>* facts) {
        for (const DefaultNode& node : default_tree()) label_key(node.label);
        collect_definitions();
        for (Definition& definition : definitions_) {
            if (definition.rank == kArc && !definition.numbered)
                definition.target = label_arc_target(definition);
        }
        for (size_t i = 0; i < records_.size(); ++i) dependencies_.push_back(dependency(i));
        for (size_t i = 0; i < records_.size(); ++i) place_record(static_cast<int>(i));
        for (Definition& definition : definitions_) {
            if (definition.record != kNone) definition.place = place_of_record_[definition.record];
        }
        for (Definition& definition : definitions_) {
            if (definition.rank == kArc && definition.numbered)
                definition.target = arc_target(definition);
        }
        index_places();
        for (const auto& [label, first] : labels_) key_places(label, *first);
        for (size_t i = 0; i < records_.size(); ++i) key_record(static_cast<int>(i));
        for (size_t i = 0; i < records_.size(); ++i) key_parent(static_cast<int>(i));
        if (facts) collect_facts(*facts);
        return std::move(keys_);
    }

  private:
    // The tables below make one entry per record; they take their memory from here at once.
    std::pmr::monotonic_buffer_resource arena_{kArenaBytes};
    CompilerState& state_;
    const std::vector<ModuleInfo>& modules_;
    std::vector<ParseNode*> records_;
    std::vector<int> place_of_record_;
    std::vector<int> definition_of_record_;
    std::vector<Dependency> dependencies_;
    std::vector<bool> waiting_;  // records whose place waits for a parent's
    std::vector<Definition> definitions_;
    // The first definition of each label; the others follow by `next`, by rank, then in stream
    // order.
    std::pmr::unordered_map<std::string_view, int> by_label_;
    // Each label with where its first definition is kept, in the order they were first defined.
    std::vector<std::pair<std::string_view, const int*>> labels_;
    std::vector<int> stack_;  // records whose places wait for their parents' places
    std::vector<Place> places_;
    std::pmr::unordered_map<uint64_t, int> place_index_;
    std::pmr::unordered_map<std::string_view, int> unresolved_places_;
    std::vector<int> definition_at_place_;  // the named node at each place, or kNone
    std::pmr::unordered_map<std::string_view, int> label_keys_;
    std::vector<int> arc_keys_;  // the key of the unnamed arcs at each place, or kNone
    LinkKeys keys_;

    bool valid_module(int module) const {
        return module >= 0 && static_cast<size_t>(module) < modules_.size();
    }

    int intern(int parent, uint32_t subid) {
        const uint64_t key = static_cast<uint64_t>(static_cast<uint32_t>(parent)) << 32 | subid;
        const auto [found, added] = place_index_.emplace(key, static_cast<int>(places_.size()));
        if (added) places_.push_back({parent, subid, ""});
        return found->second;
    }

    int unresolved_place(const char* label) {
        const auto [found, added] =
            unresolved_places_.emplace(label, static_cast<int>(places_.size()));
        if (added) places_.push_back({kNone, 0, label});
        return found->second;
    }

    void collect_definitions() {
        const auto tree = default_tree();
        std::vector<int> default_places;
        for (const DefaultNode& node : tree) {
            const int parent = node.parent >= 0 ? default_places[node.parent] : 0;
            default_places.push_back(intern(parent, node.subid));
            definitions_.push_back({node.label, kNone, kNoModule, kBuiltIn, default_places.back()});
        }
        for (size_t i = 0; i < records_.size(); ++i) {
            const ParseNode* record = records_[i];
            if (record->kind == RecordKind::UnnamedArc) continue;
            Rank rank = kArc;
            if (record->kind == RecordKind::Definition) {
                rank = valid_module(record->module) && modules_[record->module].has_imports
                           ? kWithImports
                           : kWithoutImports;
            }
            definition_of_record_[i] = static_cast<int>(definitions_.size());
            definitions_.push_back({record->label, static_cast<int>(i), record->module, rank});
            definitions_.back().numbered = record->kind == RecordKind::NamedArc;
        }
        for (size_t d = 0; d < definitions_.size(); ++d) {
            const auto [first, added] =
                by_label_.emplace(definitions_[d].label, static_cast<int>(d));
            if (added) {
                labels_.emplace_back(definitions_[d].label, &first->second);
                continue;
            }
            // After the last of a rank not above its own: stream order within a rank.
            const Rank rank = definitions_[d].rank;
            int* link = &first->second;
            while (*link != kNone && definitions_[*link].rank <= rank) {
                link = &definitions_[*link].next;
            }
            definitions_[d].next = *link;
            *link = static_cast<int>(d);
        }
    }

    // The first definition of `label`, or kNone.
    int first_definition(std::string_view label) const {
        const auto found = by_label_.find(label);
        return found == by_label_.end() ? kNone : found->second;
    }

    // The definition `label` names in `module`: its own, else the one its IMPORTS names
    // (followed through further imports); kNone when neither. `first` is the label's first
    // definition; arcs count unless `real_only`.
    int scoped(std::string_view label, int first, int module, bool real_only) const {
        if (first == kNone) return kNone;
        for (int depth = 0; valid_module(module) && depth < kImportDepth; ++depth) {
            for (int d = first; d != kNone; d = definitions_[d].next) {
                const Definition& definition = definitions_[d];
                if (definition.module == module && !(real_only && definition.rank == kArc))
                    return d;
            }
            const auto& imports = modules_[module].imports;
            const auto from = imports.find(label);
            if (from == imports.end()) break;
            const int next = module_named(state_, from->second);
            if (next == module) break;
            module = next;
        }
        return kNone;
    }

    // A reference: scoped, else the first definition anywhere.
    int reference(const char* label, int module) const {
        const int first = first_definition(label);
        const int d = scoped(label, first, module, false);
        return d != kNone ? d : first;
    }

    // A bare label after a label states no number: it is the definition its module sees (its
    // own, an imported, a built-in one or one of a module without IMPORTS), where that stands.
    int label_arc_target(const Definition& arc) const {
        const int first = first_definition(arc.label);
        const int d = scoped(arc.label, first, arc.module, true);
        if (d != kNone) return d;
        return definitions_[first].rank <= kWithoutImports ? first : kNone;
    }

    // A name(number) arc states its parent and number: it stands there, and a definition of its
    // label elsewhere never moves it. At the place of a definition of that label it is that
    // definition (it links nothing); when the definition its module sees (its own, an imported
    // or a built-in one) stands elsewhere, that is told and the arc defines a node of its own.
    int arc_target(const Definition& arc) const {
        const int first = first_definition(arc.label);
        for (int d = first; d != kNone; d = definitions_[d].next) {
            if (definitions_[d].rank != kArc && definitions_[d].place == arc.place) return d;
        }
        int seen = scoped(arc.label, first, arc.module, true);
        if (seen == kNone && definitions_[first].rank == kBuiltIn) seen = first;
        if (seen != kNone) warn_arc_elsewhere(arc, definitions_[seen]);
        return kNone;
    }

    void warn_arc_elsewhere(const Definition& arc, const Definition& seen) const {
        const std::string text =
            catalogue_message(MibMessage::ArcAwayFromDefinition, arc.label,
                              static_cast<int>(records_[arc.record]->subid), module_text(arc),
                              place_text(arc.place), place_text(seen.place));
        std::fflush(stdout);
        std::fputs(text.c_str(), state_.diagnostics);
    }

    // The index of the arc record that record `i` hangs under: the record before it, as a value
    // makes its records in order.
    int index_of_arc(size_t i) const {
        const ParseNode* arc = records_[i]->parent_arc;
        for (size_t j = i; j-- > 0;) {
            if (records_[j] == arc) return static_cast<int>(j);
        }
        return kNone;
    }

    // What the place of record `i` is computed from.
    Dependency dependency(size_t i) const {
        const ParseNode* record = records_[i];
        const int self = definition_of_record_[i];
        int d = kNone;
        if (self != kNone && definitions_[self].target != kNone) {
            d = definitions_[self].target;  // a bare label: where its definition stands
        } else if (record->parent_arc) {
            return {index_of_arc(i), kNone, kNone};
        } else if (record->kind == RecordKind::UnnamedArc && !record->parent_label[0]) {
            return {kNone, 0, kNone};  // a leading number: an arc of the root
        } else {
            d = reference(record->parent_label, record->module);
            if (d == kNone) return {kNone, kNone, kNone};  // nothing defines the parent
        }
        const Definition& definition = definitions_[d];
        return {definition.record, definition.record == kNone ? definition.place : kNone, d};
    }

    // The place of record `i` and of every record it depends on, without recursion: a chain of
    // parents may be as long as the list. A cycle of parents counts as unresolved.
    void place_record(int start) {
        std::vector<int>& stack = stack_;
        stack.assign(1, start);
        while (!stack.empty()) {
            const int i = stack.back();
            if (place_of_record_[i] != kNone) {
                stack.pop_back();
                continue;
            }
            const Dependency& on = dependencies_[i];
            int parent = on.place;
            if (on.record != kNone) {
                parent = place_of_record_[on.record];
                if (parent == kNone && !waiting_[on.record]) {
                    waiting_[i] = true;
                    stack.push_back(on.record);
                    continue;
                }
            }
            if (parent == kNone) parent = unresolved_place(records_[i]->parent_label);
            const int self = definition_of_record_[i];
            const bool names_other = self != kNone && definitions_[self].target != kNone;
            place_of_record_[i] = names_other ? parent : intern(parent, records_[i]->subid);
            waiting_[i] = false;
            stack.pop_back();
        }
    }

    // The named node at each place: built-in nodes first, then definitions in stream order,
    // then arcs.
    void index_places() {
        definition_at_place_.assign(places_.size(), kNone);
        for (const bool arcs : {false, true}) {
            for (size_t d = 0; d < definitions_.size(); ++d) {
                const Definition& definition = definitions_[d];
                if ((definition.rank == kArc) != arcs || definition.target != kNone) continue;
                int& at = definition_at_place_[definition.place];
                if (at == kNone) at = static_cast<int>(d);
            }
        }
    }

    // The OID of a place under the root; false for a place under an unresolved parent.
    bool oid_of_place(int place, std::vector<uint32_t>& oid) const {
        size_t length = 0;
        int top = place;
        for (; top != kNone && places_[top].parent != kNone; top = places_[top].parent) ++length;
        if (top != 0 || length == 0 || length > kCompanionMaxOidLength) return false;
        oid.resize(length);
        for (; length > 0; place = places_[place].parent) oid[--length] = places_[place].subid;
        return true;
    }

    // The OID of the node `label` names as `module` sees it.
    bool oid_of_label(const std::string& label, int module, std::vector<uint32_t>& oid) const {
        const int d = reference(label.c_str(), module);
        return d != kNone && oid_of_place(definitions_[d].place, oid);
    }

    // A row's INDEX and AUGMENTS by OID; an INDEX with an object that resolves nowhere is left
    // out whole, as a part of it would decode instances wrongly.
    void row_facts(const ParseNode* record, NodeFacts& f) const {
        const RecordFacts& facts = *record->facts;
        std::vector<uint32_t> oid;
        for (const std::string& label : facts.index) {
            if (!oid_of_label(label, record->module, oid)) {
                f.index.clear();
                break;
            }
            f.index.push_back(oid);
        }
        f.implied = facts.implied && !f.index.empty();
        if (!facts.augments.empty() && oid_of_label(facts.augments, record->module, oid))
            f.augments = oid;
    }

    void collect_facts(std::vector<NodeFacts>& out) const {
        out.clear();
        out.reserve(records_.size());
        for (size_t i = 0; i < records_.size(); ++i) {
            const ParseNode* record = records_[i];
            if (record->kind != RecordKind::Definition) continue;
            NodeFacts f;
            if (!oid_of_place(place_of_record_[i], f.oid)) continue;
            // A text without a module header stands in a module of no name.
            if (valid_module(record->module) && !modules_[record->module].name.empty())
                f.modules.push_back(modules_[record->module].name);
            convention_facts(state_, record, f);
            if (record->facts) row_facts(record, f);
            if (f.modules.empty() && f.syntax.empty() && f.hint.empty() && f.sizes.empty() &&
                f.index.empty() && f.augments.empty())
                continue;
            out.push_back(std::move(f));
        }
        merge_facts(out);
    }

    // One record per OID: the modules of every definition there, in stream order, and the
    // first definition's other facts, the later ones filling what it lacks.
    static void merge_facts(std::vector<NodeFacts>& facts) {
        // Sorted by position, so that no record moves but once.
        std::vector<uint32_t> order(facts.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<uint32_t>(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return facts[a].oid < facts[b].oid; });
        std::vector<NodeFacts> merged;
        merged.reserve(facts.size());
        for (const uint32_t i : order) {
            NodeFacts& from = facts[i];
            if (merged.empty() || merged.back().oid != from.oid) {
                merged.push_back(std::move(from));
                continue;
            }
            NodeFacts& into = merged.back();
            for (std::string& module : from.modules) {
                if (std::find(into.modules.begin(), into.modules.end(), module) ==
                    into.modules.end())
                    into.modules.push_back(std::move(module));
            }
            if (into.syntax.empty()) into.syntax = std::move(from.syntax);
            if (into.hint.empty()) into.hint = std::move(from.hint);
            if (into.sizes.empty()) into.sizes = std::move(from.sizes);
            if (into.index.empty()) {
                into.index = std::move(from.index);
                into.implied = from.implied;
            }
            if (into.augments.empty()) into.augments = std::move(from.augments);
        }
        facts = std::move(merged);
    }

    int new_key(int sum) {
        keys_.chain_of_key.push_back(chain_of_sum(sum));
        return static_cast<int>(keys_.chain_of_key.size() - 1);
    }

    int label_key(std::string_view label) {
        const auto [found, added] =
            label_keys_.emplace(label, static_cast<int>(keys_.chain_of_key.size()));
        if (added) keys_.chain_of_key.push_back(chain_of_sum(text_sum(label)));
        return found->second;
    }

    // The label's definitions, grouped by place: the first place keeps the label as its key,
    // the others get keys of their own and one warning.
    void key_places(std::string_view label, int first) {
        const int first_place = definitions_[first].place;
        int d = definitions_[first].next;
        while (d != kNone && definitions_[d].place == first_place) d = definitions_[d].next;
        if (d == kNone) return;  // one place: the label is the key
        std::vector<int> places;
        std::vector<int> group_keys;  // the key of each place after the first
        for (d = first; d != kNone; d = definitions_[d].next) {
            const int place = definitions_[d].place;
            auto at = std::find(places.begin(), places.end(), place);
            if (at == places.end()) at = places.insert(places.end(), place);
            const size_t group = static_cast<size_t>(at - places.begin());
            if (group > 0) {
                if (group_keys.size() < group) {
                    group_keys.push_back(
                        new_key(text_sum(label) + kPlaceKeyMark + digit_sum(group)));
                }
                definitions_[d].key = group_keys[group - 1];
            }
        }
        warn_places(label, first, places);
    }

    std::string place_text(int place) const {
        std::vector<uint32_t> subids;
        for (; place != kNone && places_[place].parent != kNone; place = places_[place].parent) {
            subids.push_back(places_[place].subid);
        }
        std::string text = place != kNone ? places_[place].unresolved : "";
        for (auto subid = subids.rbegin(); subid != subids.rend(); ++subid) {
            if (!text.empty()) text += '.';
            text += std::to_string(*subid);
        }
        return text;
    }

    std::string module_text(const Definition& definition) const {
        if (definition.record == kNone) return "built in";
        if (!valid_module(definition.module)) return "outside a module";
        return modules_[definition.module].name;
    }

    // One line for a label defined at several places, with each place and its modules. Two
    // places under one parent are left to the linker, which refuses them.
    void warn_places(std::string_view label, int first, const std::vector<int>& places) const {
        const int parent = places_[places.front()].parent;
        if (std::all_of(places.begin(), places.end(),
                        [&](int place) { return places_[place].parent == parent; })) {
            return;
        }
        std::string text;
        for (size_t group = 0; group < places.size(); ++group) {
            if (group > 0) text += group + 1 == places.size() ? " and " : ", ";
            text += place_text(places[group]) + " (";
            std::vector<std::string> modules;
            for (int d = first; d != kNone; d = definitions_[d].next) {
                const Definition& definition = definitions_[d];
                if (definition.place != places[group] || definition.target != kNone) continue;
                std::string name = module_text(definition);
                if (std::find(modules.begin(), modules.end(), name) != modules.end()) continue;
                text += (modules.empty() ? "" : ", ") + name;
                modules.push_back(std::move(name));
            }
            text += ")";
        }
        const std::string line =
            catalogue_message(MibMessage::LabelAtPlaces, std::string(label).c_str(),
                              static_cast<int>(places.size()), text.c_str());
        std::fflush(stdout);
        std::fputs(line.c_str(), state_.diagnostics);
    }

    int key_of_definition(int d) {
        const Definition& definition = definitions_[d];
        if (definition.target != kNone) return key_of_definition(definition.target);
        return definition.key != kNone ? definition.key : label_key(definition.label);
    }

    // The record's own key, and whether it links nothing: a named arc that names another
    // definition, or an unnamed arc at the place of a named node (or at the root, where nothing
    // can be linked).
    void key_record(int i) {
        ParseNode* record = records_[i];
        const int self = definition_of_record_[i];
        if (self != kNone) {
            const Definition& definition = definitions_[self];
            record->dropped = definition.target != kNone;
            record->key_id = definition.key != kNone ? definition.key : label_key(record->label);
            return;
        }
        const int place = place_of_record_[i];
        if (definition_at_place_[place] != kNone) {
            record->dropped = true;
            record->key_id = kNone;
            return;
        }
        record->dropped = places_[place].parent == 0;
        if (arc_keys_.empty()) arc_keys_.assign(places_.size(), kNone);
        int& key = arc_keys_[place];
        if (key == kNone) key = new_key(kArcKeyMark + digit_sum(static_cast<size_t>(place)));
        record->key_id = key;
    }

    // The key of the node that record `i` stands for.
    int node_key(int i) {
        const int self = definition_of_record_[i];
        if (self != kNone) return key_of_definition(self);
        const int named = definition_at_place_[place_of_record_[i]];
        if (named != kNone) return key_of_definition(named);
        return records_[i]->key_id;
    }

    void key_parent(int i) {
        ParseNode* record = records_[i];
        if (record->dropped) return;
        const Dependency& on = dependencies_[i];
        // Nothing defines the parent: the record stays a left-over under its parent label.
        if (on.record == kNone && on.definition == kNone) {
            record->parent_key_id = label_key(record->parent_label);
            return;
        }
        record->parent_key_id =
            on.record != kNone ? node_key(on.record) : key_of_definition(on.definition);
    }
};

}  // namespace

LinkKeys resolve_link_keys(CompilerState& state, ParseNode* list, std::vector<NodeFacts>* facts) {
    return Resolver(state, list).run(facts);
}
