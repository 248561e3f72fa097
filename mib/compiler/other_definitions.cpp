#include <cstdlib>
#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

void report_token(const std::string& message, const char* text, int32_t token) {
    report_at_line(message.c_str(), text, token);
}

// Reads a quoted text after its clause word and drops it: false (reported) when none follows.
bool discard_quoted_text(FILE* stream, const char* bad_message) {
    char text[kTokenSize];
    const int32_t token = next_token(stream, text);
    if (token != QUOTED_TEXT) {
        report_token(bad_message, text, token);
        return false;
    }
    char* quoted = read_quoted_text(stream);
    if (!quoted) return false;
    std::free(quoted);
    return true;
}

std::string bad_description() {
    return catalogue_message(0x100015, "Bad %1", "DESCRIPTION");
}

// Skips to "::=": false (reported) at end of input.
bool skip_to_assign(FILE* stream) {
    char text[kTokenSize];
    for (;;) {
        const int32_t token = next_token(stream, text);
        if (token == ASSIGN) return true;
        if (token == END_OF_INPUT) {
            report_at_line("Bad format -- expecting ::=", nullptr, token);
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
            message = catalogue_message(
                0x100012,
                "No label for parent. Accepted syntax for MODULE-IDENTITY nodes:\n { label1 [ "
                "label2(subid2) ... ] object-subid1 }\n");
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
        report_at_line(catalogue_message(0x100015, "Bad %1", "OBJECT IDENTIFIER").c_str(), nullptr,
                       ASSIGN);
        return nullptr;
    }
    if (count == 1) {
        report_at_line(catalogue_message(0x100011, "No end to %1", "OBJECT IDENTIFIER").c_str(),
                       nullptr, ASSIGN);
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
        report_token(catalogue_message(0x100016, "Bad format"), text, token);
        return nullptr;
    }
    return read_chain(stream, name, false);
}

ParseNode* parse_object_identity(FILE* stream, const char* name, int* obsolete) {
    *obsolete = 0;
    char text[kTokenSize];
    const std::string bad_format = catalogue_message(0x100016, "Bad format");
    int32_t token = next_token(stream, text);
    if (token != STATUS) {
        report_token(bad_format, text, token);
        return nullptr;
    }
    token = next_token(stream, text);
    if (token == DEPRECATED || token == OBSOLETE) {
        *obsolete = 1;
    } else if (token != CURRENT) {
        report_token(bad_format, text, token);
        return nullptr;
    }
    token = next_token(stream, text);
    if (token != DESCRIPTION) {
        report_token(bad_description(), text, token);
        return nullptr;
    }
    if (!discard_quoted_text(stream, bad_description().c_str())) return nullptr;
    token = next_token(stream, text);
    if (token == REFERENCE) {
        if (!discard_quoted_text(stream, bad_description().c_str())) return nullptr;
        token = next_token(stream, text);
    }
    if (token != ASSIGN) {
        report_token(bad_format, text, token);
        return nullptr;
    }
    return read_chain(stream, name, true);
}

ParseNode* parse_group(FILE* stream, const char* name) {
    char text[kTokenSize];
    char* description = nullptr;
    for (;;) {
        const int32_t token = next_token(stream, text);
        if (token == ASSIGN) break;
        if (token == END_OF_INPUT) {
            std::free(description);
            report_at_line("Bad format -- expecting ::=", nullptr, token);
            return nullptr;
        }
        if (token != DESCRIPTION) continue;
        const int32_t next = next_token(stream, text);
        char* quoted = next == QUOTED_TEXT ? read_quoted_text(stream) : nullptr;
        if (!quoted) {
            if (next != QUOTED_TEXT) report_token(bad_description(), text, next);
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
            report_at_line("Bad format -- expecting ::=", nullptr, token);
            return nullptr;
        }
        if (token == DESCRIPTION || token == LAST_UPDATED || token == ORGANIZATION ||
            token == CONTACT_INFO || token == REVISION) {
            if (!discard_quoted_text(stream, "Bad MODULE-IDENTITY optional clause")) return nullptr;
            continue;
        }
        report_token(catalogue_message(0x100017, "Bad format of optional clauses"), text, token);
        return nullptr;
    }
    return read_final_record(stream, name, "MODULE-IDENTITY");
}

ParseNode* parse_agent_capabilities(FILE* stream, const char* name) {
    char text[kTokenSize];
    for (;;) {
        const int32_t token = next_token(stream, text);
        if (token == ASSIGN || token == END_OF_INPUT) break;
    }
    return read_final_record(stream, name, "AGENT-CAPABILITIES");
}
