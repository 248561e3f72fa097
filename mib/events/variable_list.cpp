// The trap variables' labels with their numeric identifiers, under one header for the process.
#include "mib/events/mib_events.h"
#include "runtime/runtime.h"

namespace {
bool header_written = false;
}

void write_variable_list(FILE* variable_list, const MibNode* root, const TrapDefinition& record) {
    if (!variable_list) return;
    const int count =
        record.variable_count < kTrapVariables ? record.variable_count : kTrapVariables;
    for (int i = 0; i < count; ++i) {
        if (!header_written) {
            header_written = true;
            PrintFMessage(variable_list, "\n# \"%s\"\t \"%s\"", record.enterprise,
                          enterprise_oid_text(root, record).c_str());
        }
        const char* label = record.variables[i] ? record.variables[i] : "";
        PrintFMessage(variable_list, "\n\"%s\"\t \"%s\"", label,
                      oid_text_for_label(root, label).c_str());
    }
}

void reset_event_generator() {
    header_written = false;
}
