// The MIB intermediate file (module mib_cud): a big-endian binary image of the whole tree.
#pragma once

#include "mib/mib_tree.h"

enum MibFileStatus : int32_t {
    MIB_FILE_OK = 0,
    MIB_FILE_CANNOT_OPEN = 1,
    MIB_FILE_WRONG_VERSION = 2,
    MIB_FILE_NO_MEMORY = 3,
    MIB_FILE_READ_FAILED = 4,
    MIB_FILE_WRITE_FAILED = 5,
    MIB_FILE_CORRUPTED = 7,
};

// Writes the header and `node` with its subtree and every peer after it. 0 on success, 1 on
// failure with the status set.
int write_mib_file(const char* path, const MibNode* node);
// Reads a whole tree, parents set and printers attached; null on failure with the status set.
MibNode* read_mib_file(const char* path);
// The message for the status of the last operation, naming `path` (null or empty: the default
// file). Valid until the next call.
const char* mib_file_message(const char* path);
// The status and saved system error number of the last operation.
MibFileStatus mib_file_status();
int mib_file_errno();

// The pause before the one further attempt at a damaged file is one second. Tests and the
// fuzzer shorten it; the programs never change it.
void set_mib_file_retry_pause(unsigned seconds);
