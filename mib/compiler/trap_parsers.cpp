#include <cstdlib>
#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

// A braced ENTERPRISE registration longer than this many tokens is refused.
constexpr int kMaxRegistrationTokens = 100;

// The names of a VARIABLES (`variables` true) or OBJECTS list after its "{", up to "}". False
// (reported) at end of input or when the list named nothing.
bool read_name_list(CompilerState& state, bool variables) {
    TrapDefinition& trap = state.trap;
    char text[kTokenSize];
    int named = 0;
    for (;;) {
        const int32_t token = next_token(state, text);
        if (token == RIGHT_BRACE) break;
        if (token == COMMA) continue;
        if (token == END_OF_INPUT) {
            report_at_line(state,
                           variables ? "Error defining VARIABLES: missing '}'"
                                     : "Error defining OBJECTS: missing '}'",
                           nullptr, token);
            return false;
        }
        if (!accept_label(state, text)) return false;
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
        report_at_line(state, message, nullptr, token);
        std::snprintf(message, sizeof message,
                      variables ? "Ignoring variable %d: %s." : "Ignoring object %d: %s.",
                      trap.variable_count, text);
        report_at_line(state, message, nullptr, token);
    }
    if (named == 0) {
        if (variables) {
            report_message(state, MibMessage::NoVariables, nullptr, RIGHT_BRACE, "VARIABLES");
        } else {
            report_message(state, MibMessage::NoVariables, nullptr, RIGHT_BRACE, "OBJECTS");
        }
        return false;
    }
    return true;
}

// The ENTERPRISE clause after its word: a descriptor, or a braced registration that is skipped
// (the enterprise stays empty).
bool read_enterprise(CompilerState& state, TrapDefinition& trap) {
    char text[kTokenSize];
    int32_t token = next_token(state, text);
    if (token == LABEL) {
        if (!accept_label(state, text)) return false;
        copy_field(state, trap.enterprise, sizeof trap.enterprise, text, "ENTERPRISE");
        return true;
    }
    if (token != LEFT_BRACE) {
        report_message(state, MibMessage::ExpectedEnterprise, text, token, "ENTERPRISE");
        return false;
    }
    for (int read = 1;; ++read) {
        token = next_token(state, text);
        if (token == RIGHT_BRACE) return true;
        if (read >= kMaxRegistrationTokens || token == END_OF_INPUT) {
            report_message(state, MibMessage::RegistrationTooLong, nullptr, token, "ENTERPRISE");
            return false;
        }
    }
}

// The VARIABLES list after its word.
bool read_variables(CompilerState& state) {
    char text[kTokenSize];
    const int32_t token = next_token(state, text);
    if (token != LEFT_BRACE) {
        report_message(state, MibMessage::ExpectedListBrace, text, token, "VARIABLES");
        return false;
    }
    return read_name_list(state, true);
}

// The optional DESCRIPTION, then the optional REFERENCE, from *token on; *token is left at the
// token after them.
bool read_trap_texts(CompilerState& state, TrapDefinition& trap, int32_t* token, char* text) {
    if (*token == DESCRIPTION) {
        char* description = read_clause_text(state);
        if (!description) return false;
        copy_field(state, trap.description, sizeof trap.description, description, "DESCRIPTION");
        std::free(description);
        *token = next_token(state, text);
    }
    if (*token == REFERENCE) {
        char* reference = read_clause_text(state);
        if (!reference) return false;
        std::free(reference);
        *token = next_token(state, text);
    }
    return true;
}

// The clauses in their order: ENTERPRISE, VARIABLES, DESCRIPTION, REFERENCE, then "::=" and the
// trap number.
bool read_trap_type(CompilerState& state) {
    TrapDefinition& trap = state.trap;
    char text[kTokenSize];
    int32_t token = next_token(state, text);
    if (token != ENTERPRISE) {
        report_message(state, MibMessage::ExpectedKeyword, text, token, "TRAP-TYPE", "ENTERPRISE");
        return false;
    }
    if (!read_enterprise(state, trap)) return false;
    token = next_token(state, text);
    if (token == VARIABLES) {
        if (!read_variables(state)) return false;
        token = next_token(state, text);
    }
    if (!read_trap_texts(state, trap, &token, text)) return false;
    if (token != ASSIGN) {
        report_message(state, MibMessage::ExpectedAssign, text, token, "TRAP-TYPE");
        return false;
    }
    token = next_token(state, text);
    trap.specific = token_to_int(text);
    if (token != NUMBER) {
        report_message(state, MibMessage::ExpectedTrapNumber, text, token);
        return false;
    }
    collect_trap_definition(state);
    return true;
}

// The clauses of a NOTIFICATION-TYPE up to "::=".
bool read_notification_clauses(CompilerState& state, ParseNode* node) {
    TrapDefinition& trap = state.trap;
    char text[kTokenSize];
    for (;;) {
        int32_t token = next_token_past_text(state, text);
        if (token == ASSIGN) return true;
        if (token == END_OF_INPUT) {
            report_message(state, MibMessage::ExpectedAssign, nullptr, token, "NOTIFICATION-TYPE");
            return false;
        }
        if (token == DESCRIPTION) {
            char* description = read_clause_text(state);
            if (!description) return false;
            copy_field(state, trap.description, sizeof trap.description, description,
                       "DESCRIPTION");
            std::free(node->description);
            node->description = description;
        } else if (token == OBJECTS) {
            token = next_token(state, text);
            if (token != LEFT_BRACE) {
                report_message(state, MibMessage::ExpectedObjectsBrace, text, token);
                return false;
            }
            if (!read_name_list(state, false)) return false;
        }
    }
}

}  // namespace

int parse_trap_type(CompilerState& state, const char* name) {
    start_trap_definition(state, name);
    return read_trap_type(state) ? 1 : 0;
}

ParseNode* parse_notification_type(CompilerState& state, const char* name) {
    start_trap_definition(state, name);
    TrapDefinition& trap = state.trap;
    ParseNode* node = new_parse_node(state);
    if (!read_notification_clauses(state, node)) {
        release_parse_node(node);
        return nullptr;
    }
    OidElement elements[kOidElements];
    const int count = read_oid_value(state, elements, kOidElements);
    ParseNode* records = value_records(state, node, elements, count, name, ArcRule::NamedArcs);
    if (records) {
        copy_field(state, trap.enterprise, sizeof trap.enterprise, elements[count - 2].label,
                   "enterprise");
        trap.specific = static_cast<int32_t>(node->subid);
    } else {
        release_parse_node(node);
    }
    collect_trap_definition(state);
    return records;
}
