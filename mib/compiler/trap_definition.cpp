#include "mib/compiler/trap_definition.h"

#include "mib/compiler/compiler_internal.h"

#include <cstdlib>
#include <cstring>

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

TrapRecord take_trap_definition(const TrapDefinition& record) {
    auto* copy = static_cast<TrapDefinition*>(compiler_calloc(sizeof(TrapDefinition)));
    std::memcpy(copy, &record, sizeof(TrapDefinition));
    return TrapRecord(copy);
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

void release_trap_texts(CompilerState& state) {
    TrapDefinition& trap = state.trap;
    for (int i = state.slots_owned_from; i < trap.slot_count && i < kTrapSlots; ++i) {
        std::free(trap.slot_names[i]);
        std::free(trap.slot_values[i]);
        trap.slot_names[i] = nullptr;
        trap.slot_values[i] = nullptr;
    }
    for (int i = state.variables_owned_from; i < trap.variable_count && i < kTrapVariables; ++i) {
        std::free(trap.variables[i]);
        trap.variables[i] = nullptr;
    }
    state.slots_owned_from = 0;
    state.variables_owned_from = 0;
}

void start_trap_definition(CompilerState& state, const char* name) {
    release_trap_texts(state);
    reset_trap_definition(state.trap);
    copy_field(state, state.trap.name, sizeof state.trap.name, name, name);
}

void collect_trap_definition(CompilerState& state) {
    if (!state.collect_traps) return;
    const TrapDefinition& trap = state.trap;
    if (static_cast<int>(state.traps.size()) >= kSavedTrapLimit) {
        // The texts stay with the record, so nothing is lost to a leak; the loss is told.
        std::fflush(stdout);
        std::fputs(catalogue_message(MibMessage::TooManyTraps, kSavedTrapLimit, trap.name).c_str(),
                   state.diagnostics);
        return;
    }
    state.traps.push_back(take_trap_definition(trap));
    // The collected copy owns the texts now.
    state.slots_owned_from = trap.slot_count;
    state.variables_owned_from = trap.variable_count;
}
