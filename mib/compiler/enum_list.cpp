#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

EnumEntry* new_enum_entry(const char* label, int32_t value) {
    auto* entry = static_cast<EnumEntry*>(compiler_calloc(sizeof(EnumEntry)));
    entry->label = compiler_copy_text(label);
    entry->value = value;
    return entry;
}

// A word of the source, keyword or not: no punctuation, number or quoted text.
bool is_word(int32_t token) {
    switch (token) {
        case ASSIGN:
        case LEFT_BRACE:
        case RIGHT_BRACE:
        case LEFT_PAREN:
        case RIGHT_PAREN:
        case COMMA:
        case SEMICOLON:
        case NUMBER:
        case NEG_NUMBER:
        case QUOTED_TEXT:
        case END_OF_INPUT:
            return false;
        default:
            return true;
    }
}

}  // namespace

int read_enum_list(CompilerState& state, EnumEntry** list) {
    EnumEntry** end = list;
    while (*end) end = &(*end)->next;
    char text[kTokenSize];
    int32_t token = next_token(state, text);
    for (;;) {
        if (token == RIGHT_BRACE) return 1;
        if (token == END_OF_INPUT) {
            report_message(state, MibMessage::ExpectedCloseBrace, nullptr, token);
            return 0;
        }
        if (!is_word(token)) {
            token = next_token(state, text);
            continue;
        }
        char label[kTokenSize];
        std::memcpy(label, text, sizeof label);
        const bool keyword = token != LABEL;
        token = next_token(state, text);
        // A keyword is a label too when "(" follows (deprecated(6)); otherwise it is passed over.
        if (keyword && token != LEFT_PAREN) continue;
        EnumEntry* entry = new_enum_entry(label, 0);
        *end = entry;
        end = &entry->next;
        if (token != LEFT_PAREN) {
            report_message(state, MibMessage::ExpectedOpenParen, text, token);
            return 0;
        }
        token = next_token(state, text);
        if (token != NUMBER && token != NEG_NUMBER) {
            report_message(state, MibMessage::ExpectedInteger, text, token);
            return 0;
        }
        entry->value = token_to_int(text);
        token = next_token(state, text);
        if (token != RIGHT_PAREN) {
            report_message(state, MibMessage::ExpectedCloseParen, text, token);
            return 0;
        }
        token = next_token(state, text);
    }
}

EnumEntry* copy_enum_list(const EnumEntry* list) {
    EnumEntry* head = nullptr;
    EnumEntry** end = &head;
    for (; list; list = list->next) {
        *end = new_enum_entry(list->label, list->value);
        end = &(*end)->next;
    }
    return head;
}

int skip_constraint(CompilerState& state) {
    return skip_constraint(state, nullptr);
}

int skip_constraint(CompilerState& state, std::vector<std::string>* words) {
    char text[kTokenSize];
    int depth = 1;
    while (depth > 0) {
        const int32_t token = next_token_past_text(state, text);
        if (token == END_OF_INPUT) return 0;
        if (words) words->emplace_back(text);
        if (token == LEFT_PAREN) ++depth;
        if (token == RIGHT_PAREN) --depth;
    }
    return 1;
}
