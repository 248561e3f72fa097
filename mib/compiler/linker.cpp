#include <algorithm>
#include <cstring>
#include <vector>

#include "mib/compiler/compiler_internal.h"

namespace {

struct SyntaxType {
    int32_t token;
    int32_t type;
};

constexpr SyntaxType kSyntaxTypes[] = {
    {OBJECT_IDENTIFIER, MIB_TYPE_OBJECT_ID},
    {OBJECT_IDENTITY, MIB_TYPE_OBJECT_ID},
    {OCTET_STRING, MIB_TYPE_OCTET_STRING},
    {INTEGER, MIB_TYPE_INTEGER},
    {INTEGER32, MIB_TYPE_INTEGER},
    {NETWORK_ADDRESS, MIB_TYPE_IP_ADDRESS},
    {IP_ADDRESS, MIB_TYPE_IP_ADDRESS},
    {COUNTER, MIB_TYPE_COUNTER},
    {GAUGE, MIB_TYPE_GAUGE},
    {TIME_TICKS, MIB_TYPE_TIME_TICKS},
    {OPAQUE, MIB_TYPE_OPAQUE},
    {NUL, MIB_TYPE_NULL},
    {COUNTER64, MIB_TYPE_COUNTER64},
    {BITS, MIB_TYPE_BIT_STRING},
    {NSAP_ADDRESS, MIB_TYPE_NSAP_ADDRESS},
    {UINTEGER32, MIB_TYPE_UINTEGER},
    {COUNTER32, MIB_TYPE_COUNTER32},
    {GAUGE32, MIB_TYPE_GAUGE32},
    {UNSIGNED32, MIB_TYPE_GAUGE32},
};

constexpr DefaultNode kDefaultTree[] = {
    {"iso", 1, -1},        {"org", 3, 0},          {"dod", 6, 1},          {"internet", 1, 2},
    {"directory", 1, 3},   {"mgmt", 2, 3},         {"experimental", 3, 3}, {"private", 4, 3},
    {"enterprises", 1, 7}, {"security", 5, 3},     {"snmpV2", 6, 3},       {"snmpDomains", 1, 10},
    {"snmpProxys", 2, 10}, {"snmpModules", 3, 10},
};
constexpr int kDefaultNodes = sizeof kDefaultTree / sizeof kDefaultTree[0];
// Children first, then the peers after them, then the node itself.
constexpr int kDefaultLinkOrder[kDefaultNodes] = {8, 13, 12, 11, 10, 9, 7, 6, 5, 4, 3, 2, 1, 0};

constexpr int kNoNode = -1;

// A node of the tree being built, as the linker looks at it: its label's number, its
// sub-identifier, and its children in the tree's order (by node number). Kept together, a
// node's children are compared without visiting the tree's nodes.
struct Linked {
    MibNode* node;
    int32_t label;
    uint32_t subid;
    int first_child = kNoNode;
    int next_peer = kNoNode;
};

// The records wait for their parents in kPendingChains chains, chosen by a hash of the parent's
// key. Which records a parent takes, and in what order left-overs are told, depend on those
// chains: a take stops at a record of the parent's own key in the same chain. Rather than scan a
// chain on every take, each key has the list of the records its take looks at, in chain order.
struct Linker {
    Linker(CompilerState& compile, LinkKeys& link_keys)
        : state(compile), records(link_keys.records), keys(link_keys) {
        nodes.reserve(records.size() + kDefaultNodes);
    }

    CompilerState& state;
    std::vector<LinkRecord>& records;  // in list order; dropped ones link nothing
    const LinkKeys& keys;
    int32_t types[kSyntaxCodes] = {};
    bool error = false;
    std::vector<bool> taken;  // by record
    // By key: the records its take looks at, from watch[watch_start[id]] to the next key's.
    std::vector<uint32_t> watch_start;
    std::vector<uint32_t> watch;
    std::vector<Linked> nodes;  // the tree built so far, by node number
    // The records taken and not linked yet: each frame of link_node has a range at the end.
    std::vector<uint32_t> work;
};

MibNode* make_node(const char* label, uint32_t subid, MibNode* parent) {
    MibNode* node = new_mib_node();
    if (!node) out_of_memory();
    const size_t length = std::min(std::strlen(label), sizeof node->label - 1);
    std::memcpy(node->label, label, length);  // the node is zero-filled: the text ends there
    node->subid = subid;
    node->parent = parent;
    return node;
}

// Numbers `node`, hung under node number `parent` after its child number `before` (kNoNode: first;
// `parent` kNoNode: the root) as the tree has it.
int add_node(Linker& linker, MibNode* node, int32_t label, int parent, int before) {
    const int number = static_cast<int>(linker.nodes.size());
    linker.nodes.push_back({node, label, node->subid});
    if (parent == kNoNode) return number;
    int& link =
        before != kNoNode ? linker.nodes[before].next_peer : linker.nodes[parent].first_child;
    linker.nodes[number].next_peer = link;
    link = number;
    return number;
}

// The records waiting for the node of key `id` as their parent, in chain order, at the end of
// the work list.
void take_children(Linker& linker, int32_t id) {
    const size_t end = linker.watch_start[static_cast<size_t>(id) + 1];
    for (size_t at = linker.watch_start[static_cast<size_t>(id)]; at < end; ++at) {
        const uint32_t r = linker.watch[at];
        if (linker.taken[r]) continue;
        if (linker.records[r].key == id) break;
        linker.taken[r] = true;
        linker.work.push_back(r);
    }
}

// Each record in the list of its parent's key, and in that of its own key when that hashes to
// the same chain; chains hold the latest record first.
void watch_records(Linker& linker) {
    const std::vector<LinkRecord>& records = linker.records;
    const std::vector<int32_t>& chain_of_key = linker.keys.chain_of_key;
    const size_t count = records.size();
    const size_t key_count = chain_of_key.size();
    auto also_own = [&](const LinkRecord& record) {
        return record.key != record.parent_key &&
               chain_of_key[static_cast<size_t>(record.key)] ==
                   chain_of_key[static_cast<size_t>(record.parent_key)];
    };
    std::vector<uint32_t> fill(key_count + 1, 0);
    for (const LinkRecord& record : records) {
        if (record.dropped) continue;
        ++fill[static_cast<size_t>(record.parent_key) + 1];
        if (also_own(record)) ++fill[static_cast<size_t>(record.key) + 1];
    }
    for (size_t k = 0; k < key_count; ++k) fill[k + 1] += fill[k];
    linker.watch_start = fill;
    linker.watch.resize(fill[key_count]);
    for (size_t r = count; r-- > 0;) {
        const LinkRecord& record = records[r];
        if (record.dropped) continue;
        linker.watch[fill[static_cast<size_t>(record.parent_key)]++] = static_cast<uint32_t>(r);
        if (also_own(record))
            linker.watch[fill[static_cast<size_t>(record.key)]++] = static_cast<uint32_t>(r);
    }
    linker.taken.assign(count, false);
}

// Hangs record `r` under node number `parent` in sub-identifier order; the new node's number,
// or kNoNode when it adds nothing.
int add_child(Linker& linker, int parent, uint32_t r) {
    LinkRecord& record = linker.records[r];
    const int32_t label = record.label;
    const uint32_t subid = record.subid;
    int before = kNoNode;
    for (int c = linker.nodes[parent].first_child; c != kNoNode; c = linker.nodes[c].next_peer) {
        const Linked& child = linker.nodes[c];
        if (child.label == label) {
            if (child.subid != subid) {
                CompilerState& state = linker.state;
                const std::string message = catalogue_message(
                    MibMessage::DuplicateChildLabel, linker.nodes[parent].node->label,
                    linker.keys.labels.text(label), static_cast<int>(subid), child.node->label,
                    static_cast<int>(child.subid));
                append_compile_message(state, state.messages, state.message_limit, message.c_str());
                linker.error = true;
            }
            return kNoNode;
        }
        if (child.subid <= subid) before = c;
    }
    MibNode* parent_node = linker.nodes[parent].node;
    MibNode* node = make_node(linker.keys.labels.text(label), subid, parent_node);
    const int32_t syntax = record.syntax;
    node->type = syntax >= 0 && syntax < kSyntaxCodes ? linker.types[syntax] : MIB_TYPE_OTHER;
    node->access = record.access;
    node->enums = record.enums;
    node->description = record.description;
    record.linked = true;
    if (before != kNoNode) {
        MibNode* after = linker.nodes[before].node;
        node->peer = after->peer;
        after->peer = node;
    } else {
        node->peer = parent_node->child;
        parent_node->child = node;
    }
    return add_node(linker, node, label, parent, before);
}

// Links everything that waits for node number `top` (of key `top_id`), depth first: each new
// node's subtree is complete before the next record of its parent is taken. The stack follows
// the depth of the tree.
void link_node(Linker& linker, int top, int32_t top_id) {
    struct Frame {
        int node;
        size_t begin;  // its records in the work list, from begin to end
        size_t next;
        size_t end;
    };
    std::vector<uint32_t>& work = linker.work;
    work.clear();
    take_children(linker, top_id);
    std::vector<Frame> stack{{top, 0, 0, work.size()}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.end) {
            work.resize(frame.begin);
            stack.pop_back();
            continue;
        }
        const uint32_t r = work[frame.next++];
        const int created = add_child(linker, frame.node, r);
        if (created == kNoNode) continue;
        // A node is matched by its record's key (its label, as long as a record's).
        const size_t begin = work.size();
        take_children(linker, linker.records[r].key);
        stack.push_back({created, begin, begin, work.size()});
    }
}

// The records no node took, chain by chain, each chain latest first.
void report_left_overs(Linker& linker) {
    const std::vector<LinkRecord>& records = linker.records;
    std::vector<uint32_t> left;
    for (size_t r = records.size(); r-- > 0;) {
        if (!records[r].dropped && !linker.taken[r]) left.push_back(static_cast<uint32_t>(r));
    }
    auto chain = [&](uint32_t r) { return linker.keys.chain_of_key[records[r].parent_key]; };
    std::stable_sort(left.begin(), left.end(),
                     [&](uint32_t a, uint32_t b) { return chain(a) < chain(b); });
    for (size_t i = 0; i < left.size(); ++i) {
        const ParseNode* record = records[left[i]].record;
        if (i == 0) {
            std::fflush(stdout);
            nl_fprintf(linker.state.diagnostics, load_mib_message(MibMessage::LeftOverNodes));
        }
        nl_fprintf(linker.state.diagnostics, load_mib_message(MibMessage::LeftOverNode),
                   record->label, record->parent_label, static_cast<int>(record->subid),
                   record->syntax);
    }
}

}  // namespace

std::span<const DefaultNode> default_tree() {
    return kDefaultTree;
}

MibNode* link_parse_nodes(CompilerState& state, ParseNode* list, std::vector<NodeFacts>* facts) {
    LinkKeys keys = resolve_link_keys(state, list, facts);
    Linker linker(state, keys);
    for (const auto& entry : kSyntaxTypes) linker.types[entry.token] = entry.type;
    watch_records(linker);
    MibNode* nodes[kDefaultNodes];
    for (int i = 0; i < kDefaultNodes; ++i) {
        const DefaultNode& entry = kDefaultTree[i];
        MibNode* parent = entry.parent >= 0 ? nodes[entry.parent] : nullptr;
        nodes[i] = make_node(entry.label, entry.subid, parent);
        int before = kNoNode;  // listed in sub-identifier order: the parent's last child
        if (parent) {
            MibNode** end = &parent->child;
            while (*end) end = &(*end)->peer;
            *end = nodes[i];
            for (int c = linker.nodes[entry.parent].first_child; c != kNoNode;
                 c = linker.nodes[c].next_peer) {
                before = c;
            }
        }
        // The default tree's labels are the first keys and labels, in its order; so are its
        // node numbers.
        add_node(linker, nodes[i], i, entry.parent >= 0 ? entry.parent : kNoNode, before);
    }
    for (const int index : kDefaultLinkOrder) link_node(linker, index, index);
    report_left_overs(linker);
    for (const LinkRecord& linked : keys.records) {
        ParseNode* record = linked.record;
        if (linked.linked) {  // its node has its enumerations and description
            record->enums = nullptr;
            record->description = nullptr;
        }
        release_parse_node(record);
    }
    if (linker.error) {
        release_mib_tree(nodes[0]);
        if (facts) facts->clear();
        return nullptr;
    }
    return nodes[0];
}
