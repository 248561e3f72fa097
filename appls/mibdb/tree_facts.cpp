// The companion's facts of a compiled tree: those of the compile that are about its nodes.
#include "appls/mibdb/mibdb.h"

namespace {

bool in_tree(const MibNode* top, const std::vector<uint32_t>& oid) {
    const MibNode* level = top;
    for (size_t i = 0; i < oid.size(); ++i) {
        while (level && level->subid != oid[i]) level = level->peer;
        if (!level) return false;
        if (i + 1 < oid.size()) level = level->child;
    }
    return !oid.empty();
}

}  // namespace

std::vector<NodeFacts> facts_of_tree(const MibNode* tree, std::vector<NodeFacts> facts) {
    size_t kept = 0;
    for (NodeFacts& f : facts) {
        if (!in_tree(tree, f.oid)) continue;
        if (&facts[kept] != &f) facts[kept] = std::move(f);
        ++kept;
    }
    facts.resize(kept);
    return facts;
}
