// The type-coercion file: site overrides of object types, applied after every load.
#pragma once

// Enables (non-zero) or disables use of the file; returns `flag`.
int set_coercion_enabled(int flag);
int coercion_enabled();
// "ZORVMIBCOERCEFILE" if set, else "/usr/Zorv/conf/mib.coerce"; read once per process.
const char* coercion_file_path();
// Applies the file to `Mib`; nothing when disabled.
void apply_coercion_file();
// Starts over as a new process would: the file is disabled and its path (the text handed out
// before) forgotten, so that it is read from "ZORVMIBCOERCEFILE" again. For tests, and for
// programs that change the environment.
void reset_coercion();
