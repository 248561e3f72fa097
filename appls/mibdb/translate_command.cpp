// mibdb translate: names to numeric identifiers and numeric identifiers to label paths.
#include <cctype>
#include <vector>

#include "appls/mibdb/mibdb.h"
#include "mib/oid_names.h"
#include "mib/oid_parse.h"

namespace {

// The first node labelled `label` (ignoring case), depth-first.
const MibNode* find_label(const MibNode* node, const std::string& label) {
    for (; node; node = node->peer) {
        if (labels_equal(node->label, label.c_str())) return node;
        if (const MibNode* found = find_label(node->child, label)) return found;
    }
    return nullptr;
}

bool translate_one(const std::string& text) {
    uint32_t ids[kMaxSubids];
    int32_t count = kMaxSubids;
    if (!text.empty() && oid_text_is_numeric(text.c_str())) {
        // Numbers are always absolute here: they are what an agent sends.
        if (parse_oid_digits(text.c_str(), ids, &count) != 0) {
            report_error("not a numeric identifier: " + text);
            return false;
        }
        std::vector<char> buffer(32768);
        format_oid(buffer.data(), buffer.size(), ids, count);
        std::printf("%s\n", buffer.data());
        return true;
    }
    if (parse_oid_text(text.c_str(), ids, &count) != 0) {
        report_error("cannot resolve " + text + name_hint(text));
        return false;
    }
    std::printf("%s\n", format_oid_numeric(ids, count));
    return true;
}

}  // namespace

std::string name_hint(const std::string& name) {
    std::string first = name;
    if (!first.empty() && first[0] == '.') first.erase(0, 1);
    first = first.substr(0, first.find('.'));
    if (first.empty() || std::isdigit(static_cast<unsigned char>(first[0]))) return "";
    const MibNode* node = find_label(Mib, first);
    if (!node) return "";
    std::vector<char> path(32768);
    std::vector<uint32_t> ids;
    for (const MibNode* p = node; p; p = p->parent) ids.insert(ids.begin(), p->subid);
    format_oid(path.data(), path.size(), ids.data(), static_cast<int32_t>(ids.size()));
    return " (" + first + " is " + path.data() +
           "; a name starts under mib-2 or enterprises unless it begins with a dot)";
}

int run_translate(ArgumentReader& args) {
    std::string database;
    std::vector<std::string> texts;
    while (!args.done()) {
        const std::string arg = args.take();
        if (arg == "-f") {
            database = args.value_of(arg);
        } else if (arg.size() > 1 && arg[0] == '-') {
            usage_error("translate: unknown option " + arg);
        } else {
            texts.push_back(arg);
        }
    }
    if (texts.empty()) usage_error("translate: no name or identifier given");
    if (!load_database(database)) return 1;
    bool all = true;
    for (const std::string& text : texts) all = translate_one(text) && all;
    return all ? 0 : 1;
}
