// The output forms of rowscan and objpeek: rows are handed to a sink, which writes them in its
// form (text, HTML, CSV or JSON). What to ask for, which rows to show and how many there were
// is decided before a sink sees them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "appls/extmgr/ttycmds/response_bindings.h"
#include "runtime/snmp/snmp.h"

// One cell of a row: a value, or none with what stood in its way.
struct SinkCell {
    const VarBind* binding = nullptr;   // null or a hole: no value
    int error_status = 0;               // objpeek: the status of a Get that gave no value
    const char* error = nullptr;        // objpeek: that status's text
    const std::string* text = nullptr;  // when set, the cell's text in place of its value's
};

// How the rows ended.
struct SinkEnd {
    bool finished = false;  // every row was asked for and answered
    int32_t rows = 0;       // the rows handed to the sink with their cells
    std::string error;      // when not empty, the run fails with this message
};

class OutputSink {
  public:
    virtual ~OutputSink() = default;
    // Before any row: titles and headings.
    virtual void begin() = 0;
    // One row, a cell per field in field order; its instance is empty for objpeek's form. A row
    // of no cells is one that the instance filter left out. The cells and their bindings are
    // valid until the next call.
    virtual void row(OidSpan instance, std::span<const SinkCell> cells) = 0;
    // After the last row, also when the rows could not all be had.
    virtual void end(const SinkEnd& end) = 0;
};
