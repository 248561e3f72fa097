#include <cstdlib>
#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

void report_token(const std::string& message, const char* text, int32_t token) {
    report_at_line(message.c_str(), text, token);
}

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
            report_at_line(catalogue_message(MibMessage::NoVariables, "VARIABLES").c_str(), nullptr,
                           RIGHT_BRACE);
        } else {
            report_at_line("Error defining OBJECTS: No variables specified", nullptr, RIGHT_BRACE);
        }
        return false;
    }
    return true;
}

bool read_trap_type(FILE* stream) {
    TrapDefinition& trap = current_trap;
    char text[kTokenSize];
    int32_t token = next_token(stream, text);
    if (token != ENTERPRISE) {
        report_token(catalogue_message(MibMessage::ExpectedKeyword, "TRAP-TYPE", "ENTERPRISE"),
                     text, token);
        return false;
    }
    token = next_token(stream, text);
    if (token == LABEL) {
        copy_field(trap.enterprise, sizeof trap.enterprise, text, "ENTERPRISE");
    } else if (token == LEFT_BRACE) {
        // A registration by value is skipped; the enterprise stays empty.
        int read = 0;
        for (;;) {
            token = next_token(stream, text);
            if (token == RIGHT_BRACE) break;
            if (++read >= 100 || token == END_OF_INPUT) {
                report_at_line(
                    catalogue_message(MibMessage::RegistrationTooLong, "ENTERPRISE").c_str(),
                    nullptr, token);
                return false;
            }
        }
    } else {
        report_token(catalogue_message(MibMessage::ExpectedEnterprise, "ENTERPRISE"), text, token);
        return false;
    }
    token = next_token(stream, text);
    if (token == VARIABLES) {
        token = next_token(stream, text);
        if (token != LEFT_BRACE) {
            report_token(catalogue_message(MibMessage::ExpectedListBrace, "VARIABLES"), text,
                         token);
            return false;
        }
        if (!read_name_list(stream, true)) return false;
        token = next_token(stream, text);
    }
    if (token == DESCRIPTION) {
        char* description = read_clause_text(stream);
        if (!description) return false;
        copy_field(trap.description, sizeof trap.description, description, "DESCRIPTION");
        std::free(description);
        token = next_token(stream, text);
    }
    if (token == REFERENCE) {
        char* reference = read_clause_text(stream);
        if (!reference) return false;
        std::free(reference);
        token = next_token(stream, text);
    }
    if (token != ASSIGN) {
        report_token(catalogue_message(MibMessage::ExpectedAssign, "TRAP-TYPE"), text, token);
        return false;
    }
    token = next_token(stream, text);
    trap.specific = token_to_int(text);
    if (token != NUMBER) {
        report_token(catalogue_message(MibMessage::ExpectedTrapNumber), text, token);
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
        int32_t token = next_token(stream, text);
        if (token == ASSIGN) return true;
        if (token == END_OF_INPUT) {
            report_at_line(
                catalogue_message(MibMessage::ExpectedAssign, "NOTIFICATION-TYPE").c_str(), nullptr,
                token);
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
                report_at_line("Error defining OBJECTS: Expected '{', found", text, token);
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
    if (apply_final_record_rule(node, elements, count, name)) {
        copy_field(trap.enterprise, sizeof trap.enterprise, elements[count - 2].label,
                   "enterprise");
        trap.specific = static_cast<int32_t>(node->subid);
    } else {
        release_parse_node(node);
        node = nullptr;
    }
    save_current_trap();
    return node;
}
