#include <cstring>
#include <string_view>
#include <unordered_map>
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

struct Linker {
    explicit Linker(CompilerState& compile) : state(compile) {}

    CompilerState& state;
    ParseNode* pending[kPendingChains] = {};
    int32_t types[kSyntaxCodes] = {};
    bool error = false;
    LinkKeyTexts key_texts;  // what the records' keys point into
    // Each distinct key by number, and the chain its text hashes to: chains are scanned by
    // number rather than by comparing texts.
    std::unordered_map<std::string_view, int32_t> ids;
    std::vector<int32_t> chain_of_id;
};

// What a record is matched by: its key, or its label when they are the same.
const char* key_of(const ParseNode* record) {
    return record->link_key ? record->link_key : record->label;
}

const char* parent_key_of(const ParseNode* record) {
    return record->parent_link_key ? record->parent_link_key : record->parent_label;
}

int label_hash(const char* label) {
    int hash = 0;
    for (const char* p = label; *p; ++p) hash += static_cast<signed char>(*p);
    return hash & (kPendingChains - 1);
}

int32_t key_id(Linker& linker, const char* key) {
    const auto [found, added] =
        linker.ids.emplace(key, static_cast<int32_t>(linker.chain_of_id.size()));
    if (added) linker.chain_of_id.push_back(label_hash(key));
    return found->second;
}

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
    ParseNode** link = &linker.pending[linker.chain_of_id[static_cast<size_t>(id)]];
    ParseNode* work = nullptr;
    ParseNode** work_end = &work;
    while (*link) {
        ParseNode* record = *link;
        if (record->key_id == id) break;
        if (record->parent_key_id == id) {
            *link = record->next;
            record->next = nullptr;
            *work_end = record;
            work_end = &record->next;
        } else {
            link = &record->next;
        }
    }
    return work;
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

void report_left_overs(Linker& linker) {
    bool header = false;
    for (auto& chain : linker.pending) {
        for (ParseNode* record = chain; record; record = record->next) {
            if (!header) {
                std::fflush(stdout);
                nl_fprintf(linker.state.diagnostics, load_mib_message(MibMessage::LeftOverNodes));
                header = true;
            }
            nl_fprintf(linker.state.diagnostics, load_mib_message(MibMessage::LeftOverNode),
                       record->label, record->parent_label, static_cast<int>(record->subid),
                       record->syntax);
        }
        release_parse_nodes(chain);
        chain = nullptr;
    }
}

}  // namespace

std::span<const DefaultNode> default_tree() {
    return kDefaultTree;
}

MibNode* link_parse_nodes(CompilerState& state, ParseNode* list, std::vector<NodeFacts>* facts) {
    Linker linker(state);
    for (const auto& entry : kSyntaxTypes) linker.types[entry.token] = entry.type;
    linker.key_texts = resolve_link_keys(state, list, facts);
    size_t records = 0;
    for (const ParseNode* record = list; record; record = record->next) ++records;
    linker.ids.reserve(records + kDefaultNodes);
    int32_t default_ids[kDefaultNodes];
    for (int i = 0; i < kDefaultNodes; ++i) default_ids[i] = key_id(linker, kDefaultTree[i].label);
    while (list) {
        ParseNode* next = list->next;
        if (list->dropped) {
            release_parse_node(list);
            list = next;
            continue;
        }
        list->key_id = key_id(linker, key_of(list));
        list->parent_key_id = key_id(linker, parent_key_of(list));
        ParseNode*& chain =
            linker.pending[linker.chain_of_id[static_cast<size_t>(list->parent_key_id)]];
        list->next = chain;
        chain = list;
        list = next;
    }
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
    // Keys are numbered now; their texts go with the records.
    linker.ids = {};
    for (const int index : kDefaultLinkOrder) link_node(linker, nodes[index], default_ids[index]);
    report_left_overs(linker);
    if (linker.error) {
        release_mib_tree(nodes[0]);
        if (facts) facts->clear();
        return nullptr;
    }
    return nodes[0];
}
