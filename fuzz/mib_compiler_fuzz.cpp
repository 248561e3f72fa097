// MIB source text from arbitrary bytes: parse, link, encode the facts, release everything.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mib/compiler/mib_compiler.h"

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
    release_mib_tree(tree);
    std::fclose(stream);
    return 0;
}
