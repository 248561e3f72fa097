// rowscan: state shared by its start-up, retrieval and output parts.
#pragma once

#include <cstdint>
#include <vector>

#include "appls/extmgr/ttycmds/list_helpers.h"
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

extern Program rowscan_program;

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

    int32_t row_count = 0;
};

extern RowscanState rowscan;

// Title line and headings, before any row.
void print_titles();
// One row, one binding per field in field order; counts every row it is handed.
void print_row(VarBind* row);
// The fallback walk: the row after `previous` (or the first), null when every column has ended.
VarBind* walk_next_row(const uint32_t* table, int32_t table_length, VarBind* previous);
// One GetNext from `start`; the first binding is inside the column (*in_column = 1) or a hole.
ResponsePdu* get_next_in_column(const uint32_t* start, int32_t start_length, const uint32_t* prefix,
                                int32_t prefix_length, int* in_column);
// Asks for the rows in the mode the options chose and ends the process with its status.
[[noreturn]] void retrieve_rows();
