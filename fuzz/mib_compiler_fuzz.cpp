// MIB source text from arbitrary bytes: parse, link, encode the facts, release everything. The
// same bytes read from a stream and as texts in memory cut in three give the same messages and
// the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mib/compiler/mib_compiler.h"

namespace {

bool same_trees(const MibNode* a, const MibNode* b) {
    for (; a && b; a = a->peer, b = b->peer) {
        if (std::strcmp(a->label, b->label) != 0 || a->subid != b->subid || a->type != b->type ||
            a->access != b->access || !a->description != !b->description ||
            (a->description && std::strcmp(a->description, b->description) != 0) ||
            !same_trees(a->child, b->child))
            return false;
    }
    return !a && !b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Left-over lists and warnings would flood the fuzzer's output.
    static FILE* quiet = std::fopen("/dev/null", "w");
    std::vector<char> text(data, data + size);
    if (text.empty()) text.push_back('\n');
    FILE* stream = fmemopen(text.data(), text.size(), "r");
    if (!stream) return 0;
    MibCompiler compiler;
    if (quiet) compiler.set_diagnostics(quiet);
    compiler.set_prefix_line_count(static_cast<int>(size % 7));
    compiler.collect_traps((size & 1) != 0);
    ParseNode* list = compiler.parse(stream);
    std::vector<NodeFacts> facts;
    MibNode* tree = list ? compiler.link(list, &facts) : nullptr;
    // Whatever the compile's facts are, the companion's writer takes them.
    std::string bytes;
    std::string why;
    if (!encode_companion(facts, CompanionBinding{}, bytes, why)) __builtin_trap();
    // Every node the linker makes has a label: bare numbers in values are labelled by them.
    std::vector<const MibNode*> pending{tree};
    while (!pending.empty()) {
        const MibNode* node = pending.back();
        pending.pop_back();
        for (; node; node = node->peer) {
            if (!node->label[0]) __builtin_trap();
            if (node->child) pending.push_back(node->child);
        }
    }
    MibCompiler in_memory;
    if (quiet) in_memory.set_diagnostics(quiet);
    in_memory.set_prefix_line_count(static_cast<int>(size % 7));
    in_memory.collect_traps((size & 1) != 0);
    const std::string all(text.begin(), text.end());
    const size_t a = all.size() / 3;
    const size_t b = all.size() - a;
    ParseNode* list2 = in_memory.parse({all.substr(0, a), all.substr(a, b - a), all.substr(b)});
    MibNode* tree2 = list2 ? in_memory.link(list2) : nullptr;
    if (!list != !list2 || std::strcmp(compiler.messages(), in_memory.messages()) != 0 ||
        !same_trees(tree, tree2))
        __builtin_trap();
    release_mib_tree(tree2);
    release_mib_tree(tree);
    std::fclose(stream);
    return 0;
}
