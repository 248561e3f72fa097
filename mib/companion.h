// The database's companion: facts about the nodes of one MIB database that the database file has
// no room for (the defining modules, the textual convention and DISPLAY-HINT of a syntax, string
// sizes, a row's INDEX or AUGMENTS). It lives beside NAME.bin as NAME.facts and is used only
// together with the exact database it was written for.
//
// Keys. A node is keyed by its object identifier, never by its label: the labels are in the
// database's tree, which the binding guarantees is the tree the facts were written for, so a
// copy here could only repeat them (or, damaged, contradict them). MODULE::label is resolved by
// taking the nodes the module defines here and their labels from the tree (find_in_module). A
// node that several modules define (ifTable in RFC1213-MIB and IF-MIB) lists each of them, so
// that it is found through any; so does an OID that a tree holds under several labels.
//
// Binding. The header holds the size of the database file and a 64-bit digest of all its bytes
// (database_digest; a guard against staleness, not against tampering). A companion whose binding
// differs from the database on disk is stale and never used.
//
// Layout (every integer a big-endian 32-bit word unless said otherwise; a text is a length word
// and its bytes, padded with '-' to a multiple of four, as in the database file):
//   header  "ZorvFcts" (8 bytes), the version word (kCompanionVersion), the database's size and
//           digest (64 bits each, high word first), the digest of the body (64 bits): 36 bytes.
//   body    the text count T, the record count N; T texts; N records.
//   text    every distinct non-empty text the records name (modules, convention names, hints),
//           each once, in the order the records first name them. A record names a text by a
//           word: 0 for the empty text, i for the i-th text (from 1).
//   record  the OID (a length word of 1..128, then the sub-identifiers); the module count and
//           each module's word (never 0); the convention and hint words; the size range count and
//           each range's minimum and maximum; the IMPLIED word (0 or 1, 1 only with an INDEX); the
//           INDEX count and each index object's OID; the AUGMENTS OID (length 0 when none). Records
//           follow in strictly ascending OID order (sub-identifiers compared as unsigned numbers, a
//           prefix before its extensions).
// The body's digest refuses damage that would still parse (a changed hint or number). Behind it
// the reader takes only what the writer writes, so a companion that loads writes back to exactly
// its bytes; anything else (a count the rest cannot hold, a text out of order, repeated or
// holding a NUL, records out of order, bytes after the last record) refuses the file whole.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mib/mib_tree.h"

constexpr uint32_t kCompanionVersion = 1;
constexpr size_t kCompanionHeaderSize = 36;
// The longest object identifier a record holds, and the largest companion file read.
constexpr uint32_t kCompanionMaxOidLength = 128;
constexpr uint64_t kCompanionMaxFileSize = uint64_t{1} << 28;

// One SIZE range of a string syntax, bounds included.
struct SizeRange {
    uint32_t min = 0;
    uint32_t max = 0;
    bool operator==(const SizeRange&) const = default;
};

// What the companion knows of one node. Empty fields are facts not known (or not applicable).
struct NodeFacts {
    std::vector<uint32_t> oid;
    std::vector<std::string> modules;  // the modules that define the node, none empty
    std::string syntax;  // the textual convention of its syntax ("PhysAddress"); empty: none
    std::string hint;    // the DISPLAY-HINT, found through the convention chain
    std::vector<SizeRange> sizes;              // the SIZE ranges, in the order written
    std::vector<std::vector<uint32_t>> index;  // a row's INDEX objects, by OID
    bool implied = false;                      // the last INDEX object is IMPLIED
    std::vector<uint32_t> augments;            // the entry that this entry AUGMENTS

    // The one size a string of this syntax has, when its SIZE allows just one.
    std::optional<uint32_t> fixed_size() const;
    bool operator==(const NodeFacts&) const = default;
};

// The database a companion describes.
struct CompanionBinding {
    uint64_t size = 0;
    uint64_t digest = 0;
    bool operator==(const CompanionBinding&) const = default;
};

enum class CompanionStatus {
    kOk,
    kCannotOpen,    // the companion is missing or cannot be opened
    kNotRegular,    // a FIFO, device or folder: refused before it is opened
    kWrongVersion,  // not a companion, or of another version
    kStale,         // written for another database, or the database changed since
    kCorrupted,     // anything the writer never writes
    kReadFailed,    // a read error or a short read
    kNoMemory,
    kNoDatabase,   // the database it belongs with cannot be read
    kWriteFailed,  // also: facts the reader would refuse
};

// A loaded companion: the facts of every node that has some, each OID once, in ascending OID
// order. The file's bytes are kept as read and a node's facts are built when asked for, so that
// loading costs one pass over the file and no allocation per node.
class Companion {
  public:
    const CompanionBinding& binding() const { return binding_; }
    size_t size() const { return records_.size(); }
    // The facts of the i-th node in OID order (i < size()).
    NodeFacts at(size_t i) const;
    std::vector<NodeFacts> all() const;
    // The facts of the node with exactly this OID.
    std::optional<NodeFacts> find(std::span<const uint32_t> oid) const;
    // The facts of the node that `module` defines (as one of its modules) with label `label`, its
    // label taken from the database's tree (`tree`: its first top-level node). A pass over the
    // records.
    std::optional<NodeFacts> find_in_module(const MibNode* tree, std::string_view module,
                                            std::string_view label) const;

    // Where a text lies in the file.
    struct Text {
        uint32_t at;
        uint32_t length;
    };

  private:
    friend CompanionStatus decode_companion(std::string bytes, const CompanionBinding& expected,
                                            Companion& companion);
    uint32_t word(size_t at) const;
    std::string text(uint32_t word) const;
    // Compares the i-th node's OID with `oid`: below, equal or above zero as it sorts before,
    // equals or sorts after it.
    int compare_oid(size_t i, std::span<const uint32_t> oid) const;

    CompanionBinding binding_;
    std::string bytes_;
    std::vector<Text> texts_;
    std::vector<uint32_t> records_;  // where each record starts in bytes_
};

// The outcome of a read or write: the status and, on failure, one line a program can print.
struct CompanionResult {
    CompanionStatus status = CompanionStatus::kOk;
    std::string message;
    bool ok() const { return status == CompanionStatus::kOk; }
};

// The companion's path for the database at `database_path`: a final ".bin" becomes ".facts";
// any other name gets ".facts" added.
std::string companion_path(std::string_view database_path);
// Where write_companion writes before it renames: the companion's path, ".partial." and the
// process id (a caller that removes partial files on a signal needs the name).
std::string companion_partial_path(std::string_view database_path);

// A fast non-cryptographic 64-bit digest, fed in pieces of any size.
class Digest64 {
  public:
    void update(const void* data, size_t length);
    uint64_t finish() const;

  private:
    void block(const unsigned char* p);
    uint64_t lanes_[4] = {0x9E3779B185EBCA87u, 0xC2B2AE3D27D4EB4Fu, 0x165667B19E3779F9u,
                          0x85EBCA77C2B2AE63u};
    unsigned char pending_[32] = {};
    size_t pending_length_ = 0;
    uint64_t total_ = 0;
};

// The binding of the database file at `path` as it is now: its size and the digest of its bytes.
// False with `result` set (kNoDatabase) when it cannot be read.
bool bind_database(const std::string& path, CompanionBinding& binding, CompanionResult& result);

// The file's bytes for `facts`, bound to `binding`; the facts need not be sorted. False when the
// reader would refuse them (an OID repeated, empty or too long, an INDEX object's OID empty or too
// long, IMPLIED without INDEX, a range whose minimum exceeds its maximum, an empty module name,
// a NUL in a text, a count beyond 32 bits): `why` says which.
bool encode_companion(const std::vector<NodeFacts>& facts, const CompanionBinding& binding,
                      std::string& bytes, std::string& why);
// Writes the binding and the body's digest into the header of `bytes` (at least a header long).
void seal_companion(std::string& bytes, const CompanionBinding& binding);
// The companion in `bytes` when it is whole and bound to `expected`; the status says otherwise
// (and `companion` is then empty).
CompanionStatus decode_companion(std::string bytes, const CompanionBinding& expected,
                                 Companion& companion);

// Writes the companion of the database file at `database_path` (NAME.bin, which must already
// hold its final bytes) beside it and renames it into place, so a reader never sees half a file.
CompanionResult write_companion(const std::string& database_path,
                                const std::vector<NodeFacts>& facts);
// The same, bound to `binding` (of the bytes the database file was written with) instead of
// reading the file back.
CompanionResult write_companion(const std::string& database_path,
                                const std::vector<NodeFacts>& facts,
                                const CompanionBinding& binding);
// write_companion in two steps, for a caller with other work between them: the file's bytes
// (failing as write_companion fails on facts the reader would refuse), then writing them beside
// the target and renaming them into place.
CompanionResult prepare_companion(const std::string& database_path,
                                  const std::vector<NodeFacts>& facts,
                                  const CompanionBinding& binding, std::string& bytes);
CompanionResult place_companion(const std::string& database_path, const std::string& bytes);
// Reads the companion of the database file at `database_path` (NAME.bin) and checks it against
// that file; null with `result` saying why when it is not to be used.
std::unique_ptr<Companion> read_companion(const std::string& database_path,
                                          CompanionResult& result);

// Loads the companion on the first call of get(), never before, and keeps it (or the failure)
// for the later calls; a program prints failure_message() once when a feature needs the facts.
class LazyCompanion {
  public:
    explicit LazyCompanion(std::string database_path) : database_path_(std::move(database_path)) {}
    const Companion* get();
    // The failure of the load, only on the first call after it failed; empty otherwise.
    std::string failure_message();

  private:
    std::string database_path_;
    bool tried_ = false;
    bool reported_ = false;
    std::unique_ptr<Companion> companion_;
    CompanionResult result_;
};
