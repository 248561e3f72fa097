#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

void report_with_token(uint32_t number, const char* default_text, const char* token_text,
                       int32_t code) {
    const std::string message = catalogue_message(number, default_text);
    report_at_line(message.c_str(), token_text, code);
}

EnumEntry* new_enum_entry(const char* label, int32_t value) {
    auto* entry = static_cast<EnumEntry*>(compiler_calloc(sizeof(EnumEntry)));
    entry->label = compiler_copy_text(label);
    entry->value = value;
    return entry;
}

}  // namespace

int read_enum_list(FILE* stream, EnumEntry** list) {
    EnumEntry** end = list;
    while (*end) end = &(*end)->next;
    char text[kTokenSize];
    for (;;) {
        int32_t token = next_token(stream, text);
        if (token == RIGHT_BRACE) return 1;
        if (token == END_OF_INPUT) {
            report_with_token(0x10001d, "Expected \"}\"", nullptr, token);
            return 0;
        }
        if (token != LABEL) continue;
        EnumEntry* entry = new_enum_entry(text, 0);
        *end = entry;
        end = &entry->next;
        token = next_token(stream, text);
        if (token != LEFT_PAREN) {
            report_with_token(0x10001f, "Expected \"(\"", text, token);
            return 0;
        }
        token = next_token(stream, text);
        if (token != NUMBER && token != NEG_NUMBER) {
            report_with_token(0x10001e, "Expected integer", text, token);
            return 0;
        }
        entry->value = token_to_int(text);
        token = next_token(stream, text);
        if (token != RIGHT_PAREN) {
            report_with_token(0x10001c, "Expected \")\"", text, token);
            return 0;
        }
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

int skip_constraint(FILE* stream) {
    char text[kTokenSize];
    int depth = 1;
    while (depth > 0) {
        const int32_t token = next_token(stream, text);
        if (token == END_OF_INPUT) return 0;
        if (token == LEFT_PAREN) ++depth;
        if (token == RIGHT_PAREN) --depth;
    }
    return 1;
}
