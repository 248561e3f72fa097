#include "mib/compiler/trap_definition.h"

#include "mib/compiler/compiler_internal.h"

#include <cstdlib>
#include <cstring>

TrapDefinition current_trap = [] {
    TrapDefinition record{};
    reset_trap_definition(record);
    return record;
}();

void reset_trap_definition(TrapDefinition& record) {
    record.specific = 0;
    record.generic = kGenericEnterpriseSpecific;
    record.slot_count = 0;
    record.variable_count = 0;
    record.option_char = kCodeUnset;
    record.severity = kCodeUnset;
    record.status = kCodeUnset;
    record.name[0] = '\0';
    record.event_class[0] = '\0';
    record.enterprise[0] = '\0';
    record.category[0] = '\0';
    record.converted_summary[0] = '\0';
    record.arguments[0] = '\0';
    record.summary[0] = '\0';
    record.description[0] = '\0';
}

std::vector<TrapDefinition*>& saved_trap_definitions() {
    static std::vector<TrapDefinition*> saved;
    return saved;
}

void save_trap_definition(int collect, const TrapDefinition& record) {
    if (!collect) return;
    auto& saved = saved_trap_definitions();
    if (static_cast<int>(saved.size()) >= kSavedTrapLimit) {
        // The texts stay with the record, so nothing is lost to a leak; the loss is told.
        std::fflush(stdout);
        std::fputs(
            catalogue_message(MibMessage::TooManyTraps, kSavedTrapLimit, record.name).c_str(),
            compiler_state().diagnostics);
        return;
    }
    auto* copy = static_cast<TrapDefinition*>(compiler_calloc(sizeof(TrapDefinition)));
    std::memcpy(copy, &record, sizeof(TrapDefinition));
    saved.push_back(copy);
}

void release_trap_definition(TrapDefinition* record) {
    if (!record) return;
    for (int i = 0; i < record->slot_count && i < kTrapSlots; ++i) {
        std::free(record->slot_names[i]);
        std::free(record->slot_values[i]);
    }
    for (int i = 0; i < record->variable_count && i < kTrapVariables; ++i) {
        std::free(record->variables[i]);
    }
    std::free(record);
}

void reset_trap_collection() {
    compiler_state().collect_traps = 0;
    auto& saved = saved_trap_definitions();
    for (TrapDefinition* record : saved) release_trap_definition(record);
    saved.clear();
}
