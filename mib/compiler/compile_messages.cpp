#include <cstring>

#include "mib/compiler/compiler_internal.h"

namespace {

constexpr const char* kPrefixFileName = "snmpv2mib";

// The located text of a message at `line` of the stream: in the user's module by its own line,
// in the prefix text by the line of that text. `end_of_file` selects the end-of-file forms.
std::string locate(const CompilerState& state, const char* message, const char* token_text,
                   bool end_of_file, int line) {
    if (line > state.prefix_lines) {
        const int shown = line - state.prefix_lines;
        if (end_of_file) return catalogue_message(MibMessage::LocatedEnd, message, shown);
        if (token_text) {
            return catalogue_message(MibMessage::LocatedToken, message, token_text, shown);
        }
        return catalogue_message(MibMessage::Located, message, shown);
    }
    if (end_of_file) {
        return catalogue_message(MibMessage::LocatedEndInPrefix, message, line, kPrefixFileName);
    }
    if (token_text) {
        return catalogue_message(MibMessage::LocatedTokenInPrefix, message, token_text, line,
                                 kPrefixFileName);
    }
    return catalogue_message(MibMessage::LocatedInPrefix, message, line, kPrefixFileName);
}

}  // namespace

void append_compile_message(CompilerState& state, char* buffer, int limit, const char* text) {
    if (!state.overflow_notice) {
        state.overflow_notice = load_mib_message(MibMessage::OutOfMessageSpace);
        state.overflow_notice_length = static_cast<int>(std::strlen(state.overflow_notice));
    }
    const int length = static_cast<int>(std::strlen(buffer));
    const int room = limit > length ? limit - length : 0;
    const int notice = state.overflow_notice_length;
    if (room <= notice) return;
    const size_t text_length = std::strlen(text);
    if (text_length < static_cast<size_t>(room - notice)) {
        std::memcpy(buffer + length, text, text_length + 1);
    } else if (!state.overflow_reported) {
        std::memcpy(buffer + length, state.overflow_notice, static_cast<size_t>(notice) + 1);
        state.overflow_reported = true;
    }
}

void report_at_line(CompilerState& state, const char* message, const char* token_text,
                    int32_t token_code) {
    // After a NUL byte stopped the reading, what the parsers say about the missing rest adds
    // nothing.
    if (state.input_stopped) return;
    const std::string located =
        locate(state, message, token_text, token_code == END_OF_INPUT, state.line);
    append_compile_message(state, state.messages, state.message_limit, located.c_str());
}

void warn_at_line(CompilerState& state, const char* message, const char* label) {
    const std::string located = locate(state, message, label, false, state.line);
    std::fflush(stdout);
    std::fputs(located.c_str(), state.diagnostics);
}

void report_plain(CompilerState& state, const char* message) {
    report_at_line(state, message, nullptr, state.last_token);
}

void report_at_given_line(CompilerState& state, const char* message, int line) {
    if (state.input_stopped) return;
    const std::string located = locate(state, message, nullptr, false, line);
    append_compile_message(state, state.messages, state.message_limit, located.c_str());
}

void copy_field(CompilerState& state, char* field, size_t size, const char* source,
                const char* what) {
    const size_t length = std::strlen(source);
    if (length < size) {
        std::memcpy(field, source, length + 1);
        return;
    }
    std::memcpy(field, source, size - 1);
    field[size - 1] = '\0';
    const std::string message = catalogue_message(MibMessage::TextCut, static_cast<int>(size - 1));
    warn_at_line(state, message.c_str(), what);
}

void clear_compile_messages(CompilerState& state) {
    state.messages[0] = '\0';
    state.overflow_reported = false;
}

void lower_compile_message_limit(CompilerState& state, int n) {
    if (state.message_limit > n) state.message_limit = n - 1;
}
