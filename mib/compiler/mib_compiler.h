// The MIB source compiler: SMI module text to a MibNode tree, with located diagnostics collected
// in a bounded message buffer, and trap collection for the event-definition generator. Each
// compile keeps its state in a MibCompiler; the free functions below share one default compile.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mib/companion.h"
#include "mib/compiler/trap_definition.h"
#include "mib/mib_tree.h"

struct ParseNode;
struct CompilerState;

// One compile with a state of its own: settings, then the parse of a stream, then the link of
// its list. The messages and the collected trap records stay with it until taken. Compiles in
// different objects share nothing.
class MibCompiler {
  public:
    MibCompiler();
    ~MibCompiler();
    MibCompiler(const MibCompiler&) = delete;
    MibCompiler& operator=(const MibCompiler&) = delete;

    // How many lines of the stream are the standard definitions text before the user's modules:
    // messages about them name that text.
    void set_prefix_line_count(int lines);
    // Trap collection for the parses that follow (off at first).
    void collect_traps(bool collect);
    // Where warnings and left-over lists go (standard error at first).
    void set_diagnostics(FILE* stream);

    // As parse_mib_stream and link_parse_nodes.
    ParseNode* parse(FILE* stream);
    // The texts read in place, one after the other as one stream, each released once read.
    ParseNode* parse(std::vector<std::string> texts);
    // How many newlines text `i` of the last parse of texts held.
    size_t newlines_of_text(size_t i) const;
    MibNode* link(ParseNode* list, std::vector<NodeFacts>* facts = nullptr);

    const char* messages() const;
    // The trap records collected so far, handed over in the order met.
    TrapRecords take_traps();

  private:
    std::unique_ptr<CompilerState> state_;
};

// Compiles a file: null when it is not a regular file, cannot be opened, does not parse (then
// "Mib table is bad.\n" ends the message buffer) or links into a refused tree.
MibNode* compile_mib_file(const char* path);
MibNode* compile_mib_file_quietly(const char* path);

// The statement loop over a stream that may hold several modules; null on failure.
ParseNode* parse_mib_stream(FILE* stream);
// The same, with trap collection switched to `collect` (kept for later compiles).
ParseNode* parse_mib_stream_collecting(FILE* stream, int collect, int reserved);
// The trap records the default compile collected, handed over in the order met.
TrapRecords take_collected_traps();
// The tree of a parse list (consumed); null when a duplicate label refused it. With `facts`, also
// the companion's facts of the nodes that the list's definitions place under the root, in OID
// order, each OID once: the modules that define it (in stream order), its syntax's textual
// convention and the hint and SIZE found through the convention chain, a row's INDEX (each
// label resolved as the row's module sees it) and AUGMENTS.
MibNode* link_parse_nodes(ParseNode* list, std::vector<NodeFacts>* facts = nullptr);
// Releases a parse list that will not be linked.
void release_parse_nodes(ParseNode* list);
// How many records a parse list holds.
size_t count_parse_nodes(const ParseNode* list);
void print_parse_nodes(const ParseNode* list);

// The compile message buffer, its limit and the prefix line count.
const char* compile_messages();
void clear_compile_messages();
void set_prefix_line_count(int lines);
void lower_compile_message_limit(int n);

// Texts given to oid_text_of_label and oid_text_in_parse_list hold at most 255 characters.
constexpr int kOidTextSize = 256;

// The dotted sub-identifiers of the node labelled `label`, searched depth-first from `start`.
int oid_text_of_label(const MibNode* root, const MibNode* start, const char* label, char* text);
// The same for the first node labelled `label` from `root` (itself, then depth-first below it),
// as unsigned numbers and of any length; "" when no node has the label.
std::string oid_text_for_label(const MibNode* root, const char* label);
int oid_text_in_parse_list(const ParseNode* list, const char* label, char* text);
void print_children(const MibNode* node, int depth);

// "--#" directive words: "--#SEVERITY" and "--#STATE"/"--#STATUS" arguments to their one-character
// codes, and a severity code back to its event-class word.
char severity_code(const char* word);
char status_code(const char* word);
const char* severity_word(char code);

// How many '\n' bytes `text` holds (its lines, when it ends with one).
size_t count_newlines(std::string_view text);

// A label the compiler accepts: ASCII letters, digits, hyphens and underscores, a letter first.
bool is_identifier_label(const char* text);

// Puts a backslash before every '$' in place; the result holds at most 2047 characters. Returns
// the new length.
int escape_dollars(char* text);
