#include <cstdlib>
#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

constexpr const char* kExpectingAssign = "Bad format -- expecting ::=";

// Reads a quoted text after its clause word and drops it: false (reported as `bad_message`) when
// none follows.
bool discard_quoted_text(CompilerState& state, const char* bad_message) {
    char text[kTokenSize];
    const int32_t token = next_token(state, text);
    if (token != QUOTED_TEXT) {
        report_at_line(state, bad_message, text, token);
        return false;
    }
    char* quoted = read_quoted_text(state);
    if (!quoted) return false;
    std::free(quoted);
    return true;
}

// A clause's quoted text, read and dropped: false (reported) when none follows.
bool discard_clause_text(CompilerState& state) {
    char* quoted = read_clause_text(state);
    std::free(quoted);
    return quoted != nullptr;
}

// Skips to "::=": false (reported) at end of input.
bool skip_to_assign(CompilerState& state) {
    char text[kTokenSize];
    for (;;) {
        const int32_t token = next_token_past_text(state, text);
        if (token == ASSIGN) return true;
        if (token == END_OF_INPUT) {
            report_at_line(state, kExpectingAssign, nullptr, token);
            return false;
        }
    }
}

}  // namespace

ParseNode* parse_value_assignment(CompilerState& state, const char* name) {
    char text[kTokenSize];
    const int32_t token = next_token(state, text);
    if (token != ASSIGN) {
        report_message(state, MibMessage::BadFormat, text, token);
        return nullptr;
    }
    return read_value_records(state, new_parse_node(state), name, ArcRule::ChainRule);
}

ParseNode* parse_object_identity(CompilerState& state, const char* name) {
    char text[kTokenSize];
    int32_t token = next_token(state, text);
    if (token != STATUS) {
        report_message(state, MibMessage::BadFormat, text, token);
        return nullptr;
    }
    token = next_token(state, text);
    if (token != CURRENT && token != DEPRECATED && token != OBSOLETE) {
        report_message(state, MibMessage::BadFormat, text, token);
        return nullptr;
    }
    token = next_token(state, text);
    if (token != DESCRIPTION) {
        report_message(state, MibMessage::Bad, text, token, "DESCRIPTION");
        return nullptr;
    }
    if (!discard_clause_text(state)) return nullptr;
    token = next_token(state, text);
    if (token == REFERENCE) {
        if (!discard_clause_text(state)) return nullptr;
        token = next_token(state, text);
    }
    if (token != ASSIGN) {
        report_message(state, MibMessage::BadFormat, text, token);
        return nullptr;
    }
    return read_value_records(state, new_parse_node(state), name, ArcRule::ChainRule);
}

ParseNode* parse_group(CompilerState& state, const char* name) {
    char text[kTokenSize];
    char* description = nullptr;
    for (;;) {
        const int32_t token = next_token_past_text(state, text);
        if (token == ASSIGN) break;
        if (token == END_OF_INPUT) {
            std::free(description);
            report_at_line(state, kExpectingAssign, nullptr, token);
            return nullptr;
        }
        if (token != DESCRIPTION) continue;
        char* quoted = read_clause_text(state);
        if (!quoted) {
            std::free(description);
            return nullptr;
        }
        std::free(description);
        description = quoted;
    }
    ParseNode* records = read_value_records(state, new_parse_node(state), name, ArcRule::NamedArcs);
    if (records) {
        ParseNode* node = records;
        while (node->next) node = node->next;
        node->description = description;
    } else {
        std::free(description);
    }
    return records;
}

ParseNode* parse_module_compliance(CompilerState& state, const char* name) {
    if (!skip_to_assign(state)) return nullptr;
    return read_value_records(state, new_parse_node(state), name, ArcRule::NamedArcs);
}

ParseNode* parse_module_identity(CompilerState& state, const char* name) {
    char text[kTokenSize];
    for (;;) {
        const int32_t token = next_token(state, text);
        if (token == ASSIGN) break;
        if (token == END_OF_INPUT) {
            report_at_line(state, kExpectingAssign, nullptr, token);
            return nullptr;
        }
        if (token == DESCRIPTION || token == LAST_UPDATED || token == ORGANIZATION ||
            token == CONTACT_INFO || token == REVISION) {
            if (!discard_quoted_text(state, "Bad MODULE-IDENTITY optional clause")) return nullptr;
            continue;
        }
        report_message(state, MibMessage::BadOptionalClauses, text, token);
        return nullptr;
    }
    return read_value_records(state, new_parse_node(state), name, ArcRule::NamedArcs);
}

ParseNode* parse_agent_capabilities(CompilerState& state, const char* name) {
    char text[kTokenSize];
    for (;;) {
        const int32_t token = next_token_past_text(state, text);
        if (token == ASSIGN || token == END_OF_INPUT) break;
    }
    return read_value_records(state, new_parse_node(state), name, ArcRule::NamedArcs);
}
