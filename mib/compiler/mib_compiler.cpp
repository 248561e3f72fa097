// One compile with a state of its own.
#include "mib/compiler/mib_compiler.h"

#include <utility>

#include "mib/compiler/compiler_internal.h"

MibCompiler::MibCompiler() : state_(std::make_unique<CompilerState>()) {}

MibCompiler::~MibCompiler() = default;

void MibCompiler::set_prefix_line_count(int lines) {
    state_->prefix_lines = lines;
}

void MibCompiler::collect_traps(bool collect) {
    state_->collect_traps = collect ? 1 : 0;
}

void MibCompiler::set_diagnostics(FILE* stream) {
    state_->diagnostics = stream;
}

ParseNode* MibCompiler::parse(FILE* stream) {
    return parse_mib_stream(*state_, stream);
}

ParseNode* MibCompiler::parse(std::vector<std::string> texts) {
    return parse_mib_texts(*state_, std::move(texts));
}

size_t MibCompiler::newlines_of_text(size_t i) const {
    return state_->input.newlines_of_text(i);
}

MibNode* MibCompiler::link(ParseNode* list, std::vector<NodeFacts>* facts) {
    return link_parse_nodes(*state_, list, facts);
}

const char* MibCompiler::messages() const {
    return state_->messages;
}

TrapRecords MibCompiler::take_traps() {
    return std::exchange(state_->traps, {});
}
