// MIB source text from arbitrary bytes: parse, link, encode the facts, release everything.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mib/compiler/compiler_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Left-over lists and warnings would flood the fuzzer's output.
    static FILE* quiet = std::fopen("/dev/null", "w");
    if (quiet) compiler_state().diagnostics = quiet;
    std::vector<char> text(data, data + size);
    if (text.empty()) text.push_back('\n');
    FILE* stream = fmemopen(text.data(), text.size(), "r");
    if (!stream) return 0;
    clear_compile_messages();
    set_prefix_line_count(static_cast<int>(size % 7));
    ParseNode* list = parse_mib_stream_collecting(stream, static_cast<int>(size & 1), 0);
    std::vector<NodeFacts> facts;
    MibNode* tree = list ? link_parse_nodes(list, &facts) : nullptr;
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
    reset_trap_collection();
    return 0;
}
