// rowscan: state shared by its start-up, retrieval and output parts.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "appls/extmgr/ttycmds/output_sink.h"
#include "appls/extmgr/ttycmds/program_start.h"
#include "appls/extmgr/ttycmds/value_hints.h"
#include "mib/index_decode.h"
#include "runtime/snmp/snmp.h"

// rowscan's catalogue set: each message's number and default text.
namespace rowscan_message {
inline constexpr ProgramMessage kNoTableInformation{1, "No table information returned from: %1"},
    kCannotGetTable{2, "Cannot get SNMP table\n%1\n"},
    kUnknownField{4, "ERROR: unknown field id: %1\n"},
    kInvalidInstanceList{6, "ERROR: invalid object list: %1\n"},
    kInvalidFieldList{7, "ERROR: invalid field list: %1\n"},
    kUnknownTable{8, "ERROR: unknown table id: %1\n"},
    kDefaultTitle{9, "User Specified MIB Table for"},
    kMissingNode{10, "ERROR: missing required option, %1\n"},
    kMissingFields{11, "ERROR: missing required option, %1\n"},
    kMissingTable{12, "ERROR: missing required option, %1\n"},
    kStrayArgument{13, "ERROR: invalid parameter, %1\n"},
    kBadOptionArgument{14, "ERROR: invalid or missing argument for option, %1\n"};
}  // namespace rowscan_message

// rowscan's messages outside the catalogue: printf formats, the program name first.
namespace rowscan_plain_message {
inline constexpr char kEmptyOrIncomplete[] = "%s: requested table was empty or incomplete\n",
                      kCouldNotGetTable[] = "%s: could not get SNMP table: %s",
                      kTableIncomplete[] = "%s: the table is incomplete after row %d: %s\n";
}  // namespace rowscan_plain_message

extern Program rowscan_program;

// rowscan's own options, each with an argument; CommandLine adds those both programs take.
inline constexpr const char* kRowscanOptions[] = {"-table", "-fields"};

struct RowscanState : CommonOptions {
    std::vector<uint32_t> table;  // the table entry's identifier

    int32_t field_count = 0;
    FieldSpec* fields = nullptr;
    uint32_t* columns = nullptr;  // the column number of each field, in field order

    int32_t instance_count = 0;
    char** instances = nullptr;  // encoded
    bool prefix_mode = false;
    // Each instance's sub-identifiers, in list order; any number, any length. In prefix mode
    // they are the prefixes (an empty one matches every row).
    std::vector<std::vector<uint32_t>> instance_ids;

    // Index fields: a field may show a component of each row's INDEX, decoded from the instance,
    // rather than a column the agent is asked for.
    std::vector<int32_t> field_component;  // per field: its component, or -1
    bool index_known = false;              // index_objects looked up
    std::string index_failure;             // why the companion cannot be used, until it is told
    bool index_implied = false;            // the last one is IMPLIED
    std::vector<std::vector<uint32_t>> index_objects;  // the INDEX objects, in INDEX order
    std::vector<IndexComponent> components;   // how each is decoded; built for an index field
    std::deque<std::string> component_hints;  // the hints the components view
    // The columns asked of the agent: the ordinary fields' in field order or, when every field
    // is an index field, the entry's first readable column, walked for its instances only.
    std::vector<uint32_t> requested;
};

// The INDEX component that the field names (by the identifier it `resolved` to, when not null,
// else by its label), the components built on the first; -1 when it names none. The entry's
// INDEX (or that of the entry it AUGMENTS) comes from the database's companion, loaded on the
// first call. When it cannot be used no field is an index field, and its reason is printed once
// for a field that names an object (`resolved` not null).
int32_t resolve_index_field(const FieldSpec& field, const std::vector<uint32_t>* resolved);
// Whether `ids` names an INDEX object that is not-accessible: shown as an index field.
bool is_hidden_index_object(const std::vector<uint32_t>& ids);
// Fills `requested` once every field is resolved; false when nothing of the table can be walked.
bool plan_requests();

extern RowscanState rowscan;

// The sink of the form the options chose, for the fields of `state` (which must outlive it).
std::unique_ptr<OutputSink> make_table_sink(const RowscanState& state);
std::unique_ptr<OutputSink> make_csv_table_sink(const RowscanState& state);
std::unique_ptr<OutputSink> make_json_table_sink(const RowscanState& state);

// Hands the rows of a walk to the sink: counts every row, and in prefix mode gives a row that no
// prefix matches without its cells.
class RowFeed {
  public:
    RowFeed(const RowscanState& state, OutputSink& sink);

    // One row, one binding per field in field order.
    void take(VarBind* row);
    // take() as a row callback of the table calls, the feed being the context.
    static void take_row(VarBind* row, void* feed);

    int32_t delivered() const { return delivered_; }  // every row taken
    int32_t written() const { return written_; }      // rows handed over with their cells
    // The instance of the last row taken; empty before the first.
    const std::vector<uint32_t>& last_instance() const { return last_instance_; }

  private:
    bool wanted(OidSpan instance) const;
    // The cells of the row's fields from the bindings of the requested columns.
    void fill_cells(const VarBind* row);
    // Pairs each InetAddress column with its InetAddressType field.
    void pair_address_types();
    // The text of field i's value by its hint (an InetAddress by its type's, from the row).
    bool render_hinted(int32_t i, const VarBind* binding, const VarBind* row, std::string& out);

    const RowscanState& state_;
    OutputSink& sink_;
    int32_t delivered_ = 0;
    int32_t written_ = 0;
    std::vector<uint32_t> last_instance_;
    std::vector<SinkCell> cells_;
    std::optional<ValueHints> hints_;
    std::vector<const MibNode*> column_nodes_;  // per field: its column's node, with -hints
    std::vector<std::string> column_hints_;     // per field: that node's hint
    // Per field: for an InetAddress column, the field of the InetAddressType column that says
    // what it holds (the nearest such column before it, when it is a field too); else -1.
    std::vector<int32_t> address_type_field_;
    std::vector<int32_t> binding_position_;  // per field: its binding's place in a row
    std::vector<IndexValue> values_;
    std::vector<std::string> texts_;  // per field: its text when it is not the binding's
    std::vector<VarBind> decoded_;    // per index field: a binding of its value's type
};

// Asks for the rows in the mode the options chose, hands them to `sink` (begun already), ends
// it and the process with its status.
[[noreturn]] void retrieve_rows(OutputSink& sink);
