// Writes the four event-definition texts of every trap record given and releases the records.
#include "mib/events/catalogue_warning.h"
#include "mib/events/mib_events.h"

void write_event_definitions(const MibNode* root, TrapRecords& records, FILE* commands,
                             FILE* classes, FILE* variable_list, FILE* rules,
                             const char* base_class) {
    if (!commands) return;
    if (records.empty()) {
        warn_catalogued(MibMessage::NoTrapDefinitions, "MIB");
        return;
    }
    // Taken out first, so a record is released exactly once whatever happens below.
    TrapRecords writing;
    writing.swap(records);
    for (size_t i = 0; i < writing.size(); ++i) {
        TrapDefinition& record = *writing[i];
        write_alertreg_command(commands, root, record, i + 1 == writing.size());
        write_variable_list(variable_list, root, record);
        write_mapping_rule(rules, root, record);
        write_event_class(classes, record, base_class);
        writing[i].reset();
    }
}
