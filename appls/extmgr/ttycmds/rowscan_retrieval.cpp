// rowscan: asking the node for the rows (per instance, the whole table, or a GetNext walk of
// its own when the whole-table request fails) and the exit status.
#include <cstddef>
#include <cstdio>
#include <vector>

#include "appls/extmgr/ttycmds/response_bindings.h"
#include "appls/extmgr/ttycmds/rowscan.h"
#include "runtime/runtime.h"
#include "runtime/snmp/errors.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"

using namespace rowscan_message;
using namespace rowscan_plain_message;

namespace {

// The instance of the last row the whole-table request delivered, so that a walk after its
// failure goes on behind the rows printed instead of printing them again.
std::vector<uint32_t> last_delivered;

void print_delivered_row(VarBind* row) {
    print_row(row);
    const size_t prefix = rowscan.table.size() + 1;
    for (const VarBind* binding = row; binding != nullptr; binding = binding->next) {
        const OidSpan name = binding_name(binding);
        if (!is_hole(binding) && name.size() > prefix) {
            last_delivered.assign(name.begin() + static_cast<ptrdiff_t>(prefix), name.end());
            return;
        }
    }
}

void print_entry_row(VarBind* row) {
    print_row(row);
}

[[noreturn]] void retrieve_instances() {
    for (int32_t k = 0; k < rowscan.instance_count; ++k) {
        const auto& instance = rowscan.instance_ids[k];
        const int result = veloSnmpGetTableEntry(
            rowscan.community, rowscan.node, rowscan.table.data(),
            static_cast<int32_t>(rowscan.table.size()), rowscan.columns, rowscan.field_count,
            instance.data(), static_cast<int32_t>(instance.size()), print_entry_row, 0);
        if (result < 0) {
            rowscan_program.report(kCannotGetTable, ZorvsnmpErrString(ZorvsnmpErrno));
            flush_and_exit(1);
        }
    }
    printTableTag(rowscan.html, 1);
    if (rowscan.row_count == 0) {
        std::fprintf(stderr, kEmptyOrIncomplete, rowscan_program.name());
        flush_and_exit(1);
    }
    flush_and_exit(0);
}

// The last failure, with the table left open: what was printed stays and is not taken for the
// whole table.
[[noreturn]] void fail_table() {
    const char* why = ZorvsnmpErrString(ZorvsnmpErrno);
    if (rowscan.row_count == 0) {
        std::fprintf(stderr, kCouldNotGetTable, rowscan_program.name(), why);
    } else {
        std::fprintf(stderr, kTableIncomplete, rowscan_program.name(), rowscan.row_count, why);
    }
    flush_and_exit(1);
}

// The fallback walk, behind the rows already printed. False when it failed, or when the table
// gave no row at all (the whole-table request's failure then stands).
bool walk_after_failure() {
    FallbackWalk walk(rowscan.table.data(), static_cast<int32_t>(rowscan.table.size()),
                      rowscan.columns, rowscan.field_count);
    if (rowscan.row_count > 0) walk.resume_after(last_delivered);
    // The walk keeps the row limit, so an agent that never stops answering cannot keep
    // rowscan running.
    const int max_rows = snmp::settings().max_rows;
    while (VarBind* row = walk.walk_next_row()) {
        print_row(row);
        if (rowscan.row_count > max_rows) {
            snmp::set_error(snmp::kErrTooManyRows);
            return false;
        }
    }
    return !walk.failed() && rowscan.row_count > 0;
}

[[noreturn]] void retrieve_table() {
    const int result = veloSnmpGetTable(rowscan.community, rowscan.node, rowscan.table.data(),
                                        static_cast<int32_t>(rowscan.table.size()), rowscan.columns,
                                        rowscan.field_count, print_delivered_row, 0);
    // A walk that passed the row limit is not resumed.
    if (result < 0 && (ZorvsnmpErrno == snmp::kErrTooManyRows || !walk_after_failure())) {
        fail_table();
    }
    printTableTag(rowscan.html, 1);
    if (rowscan.row_count == 0) {
        rowscan_program.fail(kNoTableInformation, rowscan.node);
    }
    flush_and_exit(0);
}

}  // namespace

void retrieve_rows() {
    if (rowscan.instance_count > 0 && !rowscan.prefix_mode) retrieve_instances();
    retrieve_table();
}
