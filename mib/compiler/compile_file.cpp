#include <sys/stat.h>

#include "mib/compiler/compiler_internal.h"

MibNode* compile_mib_file(const char* path) {
    auto& state = compiler_state();
    clear_compile_messages();
    struct stat info;
    if (!path || stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    FILE* stream = std::fopen(path, "r");
    if (!stream) return nullptr;
    ParseNode* list = parse_mib_stream(stream);
    if (!list) {
        std::fclose(stream);
        append_compile_message(state.messages, state.message_limit, "Mib table is bad.\n");
        return nullptr;
    }
    MibNode* tree = link_parse_nodes(list);
    state.prefix_lines = 0;
    std::fclose(stream);
    return tree;
}

MibNode* compile_mib_file_quietly(const char* path) {
    FILE* stream = std::fopen(path, "r");
    if (!stream) return nullptr;
    ParseNode* list = parse_mib_stream(stream);
    MibNode* tree = list ? link_parse_nodes(list) : nullptr;
    std::fclose(stream);
    return tree;
}
