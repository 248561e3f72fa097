// One PLEXA_CLASS block per trap for the event console, derived from the caller's base class.
#include <cstdlib>

#include "mib/compiler/mib_compiler.h"
#include "mib/events/mib_events.h"
#include "runtime/runtime.h"

void write_event_class(FILE* classes, TrapDefinition& record, const char* base_class) {
    if (!classes) return;
    const char* name = record.name;
    if (record.event_class[0] != '\0') {
        if (is_class_word(record.event_class)) {
            name = record.event_class;
        } else {
            warn_refused_text(record, "--#EVENTCLASS", "classes", "using the trap name");
        }
    }
    PrintFMessage(classes, "\nPLEXA_CLASS :\n");
    PrintFMessage(classes, "        %s ISA %s\n", name, base_class ? base_class : "");
    PrintFMessage(classes, "        DEFINES {\n");
    PrintFMessage(classes, "                severity: default = %s;\n",
                  severity_word(record.severity));
    const int slots = record.slot_count < kTrapSlots ? record.slot_count : kTrapSlots;
    for (int i = 0; i < slots; ++i) {
        // A "--#SLOTMAP" line without words leaves no name; it defines no attribute.
        if (record.slot_names[i] && is_class_word(record.slot_names[i])) {
            PrintFMessage(classes, "                %s : STRING \n", record.slot_names[i]);
        } else if (record.slot_names[i]) {
            warn_refused_text(record, "--#SLOTMAP", "classes", "leaving the slot out");
        }
        // The slot texts are used up here; cleared so that releasing the record later does not
        // free them again.
        std::free(record.slot_names[i]);
        std::free(record.slot_values[i]);
        record.slot_names[i] = nullptr;
        record.slot_values[i] = nullptr;
    }
    PrintFMessage(classes, "        };\nEND\n");
}
