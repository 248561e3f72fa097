#include <sys/stat.h>

#include "mib/compiler/compiler_internal.h"

// Both over the default state: its messages and prefix line count are what callers read and set.
MibNode* compile_mib_file(const char* path) {
    auto& state = default_compiler_state();
    clear_compile_messages(state);
    struct stat info;
    if (!path || stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    FILE* stream = std::fopen(path, "r");
    if (!stream) return nullptr;
    ParseNode* list = parse_mib_stream(state, stream);
    if (!list) {
        std::fclose(stream);
        append_compile_message(state, state.messages, state.message_limit, "Mib table is bad.\n");
        return nullptr;
    }
    MibNode* tree = link_parse_nodes(state, list);
    state.prefix_lines = 0;
    std::fclose(stream);
    return tree;
}

MibNode* compile_mib_file_quietly(const char* path) {
    auto& state = default_compiler_state();
    FILE* stream = std::fopen(path, "r");
    if (!stream) return nullptr;
    ParseNode* list = parse_mib_stream(state, stream);
    MibNode* tree = list ? link_parse_nodes(state, list) : nullptr;
    std::fclose(stream);
    return tree;
}
