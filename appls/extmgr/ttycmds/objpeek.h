// objpeek: state shared by its start-up, its Gets and its form output.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "appls/extmgr/ttycmds/output_sink.h"
#include "appls/extmgr/ttycmds/program_start.h"
#include "runtime/snmp/snmp.h"

// objpeek's catalogue set: each message's number and default text.
namespace objpeek_message {
inline constexpr ProgramMessage kCouldNotGetObject{1, "Could not get %1: %2\n"},
    kNoValue{2, "<NO VALUE>\n"}, kCouldNotGet{3, "Could not perform SNMP get from %1: %2"},
    kUnknownInstance{4, "ERROR: unknown object id: %1\n"},
    kUnknownObject{5, "ERROR: unknown object id: %1\n"},
    kInvalidInstanceList{6, "ERROR: invalid object list: %1\n"},
    kInvalidObjectList{8, "ERROR: invalid object list: %1\n"},
    kDefaultTitle{9, "User Specified MIB Description for"},
    kMissingNode{10, "ERROR: missing required option, %1\n"},
    kMissingObjects{11, "ERROR: missing required option, %1\n"},
    kStrayArgument{12, "ERROR: invalid parameter, %1\n"},
    kBadOptionArgument{13, "ERROR: invalid or missing argument for option, %1\n"};
}  // namespace objpeek_message

extern Program objpeek_program;

// objpeek's own options, each with an argument; CommandLine adds those both programs take.
inline constexpr const char* kObjpeekOptions[] = {"-obj"};

struct ObjpeekState : CommonOptions {
    int32_t object_count = 0;
    FieldSpec* objects = nullptr;  // identifier = object part followed by the instance part
    int32_t instance_count = 0;
    char** instances = nullptr;  // encoded
    std::string label_format;    // "%-W.Ws \t ", W the longest label
};

extern ObjpeekState objpeek;

struct FreeResponse {
    void operator()(ResponsePdu* response) const { std::free(response); }
};

// What the Get of one object gave.
struct FetchedObject {
    std::unique_ptr<ResponsePdu, FreeResponse> response;  // null: no usable answer
    std::string error;  // the text of the answer's error status, or of the failure
};

// Gets the objects, requests in flight together, and keeps them in list order up to and including
// the first that got no usable answer. An answer that names another object is a failed Get of
// this one: its error status is then snmp::kErrBadResponse, whose text says what it named.
std::vector<FetchedObject> fetch_objects();

// The sink of the form the options chose, for the objects of `state` (which must outlive it).
std::unique_ptr<OutputSink> make_form_sink(const ObjpeekState& state);
std::unique_ptr<OutputSink> make_csv_form_sink(const ObjpeekState& state);
std::unique_ptr<OutputSink> make_json_form_sink(const ObjpeekState& state);

// Prints the form of what was fetched, with a message for each object that gave no value, and
// ends the process with its status.
[[noreturn]] void print_form(const std::vector<FetchedObject>& fetched);
