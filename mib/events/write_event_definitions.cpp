// Writes the four event-definition texts of every collected trap and empties the collection.
#include "mib/events/catalogue_warning.h"
#include "mib/events/mib_events.h"

void write_event_definitions(const MibNode* root, FILE* commands, FILE* classes,
                             FILE* variable_list, FILE* rules, const char* base_class) {
    if (!commands) return;
    std::vector<TrapDefinition*>& saved = saved_trap_definitions();
    if (saved.empty()) {
        warn_catalogued(MibMessage::NoTrapDefinitions, "MIB");
        return;
    }
    // Taken out first, so a record is released exactly once whatever happens below.
    std::vector<TrapDefinition*> records;
    records.swap(saved);
    for (size_t i = 0; i < records.size(); ++i) {
        TrapDefinition& record = *records[i];
        write_alertreg_command(commands, root, record, i + 1 == records.size());
        write_variable_list(variable_list, root, record);
        write_mapping_rule(rules, root, record);
        write_event_class(classes, record, base_class);
        release_trap_definition(&record);
    }
}
