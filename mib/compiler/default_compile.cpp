// The library's free functions: thin wrappers over one default compile state.
#include <utility>

#include "mib/compiler/compiler_internal.h"

CompilerState& default_compiler_state() {
    static CompilerState* const state = new CompilerState();
    return *state;
}

ParseNode* parse_mib_stream(FILE* stream) {
    return parse_mib_stream(default_compiler_state(), stream);
}

ParseNode* parse_mib_stream_collecting(FILE* stream, int collect, int reserved) {
    auto& state = default_compiler_state();
    state.collect_traps = collect;
    state.reserved = reserved;
    return parse_mib_stream(state, stream);
}

MibNode* link_parse_nodes(ParseNode* list, std::vector<NodeFacts>* facts) {
    return link_parse_nodes(default_compiler_state(), list, facts);
}

TrapRecords take_collected_traps() {
    return std::exchange(default_compiler_state().traps, {});
}

const char* compile_messages() {
    return default_compiler_state().messages;
}

void clear_compile_messages() {
    clear_compile_messages(default_compiler_state());
}

void set_prefix_line_count(int lines) {
    default_compiler_state().prefix_lines = lines;
}

void lower_compile_message_limit(int n) {
    lower_compile_message_limit(default_compiler_state(), n);
}

void reset_lexer() {
    reset_lexer(default_compiler_state());
}

int32_t next_token(FILE* stream, char* text) {
    auto& state = default_compiler_state();
    state.input.read_stream(stream);
    return next_token(state, text);
}

char* read_quoted_text(FILE* stream) {
    auto& state = default_compiler_state();
    state.input.read_stream(stream);
    return read_quoted_text(state);
}

int32_t skip_braced_value(FILE* stream) {
    auto& state = default_compiler_state();
    state.input.read_stream(stream);
    return skip_braced_value(state);
}

void report_at_line(const char* message, const char* token_text, int32_t token_code) {
    report_at_line(default_compiler_state(), message, token_text, token_code);
}

void warn_at_line(const char* message, const char* label) {
    warn_at_line(default_compiler_state(), message, label);
}

void append_compile_message(char* buffer, int limit, const char* text) {
    append_compile_message(default_compiler_state(), buffer, limit, text);
}
