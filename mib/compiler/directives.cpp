#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

struct CodeWord {
    const char* word;
    char code;
};

constexpr CodeWord kSeverities[] = {{"CLEARED", '0'}, {"INDETERMINATE", '1'}, {"WARNING", '2'},
                                    {"MINOR", '3'},   {"CRITICAL", '4'},      {"MAJOR", '5'}};

constexpr CodeWord kStates[] = {{"DEFAULTS", '0'},    {"UNKNOWN", '1'},        {"UP", '2'},
                                {"OPERATIONAL", '2'}, {"MARGINAL", '3'},       {"DEGRADED", '3'},
                                {"DOWN", '4'},        {"NONOPERATIONAL", '4'}, {"UNMANAGED", '5'},
                                {"ACKNOWLEDGE", '6'}, {"USER1", '7'},          {"USER2", '8'}};

template <size_t N>
char find_code(const CodeWord (&table)[N], const char* word, char fallback) {
    for (const auto& entry : table) {
        if (std::strcmp(entry.word, word) == 0) return entry.code;
    }
    return fallback;
}

// The next blank-separated word of *text as a heap copy, or null when there is none.
char* next_word(const char** text) {
    const char* p = *text;
    while (*p == ' ') ++p;
    if (!*p) {
        *text = p;
        return nullptr;
    }
    const char* end = p;
    while (*end && *end != ' ') ++end;
    std::string word(p, static_cast<size_t>(end - p));
    *text = end;
    return compiler_copy_text(word.c_str());
}

void add_slot(CompilerState& state, const char* argument) {
    TrapDefinition& trap = state.trap;
    if (trap.slot_count >= kTrapSlots) {
        warn_at_line(state, catalogue_message(MibMessage::TooManySlotMaps).c_str(), "--#SLOTMAP");
        return;
    }
    const char* rest = argument;
    trap.slot_names[trap.slot_count] = next_word(&rest);
    trap.slot_values[trap.slot_count] = next_word(&rest);
    ++trap.slot_count;
}

void add_summary(CompilerState& state, const char* argument) {
    TrapDefinition& trap = state.trap;
    if (!trap.summary[0]) {
        copy_field(state, trap.summary, sizeof trap.summary, argument, "--#SUMMARY");
        return;
    }
    // Several lines form one quoted text: the closing and opening quotes between them give way
    // to a "\n".
    if (char* quote = std::strrchr(trap.summary, '"')) *quote = ' ';
    std::string joined = trap.summary;
    joined += "\\n";
    std::string more = argument;
    const size_t quote = more.find('"');
    if (quote != std::string::npos) more[quote] = ' ';
    joined += more;
    copy_field(state, trap.summary, sizeof trap.summary, joined.c_str(), "--#SUMMARY");
}

}  // namespace

char severity_code(const char* word) {
    return find_code(kSeverities, word, kSeverityIndeterminate);
}

char status_code(const char* word) {
    return find_code(kStates, word, kStateDefaults);
}

const char* severity_word(char code) {
    switch (code) {
        case '0':
            return "NORMAL";
        case '1':
        case '2':
            return "WARNING";
        case '3':
            return "HARMLESS";
        case '4':
            return "CRITICAL";
        case '5':
            return "FATAL";
        default:
            return "1";
    }
}

void apply_directive(CompilerState& state, const char* word, const char* argument) {
    TrapDefinition& trap = state.trap;
    if (std::strcmp(word, "--#GENERIC") == 0) {
        trap.generic = token_to_int(argument);
    } else if (std::strcmp(word, "--#CATEGORY") == 0) {
        copy_field(state, trap.category, sizeof trap.category, argument, word);
    } else if (std::strcmp(word, "--#STATE") == 0 || std::strcmp(word, "--#STATUS") == 0) {
        trap.status = status_code(argument);
    } else if (std::strcmp(word, "--#SEVERITY") == 0) {
        trap.severity = severity_code(argument);
    } else if (std::strcmp(word, "--#ARGUMENTS") == 0) {
        copy_field(state, trap.arguments, sizeof trap.arguments, argument, word);
    } else if (std::strcmp(word, "--#SUMMARY") == 0) {
        add_summary(state, argument);
    } else if (std::strcmp(word, "--#EVENTCLASS") == 0) {
        copy_field(state, trap.event_class, sizeof trap.event_class, argument, word);
    } else if (std::strcmp(word, "--#SLOTMAP") == 0) {
        add_slot(state, argument);
    }
}
