// Directive texts are written only where each stays one word: the -F text of a command line,
// which a shell reads, and the class and slot names of an event class.
#include <string>

#include "mib/events/mib_events.h"
#include "runtime/runtime.h"

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// Blanks around a word only separate it from its neighbours.
std::string_view without_blanks(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

// After a '$' the shell may expand only what alertreg is meant to receive: the variable
// positions of a converted summary and alertreg's own E, G, S, # and *.
bool is_placeholder(char c) {
    return (c >= '0' && c <= '9') || c == 'E' || c == 'G' || c == 'S' || c == '#' || c == '*';
}

}  // namespace

bool is_command_format_text(std::string_view text) {
    text = without_blanks(text);
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
    const std::string_view body = text.substr(1, text.size() - 2);
    for (size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '"' || c == '`' || c == '\n') return false;
        if (c == '\\') {
            // The "\n" that joins several summary lines: inside double quotes the shell keeps a
            // backslash before a letter as it is.
            if (i + 1 == body.size() || body[i + 1] != 'n') return false;
            ++i;
        } else if (c == '$' && (i + 1 == body.size() || !is_placeholder(body[i + 1]))) {
            return false;
        }
    }
    return true;
}

bool is_class_word(std::string_view text) {
    return is_identifier_label(std::string(without_blanks(text)).c_str());
}

void warn_refused_text(const TrapDefinition& record, const char* directive, const char* file,
                       const char* instead) {
    PrintFMessage(stderr, "%s text for trap %s would not stay one word in the %s file, %s.\n",
                  directive, record.name, file, instead);
}
