#include <cstdlib>
#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

bool takes_enumeration(int32_t syntax) {
    return syntax == INTEGER || syntax == INTEGER32 || syntax == UINTEGER32 || syntax == BITS;
}

bool takes_constraint(int32_t syntax) {
    switch (syntax) {
        case OCTET_STRING:
        case OBJECT_IDENTIFIER:
        case NETWORK_ADDRESS:
        case IP_ADDRESS:
        case COUNTER:
        case GAUGE:
        case TIME_TICKS:
        case OPAQUE:
        case NUL:
        case NSAP_ADDRESS:
        case COUNTER64:
        case OBJECT_IDENTITY:
        case COUNTER32:
        case GAUGE32:
        case UNSIGNED32:
        case LABEL:
            return true;
        default:
            return false;
    }
}

int access_code(int32_t token) {
    switch (token) {
        case READ_ONLY:
            return MIB_ACCESS_READ_ONLY;
        case READ_WRITE:
            return MIB_ACCESS_READ_WRITE;
        case WRITE_ONLY:
            return MIB_ACCESS_WRITE_ONLY;
        case READ_CREATE:
            return MIB_ACCESS_READ_CREATE;
        case NOT_ACCESSIBLE:
        case ACCESSIBLE_FOR_NOTIFY:
            return MIB_ACCESS_NOT_ACCESSIBLE;
        default:
            return -1;
    }
}

bool is_status_word(int32_t token) {
    return token == MANDATORY || token == CURRENT || token == OPTIONAL || token == OBSOLETE ||
           token == DEPRECATED;
}

// The syntax clause from its first token up to the token after it (left in *token): false on
// failure, reported.
bool read_syntax(CompilerState& state, ParseNode* node, int32_t* token, char* text) {
    char syntax_text[kTokenSize];
    int32_t syntax = next_token(state, syntax_text);
    if (syntax == LABEL) {
        read_syntax_convention(state, node, syntax_text);
    } else {
        node->syntax = syntax;
    }
    syntax = node->syntax;
    *token = next_token(state, text);
    // A convention not yet defined may still be an enumeration that the object narrows.
    if (takes_enumeration(syntax) || (syntax == LABEL && *token == LEFT_BRACE)) {
        if (*token == LEFT_BRACE) {
            if (!read_enum_list(state, &node->enums)) return false;
            *token = next_token(state, text);
        } else if (*token == LEFT_PAREN) {
            if (!skip_constraint(state)) {
                report_message(state, MibMessage::ExpectedCloseParen, nullptr, END_OF_INPUT);
                return false;
            }
            *token = next_token(state, text);
        }
    } else if (takes_constraint(syntax)) {
        if (*token == LEFT_PAREN) {
            std::vector<std::string> words;
            if (!skip_constraint(state, &words)) {
                report_message(state, MibMessage::BadSyntax, nullptr, END_OF_INPUT);
                return false;
            }
            std::vector<SizeRange> sizes;
            if (size_ranges(words, sizes)) record_facts(node).sizes = std::move(sizes);
            *token = next_token(state, text);
        }
    } else if (syntax == SEQUENCE) {
        if (*token == OF) {
            next_token(state, text);
            *token = next_token(state, text);
        }
    } else {
        report_message(state, MibMessage::BadSyntax, syntax_text, syntax);
        return false;
    }
    return true;
}

// An INDEX or AUGMENTS clause that names objects as a row's clause does; others are left out.
void keep_row_clause(ParseNode* node, int32_t token, std::string_view body) {
    if (token == INDEX) {
        RecordFacts facts;
        if (index_labels(body, facts)) {
            RecordFacts& kept = record_facts(node);
            kept.index = std::move(facts.index);
            kept.implied = facts.implied;
        }
        return;
    }
    std::string label = augments_label(body);
    if (!label.empty()) record_facts(node).augments = std::move(label);
}

// The clauses from DESCRIPTION on, up to "::=".
bool read_optional_clauses(CompilerState& state, ParseNode* node, char* text) {
    for (;;) {
        const int32_t token = next_token(state, text);
        if (token == ASSIGN) return true;
        if (token == DESCRIPTION || token == REFERENCE) {
            char* quoted = read_clause_text(state);
            if (!quoted) return false;
            if (token == DESCRIPTION) {
                std::free(node->description);
                node->description = quoted;
            } else {
                std::free(quoted);
            }
        } else if (token == INDEX || token == AUGMENTS) {
            std::string body;
            if (!skip_braced_value(state, &body)) {
                report_message_plain(state, MibMessage::Bad, "OBJECT IDENTIFIER");
                return false;
            }
            keep_row_clause(node, token, body);
        } else if (token == DEFVAL || token == NUM_ENTRIES) {
            if (!skip_braced_value(state)) {
                report_message_plain(state, MibMessage::Bad, "OBJECT IDENTIFIER");
                return false;
            }
        } else {
            report_message(state, MibMessage::BadOptionalClauses, text, token);
            return false;
        }
    }
}

// Everything from the syntax clause to "::=".
bool read_object_type(CompilerState& state, ParseNode* node) {
    char text[kTokenSize];
    int32_t token;
    if (!read_syntax(state, node, &token, text)) return false;
    if (token == UNITS) {
        char* units = read_clause_text(state);
        if (!units) return false;
        std::free(units);
        token = next_token(state, text);
    }
    if (token != ACCESS) {
        report_message(state, MibMessage::ShouldBeAccess, text, token, "ACCESS");
        return false;
    }
    token = next_token(state, text);
    const int access = access_code(token);
    if (access < 0) {
        report_message(state, MibMessage::BadAccessType, text, token, "ACCESS");
        return false;
    }
    node->access = access;
    token = next_token(state, text);
    if (token != STATUS) {
        report_message(state, MibMessage::ShouldBeStatus, text, token, "STATUS");
        return false;
    }
    token = next_token(state, text);
    if (!is_status_word(token)) {
        report_message(state, MibMessage::BadStatus, text, token);
        return false;
    }
    return read_optional_clauses(state, node, text);
}

}  // namespace

ParseNode* parse_object_type(CompilerState& state, const char* name) {
    char text[kTokenSize];
    const int32_t token = next_token(state, text);
    if (token != SYNTAX) {
        report_message(state, MibMessage::BadFormatFor, text, token, "OBJECT TYPE");
        return nullptr;
    }
    ParseNode* node = new_parse_node(state);
    if (read_object_type(state, node)) {
        return read_value_records(state, node, name, ArcRule::NamedArcs);
    }
    release_parse_node(node);
    return nullptr;
}
