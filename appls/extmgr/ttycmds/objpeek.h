// objpeek: state shared by its start-up and its form output.
#pragma once

#include <cstdint>
#include <string>

#include "appls/extmgr/ttycmds/list_helpers.h"

struct ObjpeekState {
    const char* program = "objpeek";
    int html = 0;
    int script_escape = 0;
    const char* title = nullptr;
    const char* community = nullptr;
    const char* node = nullptr;
    int32_t object_count = 0;
    FieldSpec* objects = nullptr;  // identifier = object part followed by the instance part
    int32_t instance_count = 0;
    char** instances = nullptr;  // encoded
    std::string label_format;    // "%-W.Ws \t ", W the longest label
};

extern ObjpeekState objpeek;

// The catalogue text of objpeek's message `number`.
const char* objpeek_message(int number, const char* default_text);

// Fetches every object, prints the form and ends the process with its status.
[[noreturn]] void print_form();
