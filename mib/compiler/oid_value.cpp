#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

constexpr const char* kSubidTooLarge = "Sub-identifier above 4294967295";

// The number of a sub-identifier token: false (reported) when it does not fit 32 bits, so that
// two arcs never end up with one number.
bool read_subid(CompilerState& state, const char* text, int32_t token, uint32_t* number) {
    uint64_t value = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > 0xFFFFFFFFull) {
            report_at_line(state, kSubidTooLarge, text, token);
            return false;
        }
    }
    *number = static_cast<uint32_t>(value);
    return true;
}

// Makes `record` a child of element `prev` of the value: by its label, or by its number when it
// has none; `prev_arc` is the record that element made, if any.
void set_parent(ParseNode* record, const OidElement& prev, ParseNode* prev_arc) {
    if (prev.has_label) {
        std::memcpy(record->parent_label, prev.label, sizeof record->parent_label);
    } else {
        std::snprintf(record->parent_label, sizeof record->parent_label, "%u", prev.number);
    }
    record->parent_arc = prev_arc;
}

// Whether element `i` (not the last) defines a node rather than only naming one.
bool makes_record(const OidElement* elements, int i, ArcRule rule) {
    const OidElement& element = elements[i];
    if (!element.has_label) return true;  // a bare number: the arc of that number
    if (i == 0) return false;             // the label the value starts from
    if (element.has_number) return true;  // name(number)
    return rule == ArcRule::ChainRule && elements[i - 1].has_label;
}

// The record of element `i`, the child of element i - 1 (a leading number is an arc of the root).
ParseNode* arc_record(CompilerState& state, const OidElement* elements, int i,
                      ParseNode* prev_arc) {
    const OidElement& element = elements[i];
    ParseNode* record = new_parse_node(state);
    if (element.has_label) {
        record->kind = element.has_number ? RecordKind::NamedArc : RecordKind::LabelArc;
        std::memcpy(record->label, element.label, sizeof record->label);
    } else {
        record->kind = RecordKind::UnnamedArc;
        std::snprintf(record->label, sizeof record->label, "%u", element.number);
    }
    record->subid = element.has_number ? element.number : 0;
    if (i > 0) set_parent(record, elements[i - 1], prev_arc);
    return record;
}

}  // namespace

int read_oid_value(CompilerState& state, OidElement* elements, int maximum) {
    char text[kTokenSize];
    int32_t token = next_token(state, text);
    if (token != LEFT_BRACE) {
        report_message(state, MibMessage::ExpectedOpenBrace, text, token);
        return 0;
    }
    token = next_token(state, text);
    for (int count = 0; count < maximum; ++count) {
        OidElement& element = elements[count];
        element.has_label = false;
        element.has_number = false;
        element.label[0] = '\0';
        element.number = 0;
        if (token == RIGHT_BRACE) return count;
        if (token == LABEL) {
            if (!accept_label(state, text)) return 0;
            element.has_label = true;
            std::memcpy(element.label, text, sizeof element.label);
            token = next_token(state, text);
            if (token == LEFT_PAREN) {
                token = next_token(state, text);
                if (token != NUMBER) {
                    report_message(state, MibMessage::ExpectedNumber, text, token);
                    return 0;
                }
                if (!read_subid(state, text, token, &element.number)) return 0;
                element.has_number = true;
                token = next_token(state, text);
                if (token != RIGHT_PAREN) {
                    report_message(state, MibMessage::ExpectedValueCloseParen, text, token);
                    return 0;
                }
                token = next_token(state, text);
            }
        } else if (token == NUMBER) {
            if (!read_subid(state, text, token, &element.number)) return 0;
            element.has_number = true;
            token = next_token(state, text);
        } else {
            report_message(state, MibMessage::NotValidFor, text, token, "OBJECT IDENTIFIER");
            return 0;
        }
    }
    return maximum;
}

ParseNode* value_records(CompilerState& state, ParseNode* node, const OidElement* elements,
                         int count, const char* name, ArcRule rule) {
    if (count < 2 || count > kOidElements) {
        report_message(state, MibMessage::NoEndToValue, nullptr, ASSIGN, "OBJECT IDENTIFIER");
        return nullptr;
    }
    ParseNode* arcs = nullptr;
    ParseNode* prev_arc = nullptr;
    for (int i = 0; i + 1 < count; ++i) {
        ParseNode* record =
            makes_record(elements, i, rule) ? arc_record(state, elements, i, prev_arc) : nullptr;
        arcs = append_chain(arcs, record);
        prev_arc = record;
    }
    set_parent(node, elements[count - 2], prev_arc);
    std::strncpy(node->label, name, sizeof node->label - 1);
    node->label[sizeof node->label - 1] = '\0';
    const OidElement& last = elements[count - 1];
    node->subid = 0;
    if (last.has_number) {
        node->subid = last.number;
    } else {
        warn_at_line(state, catalogue_message(MibMessage::NoSubIdentifier).c_str(), name);
    }
    return append_chain(arcs, node);
}

ParseNode* read_value_records(CompilerState& state, ParseNode* node, const char* name,
                              ArcRule rule) {
    OidElement elements[kOidElements];
    const int count = read_oid_value(state, elements, kOidElements);
    ParseNode* records = nullptr;
    if (count == 0 && rule == ArcRule::ChainRule) {
        report_message(state, MibMessage::Bad, nullptr, ASSIGN, "OBJECT IDENTIFIER");
    } else {
        records = value_records(state, node, elements, count, name, rule);
    }
    if (!records) release_parse_node(node);
    return records;
}

ParseNode* append_chain(ParseNode* head, ParseNode* more) {
    if (!head) return more;
    ParseNode* last = head;
    while (last->next) last = last->next;
    last->next = more;
    return head;
}
