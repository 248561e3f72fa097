// The MIB intermediate file (module mib_cud): a big-endian binary image of the whole tree.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mib/mib_tree.h"

enum MibFileStatus : int32_t {
    MIB_FILE_OK = 0,
    MIB_FILE_CANNOT_OPEN = 1,
    MIB_FILE_WRONG_VERSION = 2,
    MIB_FILE_NO_MEMORY = 3,
    MIB_FILE_READ_FAILED = 4,
    MIB_FILE_WRITE_FAILED = 5,
    MIB_FILE_CORRUPTED = 7,
    MIB_FILE_NOT_REGULAR = 8,  // a FIFO, device or folder: refused before it is opened
};

// The deepest level a file holds: a top-level node is at level 1, so a node's level is the
// length of its object identifier.
constexpr int kMibFileMaxDepth = 128;

// Whether a damaged tree gets its one further attempt, after a pause of one second.
enum class MibFileRetry {
    kAfterPause,  // for a file that may be in the middle of being rewritten
    kNone,        // the file is known to be unchanged since it last failed
};

// What a write put in the file: its size, the digest of its bytes (the companion's Digest64, as
// it binds a database) and the number of node records.
struct MibFileWritten {
    uint64_t size = 0;
    uint64_t digest = 0;
    size_t nodes = 0;
};

// Writes the header and `node` with its subtree and every peer after it (any file at `path` is
// removed first). 0 on success, 1 on failure with the status set. `written`, when given, tells
// what the file holds after a success.
int write_mib_file(const char* path, const MibNode* node, MibFileWritten* written = nullptr);
// The first node, in file order, that lies deeper than kMibFileMaxDepth below `node` and its
// peers (which are at level 1); null when the whole tree can be written.
const MibNode* mib_file_too_deep(const MibNode* node);

// Reads a whole tree, parents set and printers attached; null on failure with the status set.
// Only a regular file is read, and only a file that the writer could have written: a byte after
// the last record, a flag word other than 0 or 1, a padding byte other than '-', a NUL inside a
// text or a description flagged but empty makes the file inconsistent (status 7). The reader
// never reads past what the records need and the size the file had when it was opened.
MibNode* read_mib_file(const char* path, MibFileRetry retry = MibFileRetry::kAfterPause);
// The message for the status of the last operation, naming `path` (null or empty: the default
// file). Valid until the next call.
const char* mib_file_message(const char* path);
// The status and saved system error number of the last operation.
MibFileStatus mib_file_status();
int mib_file_errno();
// Records that the file could not be reached before any read was tried (its status query
// failed with `error`): status 1, so that mib_file_message says why no tree is loaded.
void note_mib_file_unreachable(int error);

// What the pause before the further attempt does; by default it sleeps the given seconds. Tests
// and the fuzzer replace it (null restores the sleep); the programs never change it.
using MibFilePause = void (*)(unsigned seconds);
void set_mib_file_pause(MibFilePause pause);
