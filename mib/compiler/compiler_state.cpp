#include <cstdlib>
#include <cstring>

#include "mib/compiler/compiler_internal.h"

void out_of_memory() {
    std::fflush(stdout);
    const std::string text = catalogue_message(MibMessage::OutOfMemory, "MIB");
    std::fputs(text.c_str(), stderr);
    std::exit(kOutOfMemoryStatus);
}

void* compiler_calloc(size_t size) {
    void* memory = std::calloc(1, size);
    if (!memory) out_of_memory();
    return memory;
}

char* compiler_copy_text(const char* text) {
    const size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) out_of_memory();
    std::memcpy(copy, text, length + 1);
    return copy;
}

CompilerState::CompilerState()
    : conventions(static_cast<TextualConvention*>(
          compiler_calloc(sizeof(TextualConvention) * kTextualConventions))),
      trap{} {
    reset_trap_definition(trap);
}

CompilerState::~CompilerState() {
    release_parse_nodes(head);
    release_trap_texts(*this);
    clear_textual_conventions(*this);
}

ParseNode* new_parse_node(CompilerState& state) {
    auto* node = static_cast<ParseNode*>(compiler_calloc(sizeof(ParseNode)));
    node->module = state.current_module;
    return node;
}

int module_named(CompilerState& state, std::string_view name) {
    const auto& index = state.module_index;
    const auto found = index.find(name);
    return found == index.end() ? kNoModule : found->second;
}

void release_parse_node(ParseNode* node) {
    if (!node) return;
    release_enum_list(node->enums);
    std::free(node->description);
    delete node->facts;
    std::free(node);
}

void release_parse_nodes(ParseNode* list) {
    while (list) {
        ParseNode* next = list->next;
        release_parse_node(list);
        list = next;
    }
}

size_t count_parse_nodes(const ParseNode* list) {
    size_t count = 0;
    for (; list; list = list->next) ++count;
    return count;
}

int32_t token_to_int(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > 2147483648ll) value = 2147483648ll;
    }
    if (negative) return static_cast<int32_t>(-value);
    return value > 2147483647ll ? 2147483647 : static_cast<int32_t>(value);
}
