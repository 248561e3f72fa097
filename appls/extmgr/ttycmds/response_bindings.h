// The names of response bindings: identifier comparison and holes (columns without a value).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "runtime/snmp/snmp.h"

using OidSpan = std::span<const uint32_t>;

// The binding's name; empty when it has none.
OidSpan binding_name(const VarBind* binding);

// `name` begins with every sub-identifier of `prefix`.
bool oid_has_prefix(OidSpan name, OidSpan prefix);

// `name` comes after `start` in identifier order.
bool oid_follows(OidSpan name, OidSpan start);

// The binding stands for a column without a value: its name begins with kNullNameLength zeros.
bool is_hole(const VarBind* binding);

// The sub-identifiers in dotted decimal ("1.3.6"); empty for none.
std::string dotted(OidSpan name);
