// rowscan: asking the node for the rows (per instance, the whole table, or one binding at a time
// when the whole-table request fails), ending the output and the exit status.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/response_bindings.h"
#include "appls/extmgr/ttycmds/rowscan.h"
#include "runtime/runtime.h"
#include "runtime/snmp/errors.h"
#include "runtime/snmp/snmp.h"

using namespace rowscan_message;
using namespace rowscan_plain_message;

namespace {

std::string plain_message(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string plain_message(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

// The message without its final line end, as the output form's own record of the failure.
std::string without_line_end(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// Ends the output; a `message` (written as it stands on standard error) makes the run fail.
[[noreturn]] void finish(OutputSink& sink, const RowFeed& feed, bool finished,
                         const std::string& message) {
    sink.end({finished, feed.written(), without_line_end(message)});
    if (message.empty()) flush_and_exit(0);
    std::fputs(message.c_str(), stderr);
    flush_and_exit(1);
}

[[noreturn]] void retrieve_instances(OutputSink& sink) {
    RowFeed feed(rowscan, sink);
    for (int32_t k = 0; k < rowscan.instance_count; ++k) {
        const auto& instance = rowscan.instance_ids[k];
        const int result = veloSnmpGetTableEntry(
            rowscan.community, rowscan.node, rowscan.table.data(),
            static_cast<int32_t>(rowscan.table.size()), rowscan.requested.data(),
            static_cast<int32_t>(rowscan.requested.size()), instance.data(),
            static_cast<int32_t>(instance.size()), RowFeed::take_row, &feed);
        if (result < 0) {
            finish(sink, feed, false,
                   rowscan_program.message_text(kCannotGetTable, ZorvsnmpErrString(ZorvsnmpErrno)));
        }
    }
    if (feed.delivered() == 0) {
        finish(sink, feed, true, plain_message(kEmptyOrIncomplete, rowscan_program.name()));
    }
    finish(sink, feed, true, "");
}

// The last failure, with the table left open: what was written stays and is not taken for the
// whole table.
[[noreturn]] void fail_table(OutputSink& sink, const RowFeed& feed) {
    const char* why = ZorvsnmpErrString(ZorvsnmpErrno);
    if (feed.delivered() == 0) {
        finish(sink, feed, false, plain_message(kCouldNotGetTable, rowscan_program.name(), why));
    }
    finish(sink, feed, false,
           plain_message(kTableIncomplete, rowscan_program.name(), feed.delivered(), why));
}

// The one-binding walk, behind the rows already written. False when it failed, or when the table
// gave no row at all (the whole-table request's failure then stands). The row limit counts the
// rows written before, so an agent that never stops answering cannot keep rowscan running.
bool walk_after_failure(RowFeed& feed) {
    const std::vector<uint32_t>& after = feed.last_instance();
    const int result = veloSnmpGetTableOneByOne(
        rowscan.community, rowscan.node, rowscan.table.data(),
        static_cast<int32_t>(rowscan.table.size()), rowscan.requested.data(),
        static_cast<int32_t>(rowscan.requested.size()), after.data(),
        static_cast<int32_t>(after.size()), feed.delivered(), RowFeed::take_row, &feed);
    return result >= 0 && feed.delivered() > 0;
}

[[noreturn]] void retrieve_table(OutputSink& sink) {
    RowFeed feed(rowscan, sink);
    const int result =
        veloSnmpGetTable(rowscan.community, rowscan.node, rowscan.table.data(),
                         static_cast<int32_t>(rowscan.table.size()), rowscan.requested.data(),
                         static_cast<int32_t>(rowscan.requested.size()), RowFeed::take_row, &feed);
    // A walk that passed the row limit is not resumed.
    if (result < 0 && (ZorvsnmpErrno == snmp::kErrTooManyRows || !walk_after_failure(feed))) {
        fail_table(sink, feed);
    }
    if (feed.delivered() == 0) {
        finish(sink, feed, true, rowscan_program.message_text(kNoTableInformation, rowscan.node));
    }
    finish(sink, feed, true, "");
}

}  // namespace

void retrieve_rows(OutputSink& sink) {
    if (rowscan.instance_count > 0 && !rowscan.prefix_mode) retrieve_instances(sink);
    retrieve_table(sink);
}
