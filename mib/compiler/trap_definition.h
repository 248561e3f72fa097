// The record of a trap or notification definition, as the compiler fills it and the
// event-definition generator writes it out, and the owned lists a compile hands back.
#pragma once

#include <cstdint>
#include <memory>
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

// Counts 0, generic 6, the three codes blank, every text empty; the pointer arrays stay.
void reset_trap_definition(TrapDefinition& record);
// Releases one record made by take_trap_definition, with its heap texts.
void release_trap_definition(TrapDefinition* record);

struct TrapRelease {
    void operator()(TrapDefinition* record) const { release_trap_definition(record); }
};
// An owned record: its heap texts go with it.
using TrapRecord = std::unique_ptr<TrapDefinition, TrapRelease>;
// The records a compile collected, in the order met.
using TrapRecords = std::vector<TrapRecord>;

// A heap copy of `record` that takes over the heap texts it points to.
TrapRecord take_trap_definition(const TrapDefinition& record);