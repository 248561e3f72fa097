// Which node each label of a parse list names, so that no module's objects move because another
// module defines the same label elsewhere: a reference resolves to its own module's definition,
// then to the one its IMPORTS clause names, then to any (the built-in nodes and modules without
// IMPORTS first). A name(number) arc stands where its value puts it, whatever other modules
// define. Definitions of one label at one place are one node; at different places each place
// gets a key of its own, and the linker matches records by these keys.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "mib/compiler/compiler_internal.h"
#include "mib/compiler/flat_index.h"

namespace {

constexpr int kNone = -1;
constexpr size_t kExpectedRecords = 4096;  // the tables grow beyond
// A key is a label, a label at one of its other places, or an arc without a label. Each key's
// chain is the one its text hashes to, the text being the label, the label with a mark and the
// place's group number, or a mark and the arc's place number (labels never hold the marks).
constexpr int kPlaceKeyMark = 1;
constexpr int kArcKeyMark = 2;

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
    int unresolved;  // the parent label, for a place that stands for one; else kNone
};

// How readily a definition answers a reference that no scope settles.
enum Rank { kBuiltIn, kWithoutImports, kWithImports, kArc };

// One definition of a label: a built-in node or a record that is not an unnamed arc.
struct Definition {
    int label;   // its number in Labels
    int record;  // index into records_, or kNone for a built-in node
    int module;
    Rank rank;
    int place = kNone;
    bool numbered = false;  // an arc that states its number
    int target = kNone;     // an arc that is another definition of its label
    int key = kNone;        // kNone: the label's own key
    int next = kNone;       // the next definition of the same label, by rank
};

// What the resolver reads of a record, taken in one pass so that the large records are visited
// once.
struct Record {
    int parent_label;
    int module;
    RecordKind kind;
    const ParseNode* parent_arc;
    const TextualConvention* convention;
    const RecordFacts* facts;
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
    // Walks the list once, reading what every later step needs.
    Resolver(CompilerState& state, ParseNode* list) : state_(state), modules_(state.modules) {
        labels_ = Labels(kExpectedRecords);
        // The default tree's labels are the first ones, so also the first keys.
        for (const DefaultNode& node : default_tree()) labels_.intern(node.label);
        records_.reserve(kExpectedRecords);
        read_.reserve(kExpectedRecords);
        int label = kNone;
        int parent_label = kNone;
        for (ParseNode* record = list; record; record = record->next) {
            parent_label = parent_label_of(record->parent_label, label, parent_label);
            label = labels_.intern(record->label);
            records_.push_back({record, kNone, kNone, label, record->subid, record->syntax,
                                record->access, record->enums, record->description, false, false});
            read_.push_back({parent_label, record->module, record->kind, record->parent_arc,
                             record->convention, record->facts});
        }
        const size_t count = records_.size();
        const size_t defaults = default_tree().size();
        place_index_ = FlatIndex(count + defaults);
        place_of_record_.assign(count, kNone);
        definition_of_record_.assign(count, kNone);
        waiting_.assign(count, false);
        dependencies_.reserve(count);
        definitions_.reserve(count + defaults);
        places_.reserve(count + defaults + 1);
        places_.push_back({kNone, 0, kNone});  // the root
    }

    LinkKeys run(std::vector<NodeFacts>* facts) {
        // Each label is a key of its own, with the chain its text hashes to.
        keys_.chain_of_key.resize(labels_.size());
        for (size_t label = 0; label < labels_.size(); ++label) {
            keys_.chain_of_key[label] = chain_of_sum(labels_.sum(static_cast<int>(label)));
        }
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
        for (const int label : defined_labels_) key_places(label, first_definition_[label]);
        for (size_t i = 0; i < records_.size(); ++i) key_record(static_cast<int>(i));
        for (size_t i = 0; i < records_.size(); ++i) key_parent(static_cast<int>(i));
        if (facts) collect_facts(*facts);
        return std::move(keys_);
    }

  private:
    CompilerState& state_;
    const std::vector<ModuleInfo>& modules_;
    LinkKeys keys_;
    Labels& labels_ = keys_.labels;
    std::vector<LinkRecord>& records_ = keys_.records;
    std::vector<Record> read_;  // by record, what the linker does not need
    std::vector<int> place_of_record_;
    std::vector<int> definition_of_record_;
    std::vector<Dependency> dependencies_;
    std::vector<bool> waiting_;  // records whose place waits for a parent's
    std::vector<Definition> definitions_;
    // The first definition of each label, by label; the others follow by `next`, by rank, then
    // in stream order.
    std::vector<int> first_definition_;
    std::vector<int> defined_labels_;  // the labels defined, in the order first defined
    std::vector<int> stack_;           // records whose places wait for their parents' places
    std::vector<Place> places_;
    FlatIndex place_index_;                 // places by parent and sub-identifier
    std::vector<int> unresolved_places_;    // the place standing for each parent label, by label
    std::vector<int> definition_at_place_;  // the named node at each place, or kNone
    std::vector<int> arc_keys_;             // the key of the unnamed arcs at each place, or kNone

    // A record's parent label is mostly the one of the record before, or that record's label:
    // those are compared first, as hashing and looking up costs more.
    int parent_label_of(const char* text, int label_before, int parent_before) {
        if (parent_before != kNone && std::strcmp(text, labels_.text(parent_before)) == 0)
            return parent_before;
        if (label_before != kNone && std::strcmp(text, labels_.text(label_before)) == 0)
            return label_before;
        return labels_.intern(text);
    }

    bool valid_module(int module) const {
        return module >= 0 && static_cast<size_t>(module) < modules_.size();
    }

    // The children of a place hash next to each other, as they are mostly looked for together.
    int intern(int parent, uint32_t subid) {
        const uint64_t hash = mix_hash(static_cast<uint32_t>(parent)) + subid;
        const int place = place_index_.find_or_add(
            hash, static_cast<int>(places_.size()),
            [&](int p) { return places_[p].parent == parent && places_[p].subid == subid; });
        if (static_cast<size_t>(place) == places_.size()) places_.push_back({parent, subid, kNone});
        return place;
    }

    int unresolved_place(int label) {
        if (unresolved_places_.empty()) unresolved_places_.assign(labels_.size(), kNone);
        int& place = unresolved_places_[label];
        if (place == kNone) {
            place = static_cast<int>(places_.size());
            places_.push_back({kNone, 0, label});
        }
        return place;
    }

    void collect_definitions() {
        const auto tree = default_tree();
        std::vector<int> default_places;
        for (const DefaultNode& node : tree) {
            const int parent = node.parent >= 0 ? default_places[node.parent] : 0;
            default_places.push_back(intern(parent, node.subid));
            const int label = static_cast<int>(definitions_.size());  // the first labels
            definitions_.push_back({label, kNone, kNoModule, kBuiltIn, default_places.back()});
        }
        for (size_t i = 0; i < records_.size(); ++i) {
            const Record& record = read_[i];
            if (record.kind == RecordKind::UnnamedArc) continue;
            Rank rank = kArc;
            if (record.kind == RecordKind::Definition) {
                rank = valid_module(record.module) && modules_[record.module].has_imports
                           ? kWithImports
                           : kWithoutImports;
            }
            definition_of_record_[i] = static_cast<int>(definitions_.size());
            definitions_.push_back({records_[i].label, static_cast<int>(i), record.module, rank});
            definitions_.back().numbered = record.kind == RecordKind::NamedArc;
        }
        first_definition_.assign(labels_.size(), kNone);
        for (size_t d = 0; d < definitions_.size(); ++d) {
            const int label = definitions_[d].label;
            int* link = &first_definition_[label];
            if (*link == kNone) {
                *link = static_cast<int>(d);
                defined_labels_.push_back(label);
                continue;
            }
            // After the last of a rank not above its own: stream order within a rank.
            const Rank rank = definitions_[d].rank;
            while (*link != kNone && definitions_[*link].rank <= rank) {
                link = &definitions_[*link].next;
            }
            definitions_[d].next = *link;
            *link = static_cast<int>(d);
        }
    }

    // The definition `label` names in `module`: its own, else the one its IMPORTS names
    // (followed through further imports); kNone when neither. `first` is the label's first
    // definition; arcs count unless `real_only`.
    int scoped(int label, int first, int module, bool real_only) const {
        if (first == kNone) return kNone;
        for (int depth = 0; valid_module(module) && depth < kImportDepth; ++depth) {
            for (int d = first; d != kNone; d = definitions_[d].next) {
                const Definition& definition = definitions_[d];
                if (definition.module == module && !(real_only && definition.rank == kArc))
                    return d;
            }
            const auto& imports = modules_[module].imports;
            const auto from = imports.find(labels_.view(label));
            if (from == imports.end()) break;
            const int next = module_named(state_, from->second);
            if (next == module) break;
            module = next;
        }
        return kNone;
    }

    // A reference: scoped, else the first definition anywhere.
    int reference(int label, int module) const {
        const int first = first_definition_[label];
        const int d = scoped(label, first, module, false);
        return d != kNone ? d : first;
    }

    // A bare label after a label states no number: it is the definition its module sees (its
    // own, an imported, a built-in one or one of a module without IMPORTS), where that stands.
    int label_arc_target(const Definition& arc) const {
        const int first = first_definition_[arc.label];
        const int d = scoped(arc.label, first, arc.module, true);
        if (d != kNone) return d;
        return definitions_[first].rank <= kWithoutImports ? first : kNone;
    }

    // A name(number) arc states its parent and number: it stands there, and a definition of its
    // label elsewhere never moves it. At the place of a definition of that label it is that
    // definition (it links nothing); when the definition its module sees (its own, an imported
    // or a built-in one) stands elsewhere, that is told and the arc defines a node of its own.
    int arc_target(const Definition& arc) const {
        const int first = first_definition_[arc.label];
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
            catalogue_message(MibMessage::ArcAwayFromDefinition, labels_.text(arc.label),
                              static_cast<int>(records_[arc.record].subid), module_text(arc),
                              place_text(arc.place), place_text(seen.place));
        std::fflush(stdout);
        std::fputs(text.c_str(), state_.diagnostics);
    }

    // The index of the arc record that record `i` hangs under: the record before it, as a value
    // makes its records in order.
    int index_of_arc(size_t i) const {
        const ParseNode* arc = read_[i].parent_arc;
        for (size_t j = i; j-- > 0;) {
            if (records_[j].record == arc) return static_cast<int>(j);
        }
        return kNone;
    }

    // What the place of record `i` is computed from.
    Dependency dependency(size_t i) const {
        const Record& record = read_[i];
        const int self = definition_of_record_[i];
        int d = kNone;
        if (self != kNone && definitions_[self].target != kNone) {
            d = definitions_[self].target;  // a bare label: where its definition stands
        } else if (record.parent_arc) {
            return {index_of_arc(i), kNone, kNone};
        } else if (record.kind == RecordKind::UnnamedArc &&
                   labels_.view(record.parent_label).empty()) {
            return {kNone, 0, kNone};  // a leading number: an arc of the root
        } else {
            d = reference(record.parent_label, record.module);
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
            if (parent == kNone) parent = unresolved_place(read_[i].parent_label);
            const int self = definition_of_record_[i];
            const bool names_other = self != kNone && definitions_[self].target != kNone;
            place_of_record_[i] = names_other ? parent : intern(parent, records_[i].subid);
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
    bool oid_of_label(std::string_view label, int module, std::vector<uint32_t>& oid) const {
        const int id = labels_.find(label);
        if (id == kNone) return false;
        const int d = reference(id, module);
        return d != kNone && oid_of_place(definitions_[d].place, oid);
    }

    // A row's INDEX and AUGMENTS by OID, where `f` has none yet; an INDEX with an object that
    // resolves nowhere is left out whole, as a part of it would decode instances wrongly.
    void row_facts(const RecordFacts& facts, int module, NodeFacts& f) const {
        if (f.index.empty() && !facts.index.empty()) {
            std::vector<uint32_t> oid;
            for (const std::string& label : facts.index) {
                if (!oid_of_label(label, module, oid)) {
                    f.index.clear();
                    break;
                }
                f.index.push_back(oid);
            }
            f.implied = facts.implied && !f.index.empty();
        }
        if (f.augments.empty() && !facts.augments.empty())
            oid_of_label(facts.augments, module, f.augments);
    }

    // The facts of the definitions at one place, in stream order: the modules of each, and the
    // first one's other facts, the later ones filling what it lacks.
    void facts_at(int first, const std::vector<int>& next, NodeFacts& f) const {
        for (int i = first; i != kNone; i = next[i]) {
            const Record& record = read_[i];
            const int module = record.module;
            // A text without a module header stands in a module of no name.
            if (valid_module(module) && !modules_[module].name.empty()) {
                const std::string& name = modules_[module].name;
                if (std::find(f.modules.begin(), f.modules.end(), name) == f.modules.end())
                    f.modules.push_back(name);
            }
            convention_facts(state_, record.convention, record.facts, f);
            if (record.facts) row_facts(*record.facts, module, f);
        }
    }

    // One record for each place under the root that definitions stand at, in OID order: a
    // walk of the places with each one's children by sub-identifier meets them in that order.
    void collect_facts(std::vector<NodeFacts>& out) const {
        out.clear();
        const size_t count = places_.size();
        std::vector<int> first(count, kNone);
        std::vector<int> next(records_.size(), kNone);
        for (size_t i = records_.size(); i-- > 0;) {
            if (read_[i].kind != RecordKind::Definition) continue;
            int& at = first[place_of_record_[i]];
            next[i] = at;
            at = static_cast<int>(i);
        }
        std::vector<uint32_t> start(count + 1, 0);
        for (size_t p = 1; p < count; ++p) {
            if (places_[p].parent != kNone) ++start[places_[p].parent + 1];
        }
        for (size_t p = 0; p < count; ++p) start[p + 1] += start[p];
        std::vector<uint32_t> children(start[count]);
        std::vector<uint32_t> fill(start.begin(), start.end() - 1);
        for (size_t p = 1; p < count; ++p) {
            if (places_[p].parent != kNone) children[fill[places_[p].parent]++] = p;
        }
        for (size_t p = 0; p < count; ++p) {
            std::sort(children.begin() + start[p], children.begin() + start[p + 1],
                      [&](uint32_t a, uint32_t b) { return places_[a].subid < places_[b].subid; });
        }
        out.reserve(records_.size());
        struct Step {
            uint32_t at;
            uint32_t end;
        };
        std::vector<Step> stack{{start[0], start[1]}};
        std::vector<uint32_t> oid;
        while (!stack.empty()) {
            Step& step = stack.back();
            if (step.at == step.end) {
                stack.pop_back();
                continue;
            }
            const uint32_t place = children[step.at++];
            oid.resize(stack.size() - 1);
            oid.push_back(places_[place].subid);
            if (first[place] != kNone) {
                NodeFacts& f = out.emplace_back();
                facts_at(first[place], next, f);
                if (f.modules.empty() && f.syntax.empty() && f.hint.empty() && f.sizes.empty() &&
                    f.index.empty() && f.augments.empty()) {
                    out.pop_back();
                } else {
                    f.oid = oid;
                }
            }
            if (oid.size() < kCompanionMaxOidLength && start[place] != start[place + 1])
                stack.push_back({start[place], start[place + 1]});
        }
    }

    int new_key(int sum) {
        keys_.chain_of_key.push_back(chain_of_sum(sum));
        return static_cast<int>(keys_.chain_of_key.size() - 1);
    }

    // The label's definitions, grouped by place: the first place keeps the label as its key,
    // the others get keys of their own and one warning.
    void key_places(int label, int first) {
        const int first_place = definitions_[first].place;
        int d = definitions_[first].next;
        while (d != kNone && definitions_[d].place == first_place) d = definitions_[d].next;
        if (d == kNone) return;  // one place: the label is the key
        std::vector<int> places;
        std::vector<int> group_keys;  // the key of each place after the first
        const int sum = labels_.sum(label);
        for (d = first; d != kNone; d = definitions_[d].next) {
            const int place = definitions_[d].place;
            auto at = std::find(places.begin(), places.end(), place);
            if (at == places.end()) at = places.insert(places.end(), place);
            const size_t group = static_cast<size_t>(at - places.begin());
            if (group > 0) {
                if (group_keys.size() < group)
                    group_keys.push_back(new_key(sum + kPlaceKeyMark + digit_sum(group)));
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
        std::string text = place != kNone && places_[place].unresolved != kNone
                               ? labels_.text(places_[place].unresolved)
                               : "";
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
    void warn_places(int label, int first, const std::vector<int>& places) const {
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
        const std::string line = catalogue_message(MibMessage::LabelAtPlaces, labels_.text(label),
                                                   static_cast<int>(places.size()), text.c_str());
        std::fflush(stdout);
        std::fputs(line.c_str(), state_.diagnostics);
    }

    int key_of_definition(int d) const {
        const Definition& definition = definitions_[d];
        if (definition.target != kNone) return key_of_definition(definition.target);
        return definition.key != kNone ? definition.key : definition.label;
    }

    // The record's own key, and whether it links nothing: a named arc that names another
    // definition, or an unnamed arc at the place of a named node (or at the root, where nothing
    // can be linked).
    void key_record(int i) {
        int32_t& key = records_[i].key;
        const int self = definition_of_record_[i];
        if (self != kNone) {
            const Definition& definition = definitions_[self];
            records_[i].dropped = definition.target != kNone;
            key = definition.key != kNone ? definition.key : records_[i].label;
            return;
        }
        const int place = place_of_record_[i];
        if (definition_at_place_[place] != kNone) {
            records_[i].dropped = true;
            key = kNone;
            return;
        }
        records_[i].dropped = places_[place].parent == 0;
        if (arc_keys_.empty()) arc_keys_.assign(places_.size(), kNone);
        int& arc_key = arc_keys_[place];
        if (arc_key == kNone)
            arc_key = new_key(kArcKeyMark + digit_sum(static_cast<size_t>(place)));
        key = arc_key;
    }

    // The key of the node that record `i` stands for.
    int node_key(int i) const {
        const int self = definition_of_record_[i];
        if (self != kNone) return key_of_definition(self);
        const int named = definition_at_place_[place_of_record_[i]];
        if (named != kNone) return key_of_definition(named);
        return records_[i].key;
    }

    void key_parent(int i) {
        if (records_[i].dropped) return;
        const Dependency& on = dependencies_[i];
        // Nothing defines the parent: the record stays a left-over under its parent label.
        if (on.record == kNone && on.definition == kNone) {
            records_[i].parent_key = read_[i].parent_label;
            return;
        }
        records_[i].parent_key =
            on.record != kNone ? node_key(on.record) : key_of_definition(on.definition);
    }
};

}  // namespace

LinkKeys resolve_link_keys(CompilerState& state, ParseNode* list, std::vector<NodeFacts>* facts) {
    return Resolver(state, list).run(facts);
}
