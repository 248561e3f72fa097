// The trap or notification definition being compiled, and the list of saved copies that the
// event-definition generator writes out.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kTrapSlots = 20;
constexpr int kTrapVariables = 64;
constexpr int kSavedTrapLimit = 8192;

// The generic trap number of an enterprise-specific trap, kept unless "--#GENERIC" says otherwise.
constexpr int32_t kGenericEnterpriseSpecific = 6;
// A blank option, severity or state code is one that nothing set; the generator writes the
// defaults below in its place.
constexpr char kCodeUnset = ' ';
constexpr char kDefaultOptionChar = 'A';
constexpr char kSeverityIndeterminate = '1';  // also the code of an unknown severity word
constexpr char kStateDefaults = '0';          // also the code of an unknown state word

// Text fields hold at most their size minus one characters.
struct TrapDefinition {
    int32_t specific;
    int32_t generic;
    int32_t slot_count;
    char option_char;
    char severity;
    char status;
    char name[64];
    char event_class[64];
    char enterprise[127];
    char category[32];
    char converted_summary[255];
    char arguments[64];
    char summary[512];
    char* slot_values[kTrapSlots];
    char* slot_names[kTrapSlots];
    char description[2048];
    int32_t variable_count;
    char* variables[kTrapVariables];
};

// The record the compiler's trap parsers fill.
extern TrapDefinition current_trap;

// Counts 0, generic 6, the three codes blank, every text empty; the pointer arrays stay.
void reset_trap_definition(TrapDefinition& record);
// When `collect` is non-zero, keeps a copy of the record (at most kSavedTrapLimit); the copy
// takes over the heap texts the record points to.
void save_trap_definition(int collect, const TrapDefinition& record);
// The saved copies, in the order saved.
std::vector<TrapDefinition*>& saved_trap_definitions();
// Releases one saved copy with its heap texts.
void release_trap_definition(TrapDefinition* record);
// Switches trap collection off and releases every saved copy, as a fresh process has it.
void reset_trap_collection();
