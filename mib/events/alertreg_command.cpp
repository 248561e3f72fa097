// One alertreg command line per trap: registers the trap with its enterprise, category, state,
// severity and display format.
#include <cstdlib>

#include "mib/events/catalogue_warning.h"
#include "mib/events/mib_events.h"
#include "runtime/runtime.h"

namespace {

// The -F text: the summary, converted when it has an argument list; the default format when
// there is none, when the arguments are too many, or when the text would not reach alertreg
// as one word.
std::string event_format(TrapDefinition& record) {
    if (record.summary[0] == '\0') return kDefaultEventFormat;
    std::string format = record.summary;
    if (record.arguments[0] != '\0' &&
        convert_summary(record, format) == SummaryConversion::TooManyArguments) {
        PrintFMessage(stderr,
                      "Too many arguments in summary string for  trap %s, using default "
                      "format.\n",
                      record.name);
        return kDefaultEventFormat;
    }
    if (!is_command_format_text(format)) {
        warn_refused_text(record, "--#SUMMARY", "commands", "using default format");
        return kDefaultEventFormat;
    }
    return format;
}

}  // namespace

void write_alertreg_command(FILE* commands, const MibNode* root, TrapDefinition& record,
                            bool last) {
    if (!commands) return;
    const char* drive = std::getenv("BRIX_DRIVE");
    if (drive) {
        PrintFMessage(commands, "%s\\usr\\Zorv\\bin\\alertreg -l %s -g %d -s %d ", drive,
                      record.name, record.generic, record.specific);
    } else {
        PrintFMessage(commands, "alertreg -l %s -g %d -s %d ", record.name, record.generic,
                      record.specific);
    }

    if (record.enterprise[0] == '\0') {
        warn_catalogued(MibMessage::NoEnterprise, record.name, record.generic, record.specific);
    } else {
        const std::string identifier = enterprise_oid_text(root, record);
        if (identifier.empty()) {
            PrintFMessage(commands, "-n %s ", record.enterprise);
            warn_catalogued(MibMessage::EnterpriseNotFound, record.name, record.generic,
                            record.specific);
        } else {
            PrintFMessage(commands, "-n %s -i %s ", record.enterprise, identifier.c_str());
        }
    }

    const char* category = record.category[0] == '\0' ? "LOGONLY" : "\"Status Events\"";
    if (record.option_char == kCodeUnset) record.option_char = kDefaultOptionChar;
    if (record.status == kCodeUnset) record.status = kStateDefaults;
    PrintFMessage(commands, "-o %c  -c %s -t %c ", record.option_char, category, record.status);
    if (record.severity == kCodeUnset) record.severity = kSeverityIndeterminate;
    PrintFMessage(commands, "-S %c ", record.severity);
    if (!last) PrintFMessage(commands, "-T ");
    PrintFMessage(commands, "-f - ");

    PrintFMessage(commands, "-F %s \n", event_format(record).c_str());
}
