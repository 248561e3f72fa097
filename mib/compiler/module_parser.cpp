#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

void report_current(const std::string& message) {
    report_plain(message.c_str());
}

// Skips tokens up to `wanted`: false at end of input.
bool skip_until(FILE* stream, int32_t wanted, char* text) {
    for (;;) {
        const int32_t token = next_token(stream, text);
        if (token == wanted) return true;
        if (token == END_OF_INPUT) return false;
    }
}

void append_to_list(ParseNode* chain) {
    auto& state = compiler_state();
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

ParseNode* fail() {
    auto& state = compiler_state();
    release_parse_nodes(state.head);
    state.head = state.tail = nullptr;
    return nullptr;
}

// "Unsigned32 ::= Gauge32" in the prefix text; anything else is told but not fatal.
void check_unsigned32(FILE* stream, char* text) {
    if (!skip_until(stream, ASSIGN, text)) {
        report_at_line(catalogue_message(MibMessage::NoAssignForUnsigned32).c_str(), nullptr,
                       END_OF_INPUT);
        return;
    }
    const int32_t token = next_token(stream, text);
    if (token != GAUGE32) {
        report_at_line(catalogue_message(MibMessage::Unsigned32NotGauge32).c_str(), nullptr, token);
    }
}

// After "DEFINITIONS": up to BEGIN and past a first IMPORTS or EXPORTS list. Returns 0 on
// failure, 1 when the loop reads a fresh token, 2 when *token starts the next statement.
int read_module_header(FILE* stream, int32_t* token, char* text) {
    if (!skip_until(stream, BEGIN, text)) {
        report_at_line(catalogue_message(MibMessage::NoBeginStatement, "BEGIN").c_str(), nullptr,
                       END_OF_INPUT);
        return 0;
    }
    *token = next_token(stream, text);
    if (*token != IMPORTS && *token != EXPORTS) return 2;
    const char* list = *token == IMPORTS ? "IMPORTS" : "EXPORTS";
    if (!skip_until(stream, SEMICOLON, text)) {
        const std::string message =
            std::string("Error, no \";\" at the end of the ") + list + " list";
        report_at_line(message.c_str(), nullptr, END_OF_INPUT);
        return 0;
    }
    return 1;
}

const char* macro_name(int32_t token) {
    switch (token) {
        case OBJECT_TYPE:
            return "OBJECT-TYPE";
        case OBJECT_GROUP:
            return "OBJECT-GROUP";
        case NOTIFICATION_GROUP:
            return "NOTIFICATION-GROUP";
        case NOTIFICATION_TYPE:
            return "NOTIFICATION-TYPE";
        case MODULE_COMPLIANCE:
            return "MODULE-COMPLIANCE";
        case MODULE_IDENTITY:
            return "MODULE-IDENTITY";
        case OBJECT_IDENTIFIER:
            return "OBJECT IDENTIFIER";
        case OBJECT_IDENTITY:
            return "OBJECT-IDENTITY";
        default:
            return "";
    }
}

}  // namespace

ParseNode* parse_mib_stream(FILE* stream) {
    auto& state = compiler_state();
    state.head = state.tail = nullptr;
    state.line = 1;
    // A delimiter left by an earlier compile must not be read as this stream's first character.
    state.lookahead = ' ';
    state.last_token = END_OF_INPUT;
    build_keyword_chains();
    clear_textual_conventions();
    state.module_state = ModuleState::Outside;

    char text[kTokenSize];
    char name[kTokenSize];
    int32_t token = END_OF_INPUT;
    bool have_token = false;
    for (;;) {
        if (!have_token) token = next_token(stream, text);
        have_token = false;
        if (token == END) {
            if (state.module_state == ModuleState::Inside) {
                state.module_state = ModuleState::Outside;
                continue;
            }
            report_current(catalogue_message(MibMessage::EndBeforeStart, "END", "MIB"));
            return fail();
        }
        if (token == END_OF_INPUT) {
            if (state.module_state == ModuleState::Outside) {
                ParseNode* list = state.head;
                state.head = state.tail = nullptr;
                return list;
            }
            report_current(catalogue_message(MibMessage::NoEndStatement, "END"));
            return fail();
        }
        if (token == UNSIGNED32) {
            check_unsigned32(stream, text);
            continue;
        }
        if (token != LABEL) {
            const std::string message = catalogue_message(MibMessage::ReservedWord, text);
            report_at_line(message.c_str(), text, token);
            return fail();
        }
        std::memcpy(name, text, sizeof name);
        token = next_token(stream, text);
        if (token == LEFT_BRACE) {
            if (!skip_until(stream, RIGHT_BRACE, text)) {
                report_current(catalogue_message(MibMessage::NoClosingBracket));
                return fail();
            }
            token = next_token(stream, text);
        }
        ParseNode* chain = nullptr;
        switch (token) {
            case DEFINITIONS: {
                if (state.module_state == ModuleState::Inside) {
                    report_current(catalogue_message(MibMessage::NestedModule, "MIBS"));
                    return fail();
                }
                state.module_state = ModuleState::Inside;
                const int header = read_module_header(stream, &token, text);
                if (header == 0) return fail();
                have_token = header == 2;
                continue;
            }
            case OBJECT_TYPE:
                chain = parse_object_type(stream, name);
                break;
            case OBJECT_GROUP:
            case NOTIFICATION_GROUP:
                chain = parse_group(stream, name);
                break;
            case NOTIFICATION_TYPE:
                chain = parse_notification_type(stream, name);
                break;
            case MODULE_COMPLIANCE:
                chain = parse_module_compliance(stream, name);
                break;
            case MODULE_IDENTITY:
                chain = parse_module_identity(stream, name);
                break;
            case AGENT_CAPABILITIES:
                chain = parse_agent_capabilities(stream, name);
                if (!chain) {
                    report_current("Bad parse of AGENT-CAPABILITIES");
                    return fail();
                }
                break;
            case OBJECT_IDENTIFIER:
                chain = parse_value_assignment(stream, name);
                break;
            case OBJECT_IDENTITY: {
                int obsolete = 0;
                chain = parse_object_identity(stream, name, &obsolete);
                if (obsolete) {
                    report_current(
                        catalogue_message(MibMessage::ObsoleteSyntax, "OBJECT-IDENTITY"));
                    append_to_list(chain);
                    continue;
                }
                break;
            }
            case TRAP_TYPE:
                if (!parse_trap_type(stream, name)) return fail();
                continue;
            case ASSIGN:
                if (!parse_type_assignment(stream, name, &token, text)) {
                    report_current(catalogue_message(MibMessage::BadTypeAssignment));
                    return fail();
                }
                have_token = true;
                continue;
            case END_OF_INPUT: {
                ParseNode* list = state.head;
                state.head = state.tail = nullptr;
                return list;
            }
            default:
                report_current(catalogue_message(MibMessage::BadOperator));
                return fail();
        }
        if (!chain) {
            report_current(catalogue_message(MibMessage::BadDefinition, macro_name(token)));
            return fail();
        }
        append_to_list(chain);
    }
}

ParseNode* parse_mib_stream_collecting(FILE* stream, int collect, int reserved) {
    auto& state = compiler_state();
    state.collect_traps = collect;
    state.reserved = reserved;
    return parse_mib_stream(stream);
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
