// What the parts of the MIB source compiler share among themselves: token codes, the parse
// record, the state of one compile and the layer functions, each given that state. Not for
// callers outside this folder (tests excepted).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mib/companion.h"
#include "mib/compiler/labels.h"
#include "mib/compiler/lexer_input.h"
#include "mib/compiler/mib_compiler.h"
#include "mib/compiler/mib_messages.h"
#include "mib/mib_tree.h"
#include "runtime/runtime.h"

// Token codes. Codes with bit 0x80 set are base syntax types.
enum Token : int32_t {
    JOIN_NEXT = -1,
    END_OF_INPUT = 0,
    LABEL = 1,
    SYNTAX = 3,
    SEQUENCE = 14,
    OF = 15,
    OBJECT_TYPE = 16,
    ACCESS = 17,
    READ_ONLY = 18,
    READ_WRITE = 19,
    WRITE_ONLY = 20,
    NOT_ACCESSIBLE = 21,
    STATUS = 22,
    MANDATORY = 23,
    OPTIONAL = 24,
    OBSOLETE = 25,
    ASSIGN = 28,
    NUMBER = 29,
    LEFT_BRACE = 30,
    RIGHT_BRACE = 31,
    LEFT_PAREN = 32,
    RIGHT_PAREN = 33,
    COMMA = 34,
    DESCRIPTION = 35,
    QUOTED_TEXT = 36,
    INDEX = 37,
    DEFVAL = 38,
    DEPRECATED = 39,
    SIZE = 40,
    OBJECT_GROUP = 44,
    NOTIFICATION_TYPE = 45,
    AUGMENTS = 46,
    MODULE_COMPLIANCE = 47,
    READ_CREATE = 48,
    UNITS = 49,
    REFERENCE = 50,
    NUM_ENTRIES = 51,
    MODULE_IDENTITY = 52,
    LAST_UPDATED = 53,
    ORGANIZATION = 54,
    CONTACT_INFO = 55,
    CURRENT = 57,
    DEFINITIONS = 58,
    END = 59,
    SEMICOLON = 60,
    TRAP_TYPE = 61,
    BEGIN = 62,
    IMPORTS = 63,
    EXPORTS = 64,
    ENTERPRISE = 65,
    VARIABLES = 66,
    NOTIFICATION_GROUP = 69,
    ACCESSIBLE_FOR_NOTIFY = 70,
    NEG_NUMBER = 73,
    AGENT_CAPABILITIES = 74,
    OBJECTS = 75,
    REVISION = 77,
    OBJECT_IDENTIFIER = 132,
    OCTET_STRING = 133,
    INTEGER = 134,
    NETWORK_ADDRESS = 135,
    IP_ADDRESS = 136,
    COUNTER = 137,
    GAUGE = 138,
    TIME_TICKS = 139,
    OPAQUE = 140,
    NUL = 141,
    BITS = 169,
    NSAP_ADDRESS = 170,
    COUNTER64 = 171,
    UINTEGER32 = 184,
    INTEGER32 = 195,
    OBJECT_IDENTITY = 196,
    COUNTER32 = 199,
    GAUGE32 = 200,
    UNSIGNED32 = 204,
};

constexpr int32_t kBaseSyntaxBit = 0x80;
// Token codes index tables of this many entries; codes outside name no syntax.
constexpr int kSyntaxCodes = 256;
// The code of a report that concerns no token: never the end-of-file form.
constexpr int32_t kNoTokenCode = -1;
constexpr int kTokenSize = 128;  // a token's text: 127 characters and the NUL
constexpr int kQuotedTextSize = 4096;
constexpr int kDirectiveLineSize = 2048;
constexpr int kMessageBufferSize = 10240;
constexpr int kKeywordCount = 75;
constexpr int kTextualConventions = 2048;
constexpr int kOidElements = 32;
constexpr int kPendingChains = 128;
constexpr size_t kEscapedTextMax = 2047;  // characters of an escape_dollars result

// Where the statement loop stands.
enum class ModuleState { Outside = 1, Inside = 2 };

// The module of a record or convention that stands outside any module.
constexpr int32_t kNoModule = -1;
// How many modules a label is followed through when one module imports it from another that
// imports it in turn.
constexpr int kImportDepth = 8;

// What a record stands for.
enum class RecordKind : int32_t {
    Definition = 0,  // a definition of its own
    NamedArc,        // name(number) inside a value: it states its own parent and number
    LabelArc,        // a bare label after a label (chain rule): it states no number
    UnnamedArc,      // a bare number inside a value: its label is the number
};

struct TextualConvention;

// What a definition says of its row or string that the tree has no room for: the labels of its
// INDEX (the last IMPLIED or not), the entry it AUGMENTS, and its own SIZE ranges.
struct RecordFacts {
    std::vector<std::string> index;
    bool implied = false;
    std::string augments;
    std::vector<SizeRange> sizes;
};

// The parse-time record of one definition, or of one arc of a value.
struct ParseNode {
    ParseNode* next;
    char label[kTokenSize];
    uint32_t subid;
    char parent_label[kTokenSize];
    int32_t syntax;
    int32_t access;
    EnumEntry* enums;
    char* description;
    // Where the record stands, so that labels resolve in its module's scope.
    int32_t module;  // index into CompilerState::modules, or kNoModule
    RecordKind kind;
    ParseNode* parent_arc;  // the record of the arc before it in the same value, when one was made
    // A SYNTAX that names a convention: its entry in CompilerState::convention_records (the
    // name) plus one, 0 for none, and the convention it resolved to while the module was read
    // (null: none yet). Settled when the whole stream has been read.
    int32_t convention_record;
    const TextualConvention* convention;
    int32_t copied_enums;  // how many of `enums`, at their front, are the convention's
    RecordFacts* facts;    // null: none
};

// Maps by text that can be searched with a string_view, without making a string.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
template <class V>
using TextMap = std::unordered_map<std::string, V, TextHash, std::equal_to<>>;

// One module of the stream, as far as resolving its labels needs.
struct ModuleInfo {
    std::string name;
    int begin_line = 0;  // the line of its BEGIN, where a missing END is reported
    bool has_imports = false;
    TextMap<std::string> imports;  // label -> the module it comes from
};

struct KeywordEntry {
    const char* text;
    int length;
    int32_t code;
};

struct TextualConvention {
    int32_t syntax;  // 0: free slot
    char name[kTokenSize];
    EnumEntry* enums;
    int32_t module;  // where it was defined
    // A convention defined as another: that one's name, the one it resolved to while its module
    // was read, how many of `enums` (at their front) are copied from it, and whether settling
    // the stream gave it another.
    char base_name[kTokenSize];
    const TextualConvention* base;
    int32_t copied_enums;
    bool rebased;
};

// What a convention says beyond its syntax: kept beside the table, so that the table's unused
// slots stay untouched.
struct ConventionFacts {
    std::string hint;              // its DISPLAY-HINT, when it has one
    std::vector<SizeRange> sizes;  // its own SIZE ranges
};

// One element of a braced object-identifier value.
struct OidElement {
    bool has_label;
    bool has_number;
    char label[kTokenSize];
    uint32_t number;
};

// Everything one compile keeps between calls: the stream it reads, its messages, the modules,
// conventions and trap records it has met. Two states share nothing.
struct CompilerState {
    CompilerState();
    ~CompilerState();
    CompilerState(const CompilerState&) = delete;
    CompilerState& operator=(const CompilerState&) = delete;

    // lexer
    LexerInput input;  // what the compile reads
    int lookahead = ' ';
    const char* lookahead_mark = nullptr;  // "::=" or ".." that ended the last word
    bool input_stopped = false;            // a NUL byte inside a word ended the reading
    int line = 1;
    int32_t last_token = END_OF_INPUT;
    // messages
    char messages[kMessageBufferSize] = {};
    int message_limit = kMessageBufferSize - 1;
    bool overflow_reported = false;
    const char* overflow_notice = nullptr;
    int overflow_notice_length = 0;
    int prefix_lines = 0;
    // Where warnings and left-over lists go: standard error (a fuzzing harness silences it).
    FILE* diagnostics = stderr;
    // module parser
    ParseNode* head = nullptr;
    ParseNode* tail = nullptr;
    ModuleState module_state = ModuleState::Outside;
    int collect_traps = 0;
    int reserved = 0;
    std::vector<ModuleInfo> modules;
    TextMap<int> module_index;  // name -> first module of that name
    int current_module = kNoModule;
    // textual conventions, and the names of SEQUENCE types (a row's SYNTAX names one). The
    // kTextualConventions slots come zero-filled from the heap, so that a compile touches only
    // the slots it takes.
    struct FreeSlots {
        void operator()(TextualConvention* slots) const { std::free(slots); }
    };
    std::unique_ptr<TextualConvention[], FreeSlots> conventions;
    std::vector<ConventionFacts> convention_facts;  // by slot, as far as slots were taken
    // The slots taken so far are the first ones; each name's slots, in slot order.
    size_t conventions_taken = 0;
    TextMap<std::vector<int>> convention_slots;
    TextMap<int> sequence_types;
    // The records whose SYNTAX names a convention, with the name, as read: in list order, as
    // the parse appends records in the order it reads them.
    struct ConventionRecord {
        ParseNode* node;
        std::string name;
    };
    std::vector<ConventionRecord> convention_records;
    // traps: the record the trap parsers and directives fill, and the copies collected
    TrapDefinition trap;
    TrapRecords traps;
    // trap texts in `trap` that no collected copy has taken over: entries from these indices up
    // to the counts belong to the current record
    int slots_owned_from = 0;
    int variables_owned_from = 0;
};

// The state behind the library's free functions (compile_mib_file, parse_mib_stream, next_token
// without a state, ...): one for the process, never destroyed.
CompilerState& default_compiler_state();

// Memory: out of memory ends the process with kOutOfMemoryStatus.
constexpr int kOutOfMemoryStatus = 12;
[[noreturn]] void out_of_memory();
void* compiler_calloc(size_t size);
char* compiler_copy_text(const char* text);
ParseNode* new_parse_node(CompilerState& state);
void release_parse_node(ParseNode* node);

// The module of `name` in this compile, or kNoModule.
int module_named(CompilerState& state, std::string_view name);

// Keyword table: built once, read only.
int32_t lookup_keyword(const char* text);                 // LABEL when the word is no keyword
int32_t lookup_keyword(const char* text, size_t length);  // `length`: the text's strlen

// Lexer: reads state.input.
void reset_lexer(CompilerState& state);
int32_t next_token(CompilerState& state, char* text);
// The same, except that a quoted text is read and dropped whole (QUOTED_TEXT is returned after
// it): the words of texts met while skipping clauses are never taken for keywords. END_OF_INPUT
// when a text does not end (reported).
int32_t next_token_past_text(CompilerState& state, char* text);
char* read_quoted_text(CompilerState& state);
// The quoted text after a clause word (DESCRIPTION, REFERENCE, UNITS), owned by the caller; null
// when none follows ("Bad DESCRIPTION" is reported) or it does not end.
char* read_clause_text(CompilerState& state);
int32_t skip_braced_value(CompilerState& state);
// The same, keeping in `kept` what stands between the braces, without comments and quoted texts.
int32_t skip_braced_value(CompilerState& state, std::string* kept);

// Directives.
void apply_directive(CompilerState& state, const char* word, const char* argument);

// True for an identifier label; otherwise reports it at the current line and gives false.
bool accept_label(CompilerState& state, const char* label);

// Located messages: `token_text` may be null (no token text); token code END_OF_INPUT gives the
// end-of-file forms.
void report_at_line(CompilerState& state, const char* message, const char* token_text,
                    int32_t token_code);
void warn_at_line(CompilerState& state, const char* message, const char* label);
// Appends `text` to the message `buffer` (at most `limit` characters long); when it does not
// fit, the out-of-space notice is appended instead, once for `state`.
void append_compile_message(CompilerState& state, char* buffer, int limit, const char* text);
// Reports `message`, no token text, at the last token read.
void report_plain(CompilerState& state, const char* message);
// Reports `message`, no token text, at `line` of the stream.
void report_at_given_line(CompilerState& state, const char* message, int line);
// The catalogue text of `message` with its inserts applied.
template <class... A>
std::string catalogue_message(MibMessage message, const A&... inserts);
// Reports catalogue message `message` with its inserts through report_at_line.
template <class... A>
void report_message(CompilerState& state, MibMessage message, const char* token_text,
                    int32_t token_code, const A&... inserts);
// The same without token text, at the last token read.
template <class... A>
void report_message_plain(CompilerState& state, MibMessage message, const A&... inserts);
// Copies `source` into a field of `size` bytes; a cut is told once through warn_at_line.
void copy_field(CompilerState& state, char* field, size_t size, const char* source,
                const char* what);

// Values and records.
int read_oid_value(CompilerState& state, OidElement* elements, int maximum);
// Which elements before the last pair of a value make records of their own: name(number) arcs
// and bare numbers always; with the chain rule (value assignments, OBJECT-IDENTITY) also a bare
// label after a label, with sub-identifier 0.
enum class ArcRule { NamedArcs, ChainRule };
// The arc records of a value, in order (null when none), then `node` as the defined name under
// the element before the last. Null (reported, `node` left to the caller) when the count is out
// of range.
ParseNode* value_records(CompilerState& state, ParseNode* node, const OidElement* elements,
                         int count, const char* name, ArcRule rule);
// Reads the value after "::=" and makes its records with `node` as the defined name; null
// (reported, `node` released) on failure. A value assignment or OBJECT-IDENTITY whose value does
// not read says "Bad OBJECT IDENTIFIER".
ParseNode* read_value_records(CompilerState& state, ParseNode* node, const char* name,
                              ArcRule rule);
// Appends `more` to the chain `head` (either may be null).
ParseNode* append_chain(ParseNode* head, ParseNode* more);

// Enumeration list after "{": appends to *list; 0 on failure (reported).
int read_enum_list(CompilerState& state, EnumEntry** list);
EnumEntry* copy_enum_list(const EnumEntry* list);
// Skips a balanced parenthesised constraint after its "(": 0 when the input ended first.
int skip_constraint(CompilerState& state);
// The same, keeping the texts of the tokens read in `words`.
int skip_constraint(CompilerState& state, std::vector<std::string>* words);

// Record facts. The facts of `node`, made when first asked for.
RecordFacts& record_facts(ParseNode* node);
// The ranges of a constraint's words (after its "(") when it is a SIZE constraint of numbers and
// ranges only: "SIZE ( 0 .. 255 | 6 ) )"; false for any other constraint.
bool size_ranges(const std::vector<std::string>& words, std::vector<SizeRange>& ranges);
// The labels of an INDEX clause's braces; false when they hold anything else.
bool index_labels(std::string_view body, RecordFacts& facts);
// The one label of an AUGMENTS clause's braces, or "".
std::string augments_label(std::string_view body);
// The facts of a convention's slot; null (const) or made (otherwise) when it has none yet.
const ConventionFacts* facts_of_convention(CompilerState& state, const TextualConvention* slot);
ConventionFacts& made_facts_of_convention(CompilerState& state, const TextualConvention* slot);
// A record's textual convention, hint and sizes as its convention chain and its own facts (either
// may be null) give them, each where `facts` has none yet.
void convention_facts(CompilerState& state, const TextualConvention* convention,
                      const RecordFacts* own_facts, NodeFacts& facts);

// Textual conventions.
void clear_textual_conventions(CompilerState& state);
// The convention's syntax and a copy of its enumerations, or LABEL when unknown.
int32_t lookup_textual_convention(CompilerState& state, const char* name, EnumEntry** enums);
// The SYNTAX of `node`, the label `name`: the convention the current module sees so far. The
// state keeps `node` for settling: it must end in the stream's list (a parse that drops a
// record it was given for fails whole, and the next compile forgets it).
void read_syntax_convention(CompilerState& state, ParseNode* node, const char* name);
// Once the whole stream is read: each convention defined as another, then each record's SYNTAX
// convention, as its module sees it (its own, else the one its IMPORTS names, else the first of
// that name); a SYNTAX that is defined nowhere is told. The records of `list` that name a
// convention are those read_syntax_convention has seen since the compile started.
void settle_syntax_conventions(CompilerState& state, ParseNode* list);

// Definition parsers.
ParseNode* parse_object_type(CompilerState& state, const char* name);
int parse_type_assignment(CompilerState& state, const char* name, int32_t* token, char* text);
ParseNode* parse_value_assignment(CompilerState& state, const char* name);
ParseNode* parse_object_identity(CompilerState& state, const char* name);
ParseNode* parse_group(CompilerState& state, const char* name);
ParseNode* parse_module_compliance(CompilerState& state, const char* name);
ParseNode* parse_module_identity(CompilerState& state, const char* name);
ParseNode* parse_agent_capabilities(CompilerState& state, const char* name);
int parse_trap_type(CompilerState& state, const char* name);
ParseNode* parse_notification_type(CompilerState& state, const char* name);

// Linking: the standard nodes every tree starts from (label, sub-identifier, index of the parent;
// listed parents first), and the keys each record is linked by.
struct DefaultNode {
    const char* label;
    uint32_t subid;
    int parent;
};
std::span<const DefaultNode> default_tree();
// The records of a list (in list order) and their keys: a reference resolves to its own module's
// definition, then to the one its IMPORTS names, then to any. Keys are numbers (equal keys, equal
// numbers); the default tree's labels are keys 0, 1, ... in its order, and each key has the
// pending chain its text hashes to. Warns once for each label defined at different places.
// With `facts`, also the companion's facts of every definition that stands under the root, by
// OID, each OID once.
// What the linker takes of each record is read with the keys, in one walk of the list: linking
// then visits no record.
struct LinkRecord {
    ParseNode* record;
    int32_t key;         // the key it is matched by
    int32_t parent_key;  // the key of its parent
    int32_t label;       // its label's number (equal labels, equal numbers)
    uint32_t subid;
    int32_t syntax;
    int32_t access;
    EnumEntry* enums;
    char* description;
    bool dropped;  // it names a node that another record defines: it links nothing
    bool linked;   // its node took its enumerations and description
};
struct LinkKeys {
    Labels labels;  // the default tree's labels first, in its order
    std::vector<int32_t> chain_of_key;
    std::vector<LinkRecord> records;
};
LinkKeys resolve_link_keys(CompilerState& state, ParseNode* list,
                           std::vector<NodeFacts>* facts = nullptr);

// One compile in `state`: the statement loop over the stream (null on failure, reported), the
// tree of its list, the messages. What the free functions of mib_compiler.h do with the
// default state.
ParseNode* parse_mib_stream(CompilerState& state, FILE* stream);
// The same over texts in memory, read one after the other as one stream.
ParseNode* parse_mib_texts(CompilerState& state, std::vector<std::string> texts);
MibNode* link_parse_nodes(CompilerState& state, ParseNode* list,
                          std::vector<NodeFacts>* facts = nullptr);
void clear_compile_messages(CompilerState& state);
void lower_compile_message_limit(CompilerState& state, int n);
// Trap records: `state.trap` releases the texts that no collected copy took over; starts anew
// as `name`; is copied into `state.traps` when collection is on (at most kSavedTrapLimit).
void release_trap_texts(CompilerState& state);
void start_trap_definition(CompilerState& state, const char* name);
void collect_trap_definition(CompilerState& state);
// The lexer and message functions without a state, over the default state (the stream given
// becomes its stream).
void reset_lexer();
int32_t next_token(FILE* stream, char* text);
char* read_quoted_text(FILE* stream);
int32_t skip_braced_value(FILE* stream);
void report_at_line(const char* message, const char* token_text, int32_t token_code);
void warn_at_line(const char* message, const char* label);
void append_compile_message(char* buffer, int limit, const char* text);

// A decimal conversion that never overflows.
int32_t token_to_int(const char* text);

template <class... A>
std::string catalogue_message(MibMessage message, const A&... inserts) {
    const NlArg list[] = {NlArg(inserts)..., NlArg("")};
    std::string out;
    nl_format(out, load_mib_message(message), std::span<const NlArg>(list, sizeof...(A)));
    return out;
}

template <class... A>
void report_message(CompilerState& state, MibMessage message, const char* token_text,
                    int32_t token_code, const A&... inserts) {
    report_at_line(state, catalogue_message(message, inserts...).c_str(), token_text, token_code);
}

template <class... A>
void report_message_plain(CompilerState& state, MibMessage message, const A&... inserts) {
    report_plain(state, catalogue_message(message, inserts...).c_str());
}
