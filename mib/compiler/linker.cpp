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

// The records wait for their parents in kPendingChains chains, chosen by a hash of the parent's
// key. Which records a parent takes, and in what order left-overs are told, depend on those
// chains: a take stops at a record of the parent's own key in the same chain. Rather than scan a
// chain on every take, each key has the list of the records its take looks at, in chain order.
struct Linker {
    explicit Linker(CompilerState& compile) : state(compile) {}

    CompilerState& state;
    int32_t types[kSyntaxCodes] = {};
    bool error = false;
    std::vector<int32_t> chain_of_id;  // the chain each key's text hashes to
    // By record, in list order (released records are never looked at again).
    std::vector<ParseNode*> records;
    std::vector<int32_t> key_ids;
    std::vector<int32_t> parent_key_ids;
    std::vector<bool> taken;
    // By key: the records its take looks at, from watch[watch_start[id]] to the next key's.
    std::vector<uint32_t> watch_start;
    std::vector<uint32_t> watch;
};

MibNode* make_node(const char* label, uint32_t subid, MibNode* parent) {
    MibNode* node = new_mib_node();
    if (!node) out_of_memory();
    std::strncpy(node->label, label, sizeof node->label - 1);
    node->label[sizeof node->label - 1] = '\0';
    node->subid = subid;
    node->parent = parent;
    return node;
}

// The records waiting for the node of key `id` as their parent, in chain order.
ParseNode* take_children(Linker& linker, int32_t id) {
    ParseNode* work = nullptr;
    ParseNode** work_end = &work;
    const size_t end = linker.watch_start[static_cast<size_t>(id) + 1];
    for (size_t at = linker.watch_start[static_cast<size_t>(id)]; at < end; ++at) {
        const uint32_t r = linker.watch[at];
        if (linker.taken[r]) continue;
        if (linker.key_ids[r] == id) break;
        linker.taken[r] = true;
        ParseNode* record = linker.records[r];
        record->next = nullptr;
        *work_end = record;
        work_end = &record->next;
    }
    return work;
}

// Each record in the list of its parent's key, and in that of its own key when that hashes to
// the same chain; chains hold the latest record first.
void watch_records(Linker& linker) {
    const size_t count = linker.records.size();
    const size_t keys = linker.chain_of_id.size();
    auto also_own = [&](size_t r) {
        const int32_t key = linker.key_ids[r];
        const int32_t parent = linker.parent_key_ids[r];
        return key != parent && linker.chain_of_id[static_cast<size_t>(key)] ==
                                    linker.chain_of_id[static_cast<size_t>(parent)];
    };
    std::vector<uint32_t> fill(keys + 1, 0);
    for (size_t r = 0; r < count; ++r) {
        ++fill[static_cast<size_t>(linker.parent_key_ids[r]) + 1];
        if (also_own(r)) ++fill[static_cast<size_t>(linker.key_ids[r]) + 1];
    }
    for (size_t k = 0; k < keys; ++k) fill[k + 1] += fill[k];
    linker.watch_start = fill;
    linker.watch.resize(fill[keys]);
    for (size_t r = count; r-- > 0;) {
        linker.watch[fill[static_cast<size_t>(linker.parent_key_ids[r])]++] =
            static_cast<uint32_t>(r);
        if (also_own(r))
            linker.watch[fill[static_cast<size_t>(linker.key_ids[r])]++] = static_cast<uint32_t>(r);
    }
    linker.taken.assign(count, false);
}

// Hangs `record` under `parent` in sub-identifier order; null when it adds nothing.
MibNode* add_child(Linker& linker, MibNode* parent, ParseNode* record) {
    MibNode* before = nullptr;
    for (MibNode* child = parent->child; child; child = child->peer) {
        if (std::strcmp(child->label, record->label) == 0) {
            if (child->subid != record->subid) {
                CompilerState& state = linker.state;
                const std::string message = catalogue_message(
                    MibMessage::DuplicateChildLabel, parent->label, record->label,
                    static_cast<int>(record->subid), child->label, static_cast<int>(child->subid));
                append_compile_message(state, state.messages, state.message_limit, message.c_str());
                linker.error = true;
            }
            return nullptr;
        }
        if (child->subid <= record->subid) before = child;
    }
    MibNode* node = make_node(record->label, record->subid, parent);
    const int32_t syntax = record->syntax;
    node->type = syntax >= 0 && syntax < kSyntaxCodes ? linker.types[syntax] : MIB_TYPE_OTHER;
    node->access = record->access;
    node->enums = record->enums;
    node->description = record->description;
    record->enums = nullptr;
    record->description = nullptr;
    if (before) {
        node->peer = before->peer;
        before->peer = node;
    } else {
        node->peer = parent->child;
        parent->child = node;
    }
    return node;
}

// Links everything that waits for `top` (of key `top_id`), depth first: each new node's subtree
// is complete before the next record of its parent is taken. The stack follows the depth of the
// tree.
void link_node(Linker& linker, MibNode* top, int32_t top_id) {
    struct Frame {
        MibNode* node;
        ParseNode* work;
    };
    std::vector<Frame> stack;
    stack.push_back({top, take_children(linker, top_id)});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        ParseNode* record = frame.work;
        if (!record) {
            stack.pop_back();
            continue;
        }
        frame.work = record->next;
        MibNode* parent = frame.node;
        MibNode* created = add_child(linker, parent, record);
        // A node is matched by its record's key (its label, as long as a record's).
        const int32_t id = record->key_id;
        release_parse_node(record);
        if (created) stack.push_back({created, take_children(linker, id)});
    }
}

// The records no node took, chain by chain, each chain latest first.
void report_left_overs(Linker& linker) {
    std::vector<uint32_t> left;
    for (size_t r = linker.records.size(); r-- > 0;) {
        if (!linker.taken[r]) left.push_back(static_cast<uint32_t>(r));
    }
    auto chain = [&](uint32_t r) { return linker.chain_of_id[linker.parent_key_ids[r]]; };
    std::stable_sort(left.begin(), left.end(),
                     [&](uint32_t a, uint32_t b) { return chain(a) < chain(b); });
    for (size_t i = 0; i < left.size(); ++i) {
        ParseNode* record = linker.records[left[i]];
        if (i == 0) {
            std::fflush(stdout);
            nl_fprintf(linker.state.diagnostics, load_mib_message(MibMessage::LeftOverNodes));
        }
        nl_fprintf(linker.state.diagnostics, load_mib_message(MibMessage::LeftOverNode),
                   record->label, record->parent_label, static_cast<int>(record->subid),
                   record->syntax);
        release_parse_node(record);
    }
}

}  // namespace

std::span<const DefaultNode> default_tree() {
    return kDefaultTree;
}

MibNode* link_parse_nodes(CompilerState& state, ParseNode* list, std::vector<NodeFacts>* facts) {
    Linker linker(state);
    for (const auto& entry : kSyntaxTypes) linker.types[entry.token] = entry.type;
    linker.chain_of_id = resolve_link_keys(state, list, facts).chain_of_key;
    size_t records = 0;
    for (const ParseNode* record = list; record; record = record->next) ++records;
    linker.records.reserve(records);
    while (list) {
        ParseNode* next = list->next;
        if (list->dropped) {
            release_parse_node(list);
            list = next;
            continue;
        }
        linker.records.push_back(list);
        linker.key_ids.push_back(list->key_id);
        linker.parent_key_ids.push_back(list->parent_key_id);
        list = next;
    }
    watch_records(linker);
    MibNode* nodes[kDefaultNodes];
    for (int i = 0; i < kDefaultNodes; ++i) {
        const DefaultNode& entry = kDefaultTree[i];
        MibNode* parent = entry.parent >= 0 ? nodes[entry.parent] : nullptr;
        nodes[i] = make_node(entry.label, entry.subid, parent);
        if (!parent) continue;
        // Listed in sub-identifier order: append at the end of the parent's children.
        MibNode** end = &parent->child;
        while (*end) end = &(*end)->peer;
        *end = nodes[i];
    }
    // The default tree's labels are the first keys, in its order.
    for (const int index : kDefaultLinkOrder) link_node(linker, nodes[index], index);
    report_left_overs(linker);
    if (linker.error) {
        release_mib_tree(nodes[0]);
        if (facts) facts->clear();
        return nullptr;
    }
    return nodes[0];
}
