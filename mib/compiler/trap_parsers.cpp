#include <cstdlib>
#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

// A braced ENTERPRISE registration longer than this many tokens is refused.
constexpr int kMaxRegistrationTokens = 100;

// Releases the slot and variable texts that no saved copy took over, then resets the record.
void start_trap_definition(const char* name) {
    auto& state = compiler_state();
    TrapDefinition& trap = current_trap;
    for (int i = state.slots_owned_from; i < trap.slot_count && i < kTrapSlots; ++i) {
        std::free(trap.slot_names[i]);
        std::free(trap.slot_values[i]);
        trap.slot_names[i] = nullptr;
        trap.slot_values[i] = nullptr;
    }
    for (int i = state.variables_owned_from; i < trap.variable_count && i < kTrapVariables; ++i) {
        std::free(trap.variables[i]);
        trap.variables[i] = nullptr;
    }
    state.slots_owned_from = 0;
    state.variables_owned_from = 0;
    reset_trap_definition(trap);
    copy_field(trap.name, sizeof trap.name, name, name);
}

void save_current_trap() {
    auto& state = compiler_state();
    const size_t before = saved_trap_definitions().size();
    save_trap_definition(state.collect_traps, current_trap);
    if (saved_trap_definitions().size() > before) {
        // The saved copy owns the texts now.
        state.slots_owned_from = current_trap.slot_count;
        state.variables_owned_from = current_trap.variable_count;
    }
}

// The names of a VARIABLES (`variables` true) or OBJECTS list after its "{", up to "}". False
// (reported) at end of input or when the list named nothing.
bool read_name_list(FILE* stream, bool variables) {
    TrapDefinition& trap = current_trap;
    char text[kTokenSize];
    int named = 0;
    for (;;) {
        const int32_t token = next_token(stream, text);
        if (token == RIGHT_BRACE) break;
        if (token == COMMA) continue;
        if (token == END_OF_INPUT) {
            report_at_line(variables ? "Error defining VARIABLES: missing '}'"
                                     : "Error defining OBJECTS: missing '}'",
                           nullptr, token);
            return false;
        }
        if (!accept_label(text)) return false;
        ++named;
        if (trap.variable_count < kTrapVariables) {
            trap.variables[trap.variable_count++] = compiler_copy_text(text);
            continue;
        }
        char message[512];
        std::snprintf(
            message, sizeof message,
            variables ? "Error defining VARIABLES: maximum number of variables supported %d exceed."
                      : "Error defining OBJECTS: maximum number of objects supported %d exceed.",
            kTrapVariables);
        report_at_line(message, nullptr, token);
        std::snprintf(message, sizeof message,
                      variables ? "Ignoring variable %d: %s." : "Ignoring object %d: %s.",
                      trap.variable_count, text);
        report_at_line(message, nullptr, token);
    }
    if (named == 0) {
        if (variables) {
            report_message(MibMessage::NoVariables, nullptr, RIGHT_BRACE, "VARIABLES");
        } else {
            report_message(MibMessage::NoVariables, nullptr, RIGHT_BRACE, "OBJECTS");
        }
        return false;
    }
    return true;
}

// The ENTERPRISE clause after its word: a descriptor, or a braced registration that is skipped
// (the enterprise stays empty).
bool read_enterprise(FILE* stream, TrapDefinition& trap) {
    char text[kTokenSize];
    int32_t token = next_token(stream, text);
    if (token == LABEL) {
        if (!accept_label(text)) return false;
        copy_field(trap.enterprise, sizeof trap.enterprise, text, "ENTERPRISE");
        return true;
    }
    if (token != LEFT_BRACE) {
        report_message(MibMessage::ExpectedEnterprise, text, token, "ENTERPRISE");
        return false;
    }
    for (int read = 1;; ++read) {
        token = next_token(stream, text);
        if (token == RIGHT_BRACE) return true;
        if (read >= kMaxRegistrationTokens || token == END_OF_INPUT) {
            report_message(MibMessage::RegistrationTooLong, nullptr, token, "ENTERPRISE");
            return false;
        }
    }
}

// The VARIABLES list after its word.
bool read_variables(FILE* stream) {
    char text[kTokenSize];
    const int32_t token = next_token(stream, text);
    if (token != LEFT_BRACE) {
        report_message(MibMessage::ExpectedListBrace, text, token, "VARIABLES");
        return false;
    }
    return read_name_list(stream, true);
}

// The optional DESCRIPTION, then the optional REFERENCE, from *token on; *token is left at the
// token after them.
bool read_trap_texts(FILE* stream, TrapDefinition& trap, int32_t* token, char* text) {
    if (*token == DESCRIPTION) {
        char* description = read_clause_text(stream);
        if (!description) return false;
        copy_field(trap.description, sizeof trap.description, description, "DESCRIPTION");
        std::free(description);
        *token = next_token(stream, text);
    }
    if (*token == REFERENCE) {
        char* reference = read_clause_text(stream);
        if (!reference) return false;
        std::free(reference);
        *token = next_token(stream, text);
    }
    return true;
}

// The clauses in their order: ENTERPRISE, VARIABLES, DESCRIPTION, REFERENCE, then "::=" and the
// trap number.
bool read_trap_type(FILE* stream) {
    TrapDefinition& trap = current_trap;
    char text[kTokenSize];
    int32_t token = next_token(stream, text);
    if (token != ENTERPRISE) {
        report_message(MibMessage::ExpectedKeyword, text, token, "TRAP-TYPE", "ENTERPRISE");
        return false;
    }
    if (!read_enterprise(stream, trap)) return false;
    token = next_token(stream, text);
    if (token == VARIABLES) {
        if (!read_variables(stream)) return false;
        token = next_token(stream, text);
    }
    if (!read_trap_texts(stream, trap, &token, text)) return false;
    if (token != ASSIGN) {
        report_message(MibMessage::ExpectedAssign, text, token, "TRAP-TYPE");
        return false;
    }
    token = next_token(stream, text);
    trap.specific = token_to_int(text);
    if (token != NUMBER) {
        report_message(MibMessage::ExpectedTrapNumber, text, token);
        return false;
    }
    save_current_trap();
    return true;
}

// The clauses of a NOTIFICATION-TYPE up to "::=".
bool read_notification_clauses(FILE* stream, ParseNode* node) {
    TrapDefinition& trap = current_trap;
    char text[kTokenSize];
    for (;;) {
        int32_t token = next_token_past_text(stream, text);
        if (token == ASSIGN) return true;
        if (token == END_OF_INPUT) {
            report_message(MibMessage::ExpectedAssign, nullptr, token, "NOTIFICATION-TYPE");
            return false;
        }
        if (token == DESCRIPTION) {
            char* description = read_clause_text(stream);
            if (!description) return false;
            copy_field(trap.description, sizeof trap.description, description, "DESCRIPTION");
            std::free(node->description);
            node->description = description;
        } else if (token == OBJECTS) {
            token = next_token(stream, text);
            if (token != LEFT_BRACE) {
                report_message(MibMessage::ExpectedObjectsBrace, text, token);
                return false;
            }
            if (!read_name_list(stream, false)) return false;
        }
    }
}

}  // namespace

int parse_trap_type(FILE* stream, const char* name) {
    start_trap_definition(name);
    return read_trap_type(stream) ? 1 : 0;
}

ParseNode* parse_notification_type(FILE* stream, const char* name) {
    start_trap_definition(name);
    TrapDefinition& trap = current_trap;
    ParseNode* node = new_parse_node();
    if (!read_notification_clauses(stream, node)) {
        release_parse_node(node);
        return nullptr;
    }
    OidElement elements[kOidElements];
    const int count = read_oid_value(stream, elements, kOidElements);
    ParseNode* records = value_records(node, elements, count, name, ArcRule::NamedArcs);
    if (records) {
        copy_field(trap.enterprise, sizeof trap.enterprise, elements[count - 2].label,
                   "enterprise");
        trap.specific = static_cast<int32_t>(node->subid);
    } else {
        release_parse_node(node);
    }
    save_current_trap();
    return records;
}
