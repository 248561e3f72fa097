// mibdb list: a database, or one subtree of it, as an indented tree.
#include <iterator>
#include <string>

#include "appls/mibdb/mibdb.h"
#include "mib/companion.h"
#include "mib/mib_init.h"
#include "mib/oid_names.h"
#include "mib/oid_parse.h"

namespace {

const char* type_name(int32_t type) {
    static const char* const names[] = {
        "other",        "OBJECT IDENTIFIER", "OCTET STRING", "INTEGER",     "NetworkAddress",
        "IpAddress",    "Counter",           "Gauge",        "TimeTicks",   "Opaque",
        "NULL",         "Counter64",         "BITS",         "NsapAddress", "UInteger32",
        "OCTET STRING", "DisplayString",     "unassigned",   "Counter32",   "Gauge32",
    };
    static_assert(std::size(names) == MIB_TYPE_GAUGE32 + 1, "one name for every syntax code");
    if (type >= MIB_TYPE_OTHER && type <= MIB_TYPE_GAUGE32) return names[type];
    return nullptr;
}

const char* access_name(int32_t access) {
    static const char* const names[] = {"read-only", "read-write", "write-only", "read-create",
                                        "not-accessible"};
    static_assert(std::size(names) == MIB_ACCESS_NOT_ACCESSIBLE + 1, "one name for every access");
    if (access >= MIB_ACCESS_READ_ONLY && access <= MIB_ACCESS_NOT_ACCESSIBLE) return names[access];
    return nullptr;
}

// An object of the tree by its label, else by its numbers.
std::string name_of(const std::vector<uint32_t>& oid) {
    const MibNode* node = find_node_exact(oid.data(), static_cast<int32_t>(oid.size()), Mib);
    if (node) return node->label;
    std::string text;
    for (const uint32_t subid : oid) text += '.' + std::to_string(subid);
    return text;
}

// What the companion knows of a node, after its line: " | module M... | index [IMPLIED] X...
// | augments X | syntax C | hint "H" | size A..B...".
std::string facts_text(const Companion* companion, const std::string& identifier) {
    if (!companion) return "";
    std::vector<uint32_t> oid;
    for (size_t at = 1; at < identifier.size();) {
        const size_t end = identifier.find('.', at);
        oid.push_back(static_cast<uint32_t>(std::stoul(identifier.substr(at, end - at))));
        at = end == std::string::npos ? identifier.size() : end + 1;
    }
    const std::optional<NodeFacts> facts = companion->find(oid);
    if (!facts) return "";
    std::string text;
    if (!facts->modules.empty()) {
        text += " | module";
        for (const std::string& module : facts->modules) text += ' ' + module;
    }
    if (!facts->index.empty()) {
        text += " | index";
        for (size_t i = 0; i < facts->index.size(); ++i) {
            if (facts->implied && i + 1 == facts->index.size()) text += " IMPLIED";
            text += ' ' + name_of(facts->index[i]);
        }
    }
    if (!facts->augments.empty()) text += " | augments " + name_of(facts->augments);
    if (!facts->syntax.empty()) text += " | syntax " + facts->syntax;
    if (!facts->hint.empty()) text += " | hint \"" + facts->hint + '"';
    if (!facts->sizes.empty()) {
        text += " | size";
        for (const SizeRange& range : facts->sizes) {
            text += ' ' + std::to_string(range.min);
            if (range.max != range.min) text += ".." + std::to_string(range.max);
        }
    }
    return text;
}

// label(subid) .identifier [type] [access] [{name(value) ...}] [facts]
void print_node(const MibNode* node, const std::string& identifier, int depth,
                const Companion* companion) {
    std::string line(static_cast<size_t>(depth) * 2, ' ');
    line += node->label;
    line += '(' + std::to_string(node->subid) + ") " + identifier;
    // Structure nodes carry type 0 and access 0; anything else is worth showing.
    if (node->type != MIB_TYPE_OTHER) {
        const char* name = type_name(node->type);
        line += ' ';
        line += name ? name : "type " + std::to_string(node->type);
    }
    if (node->type != MIB_TYPE_OTHER || node->access != MIB_ACCESS_READ_ONLY) {
        const char* name = access_name(node->access);
        line += ' ';
        line += name ? name : "access " + std::to_string(node->access);
    }
    if (node->enums) {
        line += " {";
        for (const EnumEntry* e = node->enums; e; e = e->next) {
            line += e->label ? e->label : "";
            line += '(' + std::to_string(e->value) + ')';
            if (e->next) line += ' ';
        }
        line += '}';
    }
    line += facts_text(companion, identifier);
    line += '\n';
    std::fputs(line.c_str(), stdout);
}

void print_subtree(const MibNode* node, const std::string& parent_identifier, int depth,
                   const Companion* companion) {
    const std::string identifier = parent_identifier + '.' + std::to_string(node->subid);
    print_node(node, identifier, depth, companion);
    for (const MibNode* child = node->child; child; child = child->peer) {
        print_subtree(child, identifier, depth + 1, companion);
    }
}

std::string identifier_above(const MibNode* node) {
    std::string text;
    for (const MibNode* p = node->parent; p; p = p->parent) {
        text = '.' + std::to_string(p->subid) + text;
    }
    return text;
}

}  // namespace

int run_list(ArgumentReader& args) {
    std::string database;
    std::string subtree;
    bool with_facts = false;
    while (!args.done()) {
        const std::string arg = args.take();
        if (arg == "-f") {
            database = args.value_of(arg);
        } else if (arg == "--facts") {
            with_facts = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            usage_error("list: unknown option " + arg);
        } else if (subtree.empty()) {
            subtree = arg;
        } else {
            usage_error("list: more than one subtree given");
        }
    }
    if (!load_database(database)) return 1;
    // Without its companion the tree is listed as it is, after one line that says why.
    LazyCompanion lazy(mib_file_path());
    const Companion* companion = with_facts ? lazy.get() : nullptr;
    if (with_facts && !companion) report_error(lazy.failure_message());
    if (subtree.empty()) {
        for (const MibNode* node = Mib; node; node = node->peer)
            print_subtree(node, "", 0, companion);
        return 0;
    }
    uint32_t ids[kMaxSubids];
    int32_t count = kMaxSubids;
    const MibNode* node = nullptr;
    if (parse_oid_text(subtree.c_str(), ids, &count) == 0) node = find_node_exact(ids, count, Mib);
    if (!node) {
        report_error("no node " + subtree + " in the database" + name_hint(subtree));
        return 1;
    }
    print_subtree(node, identifier_above(node), 0, companion);
    return 0;
}
