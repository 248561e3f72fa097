// The "--#SUMMARY" text rewritten for alertreg: printf conversions become $n references to the
// trap's variables, in the order the "--#ARGUMENTS" list gives.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "mib/events/catalogue_warning.h"
#include "mib/events/mib_events.h"
#include "runtime/runtime.h"

namespace {

// A word's variable position: its leading number as atoi reads it; a word that is not a
// number, or one too large to name a variable, counts as 0.
long position_of(const std::string& word) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 10);
    if (end == word.c_str() || errno == ERANGE || value >= INT_MAX || value <= INT_MIN) return 0;
    return value;
}

bool is_conversion(char c) {
    return c == 's' || c == 'u' || c == 'x' || c == 'd';
}

}  // namespace

std::vector<std::string> split_arguments(const char* arguments) {
    std::vector<std::string> words;
    const char* text = arguments ? arguments : "";
    const char* brace = std::strchr(text, '{');
    if (!brace) {
        warn_catalogued(MibMessage::NoArgumentList, "ARGUMENTS", text);
        return words;
    }
    std::string word;
    for (const char* p = brace + 1;; ++p) {
        const char c = *p;
        if (c == '\0' || c == ' ' || c == '\t' || c == ',' || c == '}') {
            if (!word.empty()) words.push_back(word);
            word.clear();
            if (c == '\0') break;
        } else {
            word += c;
        }
    }
    return words;
}

SummaryConversion convert_summary(TrapDefinition& record, std::string& converted) {
    const std::vector<std::string> words = split_arguments(record.arguments);
    if (static_cast<int>(words.size()) >= kTooManyArgumentWords)
        return SummaryConversion::TooManyArguments;
    converted.clear();
    if (words.empty()) {
        converted = record.summary;
    } else {
        size_t next = 0;
        for (const char* p = record.summary; *p; ++p) {
            if (p[0] == '%' && is_conversion(p[1])) {
                if (next < words.size()) {
                    converted += '$';
                    converted += std::to_string(position_of(words[next++]) + 1);
                }
                ++p;  // the conversion letter
                continue;
            }
            converted += *p;
        }
    }
    // The record keeps what fits; the command line is written from the whole text.
    const size_t room = sizeof(record.converted_summary) - 1;
    const size_t n = converted.size() < room ? converted.size() : room;
    converted.copy(record.converted_summary, n);
    record.converted_summary[n] = '\0';
    return SummaryConversion::Converted;
}
