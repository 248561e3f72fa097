// The MIB support library: tree, intermediate file, initialisation, coercion, identifiers,
// names and values.
#pragma once

#include "mib/coercion.h"
#include "mib/display_hint.h"
#include "mib/index_decode.h"
#include "mib/mib_file.h"
#include "mib/mib_init.h"
#include "mib/mib_tree.h"
#include "mib/mib_value.h"
#include "mib/oid_names.h"
#include "mib/oid_parse.h"
#include "mib/render_value.h"
#include "mib/sprint_value.h"
#include "mib/value_format.h"
