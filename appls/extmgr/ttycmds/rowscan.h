// rowscan: state shared by its start-up, retrieval and output parts.
#pragma once

#include <cstdint>
#include <vector>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "runtime/snmp/snmp.h"

struct RowscanState {
    const char* program = "rowscan";
    int html = 0;
    int script_escape = 0;
    const char* title = nullptr;
    const char* community = nullptr;
    const char* node = nullptr;

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

// The catalogue text of rowscan's message `number`.
const char* rowscan_message(int number, const char* default_text);
