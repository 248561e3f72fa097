#include <cstring>
#include <string>
#include <vector>

#include "mib/compiler/compiler_internal.h"

namespace {

// What the statement loop does after a statement.
enum class Step { Next, Fail, Done };

// The statement loop's place in the stream: the token that starts the next statement.
struct Statement {
    CompilerState& state;
    int32_t token = END_OF_INPUT;
    char text[kTokenSize] = {};
    bool have_token = false;  // read already, by a definition parser or the module header
};

// The definitions that add records and fail with "Bad parse of: %1" naming their macro.
struct MacroParser {
    int32_t keyword;
    ParseNode* (*parse)(CompilerState& state, const char* name);
    const char* macro_name;  // as written in the source
};

constexpr MacroParser kMacroParsers[] = {
    {OBJECT_TYPE, parse_object_type, "OBJECT-TYPE"},
    {OBJECT_GROUP, parse_group, "OBJECT-GROUP"},
    {NOTIFICATION_GROUP, parse_group, "NOTIFICATION-GROUP"},
    {NOTIFICATION_TYPE, parse_notification_type, "NOTIFICATION-TYPE"},
    {MODULE_COMPLIANCE, parse_module_compliance, "MODULE-COMPLIANCE"},
    {MODULE_IDENTITY, parse_module_identity, "MODULE-IDENTITY"},
    {OBJECT_IDENTIFIER, parse_value_assignment, "OBJECT IDENTIFIER"},
    {OBJECT_IDENTITY, parse_object_identity, "OBJECT-IDENTITY"},
};

// Skips tokens up to `wanted`: false at end of input.
bool skip_until(CompilerState& state, int32_t wanted, char* text) {
    for (;;) {
        const int32_t token = next_token(state, text);
        if (token == wanted) return true;
        if (token == END_OF_INPUT) return false;
    }
}

void append_to_list(CompilerState& state, ParseNode* chain) {
    if (!chain) return;
    if (state.tail) {
        state.tail->next = chain;
    } else {
        state.head = chain;
    }
    ParseNode* last = chain;
    while (last->next) last = last->next;
    state.tail = last;
}

// The list built so far, handed to the caller.
ParseNode* take_list(CompilerState& state) {
    ParseNode* list = state.head;
    state.head = state.tail = nullptr;
    return list;
}

ParseNode* fail(CompilerState& state) {
    release_parse_nodes(take_list(state));
    return nullptr;
}

void start_compile(CompilerState& state) {
    state.head = state.tail = nullptr;
    reset_lexer(state);
    clear_textual_conventions(state);
    state.sequence_types.clear();
    state.module_state = ModuleState::Outside;
    state.modules.clear();
    state.module_index.clear();
    state.current_module = kNoModule;
}

// "Unsigned32 ::= Gauge32" in the prefix text; anything else is told but not fatal.
void check_unsigned32(CompilerState& state, char* text) {
    if (!skip_until(state, ASSIGN, text)) {
        report_message(state, MibMessage::NoAssignForUnsigned32, nullptr, END_OF_INPUT);
        return;
    }
    const int32_t token = next_token(state, text);
    if (token != GAUGE32) report_message(state, MibMessage::Unsigned32NotGauge32, nullptr, token);
}

// The IMPORTS list after its keyword, up to ";": which module each label comes from. False at
// end of input.
bool read_imports(CompilerState& state, ModuleInfo& module, char* text) {
    module.has_imports = true;
    std::vector<std::string> symbols;
    bool from = false;
    int braces = 0;  // a module's braced identifier after its name
    for (;;) {
        const int32_t token = next_token(state, text);
        if (token == SEMICOLON) return true;
        if (token == END_OF_INPUT) return false;
        if (token == LEFT_BRACE) {
            ++braces;
        } else if (token == RIGHT_BRACE) {
            if (braces > 0) --braces;
        } else if (braces > 0 || token == COMMA) {
            // inside a braced identifier, or between symbols
        } else if (from) {
            for (const std::string& symbol : symbols) module.imports.emplace(symbol, text);
            symbols.clear();
            from = false;
        } else if (token == LABEL && std::strcmp(text, "FROM") == 0) {
            from = true;
        } else {
            symbols.emplace_back(text);
        }
    }
}

// A new module named `name` becomes the current one.
void begin_module_scope(CompilerState& state, const char* name) {
    state.current_module = static_cast<int>(state.modules.size());
    state.modules.push_back(ModuleInfo{name, 0, false, {}});
    state.module_index.emplace(name, state.current_module);
}

// The module that is still open lacks its END: told at its BEGIN, so that the message points
// into its own file rather than at whatever follows it.
void report_missing_end(CompilerState& state, MibMessage message, const char* next) {
    const ModuleInfo& open = state.modules[static_cast<size_t>(state.current_module)];
    report_at_given_line(state, catalogue_message(message, open.name, next).c_str(),
                         open.begin_line);
}

// After "DEFINITIONS": up to BEGIN and past a first IMPORTS or EXPORTS list.
Step open_module(Statement& s, const char* name) {
    CompilerState& state = s.state;
    if (state.module_state == ModuleState::Inside) {
        report_missing_end(state, MibMessage::NoEndBeforeModule, name);
        return Step::Fail;
    }
    state.module_state = ModuleState::Inside;
    begin_module_scope(state, name);
    if (!skip_until(state, BEGIN, s.text)) {
        report_message(state, MibMessage::NoBeginStatement, nullptr, END_OF_INPUT, "BEGIN");
        return Step::Fail;
    }
    state.modules.back().begin_line = state.line;
    s.token = next_token(state, s.text);
    if (s.token != IMPORTS && s.token != EXPORTS) {
        s.have_token = true;
        return Step::Next;
    }
    const char* list = s.token == IMPORTS ? "IMPORTS" : "EXPORTS";
    const bool ended =
        s.token == IMPORTS
            ? read_imports(state, state.modules[static_cast<size_t>(state.current_module)], s.text)
            : skip_until(state, SEMICOLON, s.text);
    if (!ended) {
        const std::string message =
            std::string("Error, no \";\" at the end of the ") + list + " list";
        report_at_line(state, message.c_str(), nullptr, END_OF_INPUT);
        return Step::Fail;
    }
    return Step::Next;
}

Step close_module(CompilerState& state) {
    if (state.module_state == ModuleState::Inside) {
        state.module_state = ModuleState::Outside;
        state.current_module = kNoModule;
        return Step::Next;
    }
    report_message_plain(state, MibMessage::EndBeforeStart, "END", "MIB");
    return Step::Fail;
}

Step end_of_input(CompilerState& state) {
    if (state.module_state == ModuleState::Outside) return Step::Done;
    report_missing_end(state, MibMessage::NoEndBeforeEndOfInput, "");
    return Step::Fail;
}

// The records of a definition join the list; none fails the parse.
Step add_records(CompilerState& state, ParseNode* chain, const char* macro_name) {
    if (!chain) {
        report_message_plain(state, MibMessage::BadDefinition, macro_name);
        return Step::Fail;
    }
    append_to_list(state, chain);
    return Step::Next;
}

// The definition of `name`, chosen by the token after it.
Step parse_definition(Statement& s, const char* name) {
    CompilerState& state = s.state;
    switch (s.token) {
        case DEFINITIONS:
            return open_module(s, name);
        case TRAP_TYPE:
            return parse_trap_type(state, name) ? Step::Next : Step::Fail;
        case ASSIGN:
            if (!parse_type_assignment(state, name, &s.token, s.text)) {
                report_message_plain(state, MibMessage::BadTypeAssignment);
                return Step::Fail;
            }
            s.have_token = true;
            return Step::Next;
        case AGENT_CAPABILITIES: {
            ParseNode* chain = parse_agent_capabilities(state, name);
            if (!chain) {
                report_message_plain(state, MibMessage::BadAgentCapabilities);
                return Step::Fail;
            }
            append_to_list(state, chain);
            return Step::Next;
        }
        case END_OF_INPUT:
            return Step::Done;
        default:
            break;
    }
    for (const MacroParser& macro : kMacroParsers) {
        if (macro.keyword == s.token)
            return add_records(state, macro.parse(state, name), macro.macro_name);
    }
    report_message_plain(state, MibMessage::BadOperator);
    return Step::Fail;
}

// A statement that starts with a name: an optional braced value, then its definition.
Step parse_named_statement(Statement& s) {
    CompilerState& state = s.state;
    if (!accept_label(state, s.text)) return Step::Fail;
    char name[kTokenSize];
    std::memcpy(name, s.text, sizeof name);
    s.token = next_token(state, s.text);
    if (s.token == LEFT_BRACE) {
        if (!skip_until(state, RIGHT_BRACE, s.text)) {
            report_message_plain(state, MibMessage::NoClosingBracket);
            return Step::Fail;
        }
        s.token = next_token(state, s.text);
    }
    return parse_definition(s, name);
}

Step parse_statement(Statement& s) {
    CompilerState& state = s.state;
    switch (s.token) {
        case END:
            return close_module(state);
        case END_OF_INPUT:
            return end_of_input(state);
        case UNSIGNED32:
            check_unsigned32(state, s.text);
            return Step::Next;
        case LABEL:
            return parse_named_statement(s);
        default:
            report_message(state, MibMessage::ReservedWord, s.text, s.token, s.text);
            return Step::Fail;
    }
}

}  // namespace

namespace {

ParseNode* parse_input(CompilerState& state) {
    Statement s{state};
    for (;;) {
        if (!s.have_token) s.token = next_token(state, s.text);
        s.have_token = false;
        switch (parse_statement(s)) {
            case Step::Next:
                break;
            case Step::Fail:
                return fail(state);
            case Step::Done:
                // A NUL byte ended the reading early: what was read is not the whole module.
                if (state.input_stopped) return fail(state);
                settle_syntax_conventions(state, state.head);
                return take_list(state);
        }
    }
}

}  // namespace

ParseNode* parse_mib_stream(CompilerState& state, FILE* stream) {
    start_compile(state);
    state.input.read_stream(stream);
    return parse_input(state);
}

ParseNode* parse_mib_texts(CompilerState& state, std::vector<std::string> texts) {
    start_compile(state);
    state.input.read_texts(std::move(texts));
    return parse_input(state);
}

void print_parse_nodes(const ParseNode* list) {
    for (; list; list = list->next) {
        PrintMessage("%s ::= { %s %d } (%d)\n", list->label, list->parent_label,
                     static_cast<int>(list->subid), list->syntax);
        if (!list->enums) continue;
        PrintMessage("Enums: \n");
        for (const EnumEntry* entry = list->enums; entry; entry = entry->next) {
            PrintMessage("%s(%d)\n", entry->label, entry->value);
        }
    }
}
