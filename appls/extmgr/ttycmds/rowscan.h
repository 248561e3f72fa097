// rowscan: state shared by its start-up, retrieval and output parts.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "appls/extmgr/ttycmds/output_sink.h"
#include "appls/extmgr/ttycmds/program_start.h"
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
};

extern RowscanState rowscan;

// The sink of the form the options chose, for the fields of `state` (which must outlive it).
std::unique_ptr<OutputSink> make_table_sink(const RowscanState& state);
std::unique_ptr<OutputSink> make_csv_table_sink(const RowscanState& state);
std::unique_ptr<OutputSink> make_json_table_sink(const RowscanState& state);

// Hands the rows of a walk to the sink: counts every row, and in prefix mode gives a row that no
// prefix matches without its cells.
class RowFeed {
  public:
    RowFeed(const RowscanState& state, OutputSink& sink) : state_(state), sink_(sink) {}

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

    const RowscanState& state_;
    OutputSink& sink_;
    int32_t delivered_ = 0;
    int32_t written_ = 0;
    std::vector<uint32_t> last_instance_;
    std::vector<SinkCell> cells_;
};

// Asks for the rows in the mode the options chose, hands them to `sink` (begun already), ends
// it and the process with its status.
[[noreturn]] void retrieve_rows(OutputSink& sink);
