// What both programs print alike: the centred title line and the text of a binding's value.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/snmp/snmp.h"

// An empty line, the title and the node centred about column 40 with `separator` between them,
// and another empty line. A title and node too wide to centre start at the margin.
void print_title_line(const char* title, char separator, const char* node);

// Room for a value's text, its NUL included.
constexpr int32_t kValueTextSize = 32768;

// The binding's value as the library prints it, bare, in one buffer that the next call reuses
// (the caller may change it in place); empty for no binding. Longer text is cut at the buffer.
char* binding_value_text(const VarBind* binding);

// The binding's whole value text into `out`, however long; empty for no binding.
void binding_full_text(const VarBind* binding, std::string& out);
