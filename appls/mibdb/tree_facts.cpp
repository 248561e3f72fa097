// The companion's facts of a compiled tree, from what the compile knows of its definitions.
#include <algorithm>
#include <unordered_map>

#include "appls/mibdb/mibdb.h"

namespace {

using ModulesByKey = std::unordered_map<std::string, std::vector<std::string>>;

// A node's key: its parent's label and its own, apart by a character no label holds.
std::string key_of(std::string_view parent_label, std::string_view label) {
    std::string key(parent_label);
    key += ' ';
    key += label;
    return key;
}

void add_facts(const MibNode* node, std::vector<uint32_t>& oid, const ModulesByKey& modules,
               std::vector<NodeFacts>& facts) {
    for (; node; node = node->peer) {
        oid.push_back(node->subid);
        const auto found =
            modules.find(key_of(node->parent ? node->parent->label : "", node->label));
        if (found != modules.end()) {
            NodeFacts f;
            f.oid = oid;
            f.modules = found->second;
            facts.push_back(std::move(f));
        }
        add_facts(node->child, oid, modules, facts);
        oid.pop_back();
    }
}

}  // namespace

std::vector<NodeFacts> facts_of_tree(const MibNode* tree,
                                     const std::vector<DefinitionModule>& definitions) {
    ModulesByKey modules;
    for (const DefinitionModule& d : definitions) {
        std::vector<std::string>& list = modules[key_of(d.parent_label, d.label)];
        if (std::find(list.begin(), list.end(), d.module) == list.end()) list.push_back(d.module);
    }
    std::vector<NodeFacts> facts;
    std::vector<uint32_t> oid;
    add_facts(tree, oid, modules, facts);
    // Peers of one sub-identifier under other labels share one record.
    std::stable_sort(facts.begin(), facts.end(),
                     [](const NodeFacts& a, const NodeFacts& b) { return a.oid < b.oid; });
    std::vector<NodeFacts> merged;
    for (NodeFacts& f : facts) {
        if (merged.empty() || merged.back().oid != f.oid) {
            merged.push_back(std::move(f));
            continue;
        }
        for (std::string& module : f.modules) {
            std::vector<std::string>& list = merged.back().modules;
            if (std::find(list.begin(), list.end(), module) == list.end())
                list.push_back(std::move(module));
        }
    }
    return merged;
}
