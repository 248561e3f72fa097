#include <cstdlib>
#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

constexpr const char* kExpectingAssign = "Bad format -- expecting ::=";

// Reads a quoted text after its clause word and drops it: false (reported as `bad_message`) when
// none follows.
bool discard_quoted_text(FILE* stream, const char* bad_message) {
    char text[kTokenSize];
    const int32_t token = next_token(stream, text);
    if (token != QUOTED_TEXT) {
        report_at_line(bad_message, text, token);
        return false;
    }
    char* quoted = read_quoted_text(stream);
    if (!quoted) return false;
    std::free(quoted);
    return true;
}

// A clause's quoted text, read and dropped: false (reported) when none follows.
bool discard_clause_text(FILE* stream) {
    char* quoted = read_clause_text(stream);
    std::free(quoted);
    return quoted != nullptr;
}

// Skips to "::=": false (reported) at end of input.
bool skip_to_assign(FILE* stream) {
    char text[kTokenSize];
    for (;;) {
        const int32_t token = next_token_past_text(stream, text);
        if (token == ASSIGN) return true;
        if (token == END_OF_INPUT) {
            report_at_line(kExpectingAssign, nullptr, token);
            return false;
        }
    }
}

// The value and the final-record rule; null (reported) on failure.
ParseNode* read_final_record(FILE* stream, const char* name, const char* macro) {
    OidElement elements[kOidElements];
    const int count = read_oid_value(stream, elements, kOidElements);
    ParseNode* node = new_parse_node();
    if (!apply_final_record_rule(node, elements, count, name)) {
        release_parse_node(node);
        return nullptr;
    }
    if (macro && !elements[count - 2].has_label) {
        std::string message;
        if (std::strcmp(macro, "MODULE-IDENTITY") == 0) {
            message = catalogue_message(MibMessage::NoParentLabel);
        } else {
            message =
                "No label for parent. Accepted syntax for AGENT-CAPABILITIES nodes:\n { label1 [ "
                "label2(subid2) ... ] object-subid1 }\n";
        }
        report_at_line(message.c_str(), name, compiler_state().last_token);
        release_parse_node(node);
        return nullptr;
    }
    return node;
}

// The value of a value assignment or OBJECT-IDENTITY by the chain rule.
ParseNode* read_chain(FILE* stream, const char* name, bool keep_unlabelled_parent) {
    OidElement elements[kOidElements];
    const int count = read_oid_value(stream, elements, kOidElements);
    if (count == 0) {
        report_message(MibMessage::Bad, nullptr, ASSIGN, "OBJECT IDENTIFIER");
        return nullptr;
    }
    if (count == 1) {
        report_message(MibMessage::NoEndToValue, nullptr, ASSIGN, "OBJECT IDENTIFIER");
        return nullptr;
    }
    ParseNode* chain = chain_rule_records(elements, count);
    const OidElement& parent = elements[count - 2];
    const OidElement& last = elements[count - 1];
    if (parent.has_label) {
        ParseNode* node = new_parse_node();
        apply_final_record_rule(node, elements, count, name);
        return append_chain(chain, node);
    }
    if (keep_unlabelled_parent && last.has_number) {
        // Kept without labels; the linker lists it as left over.
        ParseNode* node = new_parse_node();
        node->subid = last.number;
        return append_chain(chain, node);
    }
    return chain;
}

}  // namespace

ParseNode* parse_value_assignment(FILE* stream, const char* name) {
    char text[kTokenSize];
    const int32_t token = next_token(stream, text);
    if (token != ASSIGN) {
        report_message(MibMessage::BadFormat, text, token);
        return nullptr;
    }
    return read_chain(stream, name, false);
}

ParseNode* parse_object_identity(FILE* stream, const char* name) {
    char text[kTokenSize];
    int32_t token = next_token(stream, text);
    if (token != STATUS) {
        report_message(MibMessage::BadFormat, text, token);
        return nullptr;
    }
    token = next_token(stream, text);
    if (token != CURRENT && token != DEPRECATED && token != OBSOLETE) {
        report_message(MibMessage::BadFormat, text, token);
        return nullptr;
    }
    token = next_token(stream, text);
    if (token != DESCRIPTION) {
        report_message(MibMessage::Bad, text, token, "DESCRIPTION");
        return nullptr;
    }
    if (!discard_clause_text(stream)) return nullptr;
    token = next_token(stream, text);
    if (token == REFERENCE) {
        if (!discard_clause_text(stream)) return nullptr;
        token = next_token(stream, text);
    }
    if (token != ASSIGN) {
        report_message(MibMessage::BadFormat, text, token);
        return nullptr;
    }
    return read_chain(stream, name, true);
}

ParseNode* parse_group(FILE* stream, const char* name) {
    char text[kTokenSize];
    char* description = nullptr;
    for (;;) {
        const int32_t token = next_token_past_text(stream, text);
        if (token == ASSIGN) break;
        if (token == END_OF_INPUT) {
            std::free(description);
            report_at_line(kExpectingAssign, nullptr, token);
            return nullptr;
        }
        if (token != DESCRIPTION) continue;
        char* quoted = read_clause_text(stream);
        if (!quoted) {
            std::free(description);
            return nullptr;
        }
        std::free(description);
        description = quoted;
    }
    ParseNode* node = read_final_record(stream, name, nullptr);
    if (node) {
        node->description = description;
    } else {
        std::free(description);
    }
    return node;
}

ParseNode* parse_module_compliance(FILE* stream, const char* name) {
    if (!skip_to_assign(stream)) return nullptr;
    return read_final_record(stream, name, nullptr);
}

ParseNode* parse_module_identity(FILE* stream, const char* name) {
    char text[kTokenSize];
    for (;;) {
        const int32_t token = next_token(stream, text);
        if (token == ASSIGN) break;
        if (token == END_OF_INPUT) {
            report_at_line(kExpectingAssign, nullptr, token);
            return nullptr;
        }
        if (token == DESCRIPTION || token == LAST_UPDATED || token == ORGANIZATION ||
            token == CONTACT_INFO || token == REVISION) {
            if (!discard_quoted_text(stream, "Bad MODULE-IDENTITY optional clause")) return nullptr;
            continue;
        }
        report_message(MibMessage::BadOptionalClauses, text, token);
        return nullptr;
    }
    return read_final_record(stream, name, "MODULE-IDENTITY");
}

ParseNode* parse_agent_capabilities(FILE* stream, const char* name) {
    char text[kTokenSize];
    for (;;) {
        const int32_t token = next_token_past_text(stream, text);
        if (token == ASSIGN || token == END_OF_INPUT) break;
    }
    return read_final_record(stream, name, "AGENT-CAPABILITIES");
}
