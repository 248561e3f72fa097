#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

constexpr const char* kSubidTooLarge = "Sub-identifier above 4294967295";

// The number of a sub-identifier token: false (reported) when it does not fit 32 bits, so that
// two arcs never end up with one number.
bool read_subid(const char* text, int32_t token, uint32_t* number) {
    uint64_t value = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > 0xFFFFFFFFull) {
            report_at_line(kSubidTooLarge, text, token);
            return false;
        }
    }
    *number = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

int read_oid_value(FILE* stream, OidElement* elements, int maximum) {
    char text[kTokenSize];
    int32_t token = next_token(stream, text);
    if (token != LEFT_BRACE) {
        report_message(MibMessage::ExpectedOpenBrace, text, token);
        return 0;
    }
    token = next_token(stream, text);
    for (int count = 0; count < maximum; ++count) {
        OidElement& element = elements[count];
        element.has_label = false;
        element.has_number = false;
        element.label[0] = '\0';
        element.number = 0;
        if (token == RIGHT_BRACE) return count;
        if (token == LABEL) {
            element.has_label = true;
            std::memcpy(element.label, text, sizeof element.label);
            token = next_token(stream, text);
            if (token == LEFT_PAREN) {
                token = next_token(stream, text);
                if (token != NUMBER) {
                    report_message(MibMessage::ExpectedNumber, text, token);
                    return 0;
                }
                if (!read_subid(text, token, &element.number)) return 0;
                element.has_number = true;
                token = next_token(stream, text);
                if (token != RIGHT_PAREN) {
                    report_message(MibMessage::ExpectedValueCloseParen, text, token);
                    return 0;
                }
                token = next_token(stream, text);
            }
        } else if (token == NUMBER) {
            if (!read_subid(text, token, &element.number)) return 0;
            element.has_number = true;
            token = next_token(stream, text);
        } else {
            report_message(MibMessage::NotValidFor, text, token, "OBJECT IDENTIFIER");
            return 0;
        }
    }
    return maximum;
}

int apply_final_record_rule(ParseNode* node, const OidElement* elements, int count,
                            const char* name) {
    if (count < 2 || count > kOidElements) {
        report_message(MibMessage::NoEndToValue, nullptr, ASSIGN, "OBJECT IDENTIFIER");
        return 0;
    }
    const OidElement& parent = elements[count - 2];
    const OidElement& last = elements[count - 1];
    std::memcpy(node->parent_label, parent.label, sizeof node->parent_label);
    std::strncpy(node->label, name, sizeof node->label - 1);
    node->label[sizeof node->label - 1] = '\0';
    node->subid = 0;
    if (last.has_number) {
        node->subid = last.number;
    } else {
        warn_at_line(catalogue_message(MibMessage::NoSubIdentifier).c_str(), name);
    }
    return 1;
}

ParseNode* chain_rule_records(const OidElement* elements, int count) {
    ParseNode* head = nullptr;
    ParseNode* tail = nullptr;
    for (int i = 0; i + 2 < count; ++i) {
        const OidElement& first = elements[i];
        const OidElement& second = elements[i + 1];
        if (!first.has_label || (!second.has_label && !second.has_number)) continue;
        ParseNode* node = new_parse_node();
        std::memcpy(node->parent_label, first.label, sizeof node->parent_label);
        std::memcpy(node->label, second.label, sizeof node->label);
        node->subid = second.has_number ? second.number : 0;
        if (tail) {
            tail->next = node;
        } else {
            head = node;
        }
        tail = node;
    }
    return head;
}

ParseNode* append_chain(ParseNode* head, ParseNode* more) {
    if (!head) return more;
    ParseNode* last = head;
    while (last->next) last = last->next;
    last->next = more;
    return head;
}
