// The companion's facts of a compiled tree: those of the compile that are about its nodes.
#include <algorithm>

#include "appls/mibdb/mibdb.h"

namespace {

// Finds OIDs in the tree one after another. Children stand in sub-identifier order, so when
// OIDs come in increasing order, each level's search goes on from where the last one stopped.
class TreeFinder {
  public:
    explicit TreeFinder(const MibNode* top) : top_(top) {}

    bool holds(const std::vector<uint32_t>& oid) {
        size_t common = 0;
        while (common < path_.size() && common < oid.size() && last_[common] == oid[common])
            ++common;
        // Past the shared part, a level whose last match had a smaller number goes on from it.
        const MibNode* resume = nullptr;
        if (common < path_.size() && common < oid.size() && last_[common] < oid[common])
            resume = path_[common];
        path_.resize(common);
        last_.assign(oid.begin(), oid.begin() + static_cast<std::ptrdiff_t>(common));
        const MibNode* level = resume ? resume : common == 0 ? top_ : path_[common - 1]->child;
        for (size_t i = common; i < oid.size(); ++i) {
            if (i > common) level = path_[i - 1]->child;
            while (level && level->subid != oid[i]) level = level->peer;
            if (!level) return false;
            path_.push_back(level);
            last_.push_back(oid[i]);
        }
        return !oid.empty();
    }

  private:
    const MibNode* top_;
    std::vector<const MibNode*> path_;  // the nodes of the last OID found, as far as found
    std::vector<uint32_t> last_;        // their sub-identifiers
};

}  // namespace

std::vector<NodeFacts> facts_of_tree(const MibNode* tree, std::vector<NodeFacts> facts) {
    TreeFinder finder(tree);
    size_t kept = 0;
    for (NodeFacts& f : facts) {
        if (!finder.holds(f.oid)) continue;
        if (&facts[kept] != &f) facts[kept] = std::move(f);
        ++kept;
    }
    facts.resize(kept);
    return facts;
}
