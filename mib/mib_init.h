// Finding, loading and refreshing the MIB intermediate file into `Mib`.
#pragma once

class LazyCompanion;

// "MIBDBV2" if set, else "/usr/Zorv/conf/snmpv2mib"; read once per process.
const char* mib_base_path();
// The base path followed by ".bin".
const char* mib_file_path();
// Makes `Mib` hold a tree loaded from the current file: 0 when it does, -1 when no tree could be
// loaded. Reloads only when the file (or an enabled coercion file) changed since the last load.
// While no load has succeeded every call reads the file again, but the reader's pause and
// further attempt at a damaged file are spent only when the file changed (modification time,
// size or inode) since the load last failed. After -1, mib_file_message tells why: a file that
// could not be reached is reported as one that could not be opened.
int refresh_mib();
// refresh_mib, or "Couldn't find mib file: %s\n" and exit status 2.
int refresh_mib_or_exit();
// Starts over as a new process would: the tree in `Mib` is released (`Mib` becomes null) and the
// paths (texts handed out before) and the load time are forgotten, so the next call reads
// "MIBDBV2" again and loads afresh. For tests, and for programs that change the environment.
void reset_mib_init();
// The companion of the database at mib_file_path(), loaded when first asked for; forgotten by
// reset_mib_init.
LazyCompanion& mib_companion();
