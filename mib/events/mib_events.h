// The event-definition generator: the trap definitions collected while compiling become alertreg
// command lines, event classes, a variable list and mapping rules.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "mib/compiler/mib_compiler.h"
#include "mib/mib_tree.h"

// The -F text of a trap without a usable summary.
inline constexpr const char* kDefaultEventFormat = "\"$E $G $S $# args: $*\"";
// Argument lists of this many words or more are refused.
constexpr int kTooManyArgumentWords = 20;

// Writes the four texts for every record, in order, and releases them (`records` is left
// empty). Without `commands` nothing is done and the records stay; a null `classes`,
// `variable_list` or `rules` leaves that text out. Trap enterprises and variables are looked up
// under `root`.
void write_event_definitions(const MibNode* root, TrapRecords& records, FILE* commands,
                             FILE* classes, FILE* variable_list, FILE* rules,
                             const char* base_class);

// One alertreg command line. Blank option, status and severity codes are replaced in `record`
// ('A', '0', '1'), so the event class written later sees them. "-T " unless `last`.
void write_alertreg_command(FILE* commands, const MibNode* root, TrapDefinition& record, bool last);

// The words of an "--#ARGUMENTS" text: what follows the first '{', split at blanks, commas and
// '}'. Without a '{' the list is empty and a warning is printed.
std::vector<std::string> split_arguments(const char* arguments);

enum class SummaryConversion { Converted, TooManyArguments };
// The summary with each %s, %u, %x or %d replaced by "$" and the next argument's position + 1.
// The text goes to `converted` in full and to record.converted_summary as far as it fits.
SummaryConversion convert_summary(TrapDefinition& record, std::string& converted);

// A -F text that a shell reads as one word and in which it can expand nothing but the
// placeholders $0..$9, $E, $G, $S, $# and $*: a double-quoted text, blanks around it allowed,
// holding no '"', '`' or '\' (but for the "\n" that joins summary lines) and no other '$'.
bool is_command_format_text(std::string_view text);
// A class or slot name that stays one word in the event classes: an identifier label, blanks
// around it allowed.
bool is_class_word(std::string_view text);
// Tells on standard error that the `directive` text of the trap is not written to `file`, and
// what is done `instead`.
void warn_refused_text(const TrapDefinition& record, const char* directive, const char* file,
                       const char* instead);

void write_event_class(FILE* classes, TrapDefinition& record, const char* base_class);
void write_variable_list(FILE* variable_list, const MibNode* root, const TrapDefinition& record);
void write_mapping_rule(FILE* rules, const MibNode* root, const TrapDefinition& record);
// The msg attribute of a mapping rule.
std::string build_message_text(const TrapDefinition& record);

// Back to the state of a fresh process: the variable-list header not yet written.
void reset_event_generator();

// The identifier of the record's enterprise, a trailing ".0" removed; "" when unknown.
std::string enterprise_oid_text(const MibNode* root, const TrapDefinition& record);
