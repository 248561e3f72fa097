// The value text of a transport binding, through the printer of its node in the loaded tree.
#pragma once

#include <cstdint>

#include "runtime/snmp/snmp.h"

// The binding's value as text, at most `size` bytes with its NUL; form 1 bare, 0 labelled. The
// printer is the one of the binding's node in `Mib`, else the generic one; exceptions read as
// "noSuchObject", "noSuchInstance" and "endOfMibView".
int CMUmib_sprint_value(char* buffer, int32_t size, const VarBind* binding, int form);
