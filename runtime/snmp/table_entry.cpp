// The one row of an instance: one Get of every requested column.
#include <algorithm>
#include <vector>

#include "runtime/snmp/errors.h"
#include "runtime/snmp/exchange.h"
#include "runtime/snmp/oid_compare.h"
#include "runtime/snmp/request_sizing.h"
#include "runtime/snmp/row_merger.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"
#include "runtime/snmp/table_args.h"

namespace snmp {

namespace {

struct EntryRequest {
    const uint32_t* table;
    uint32_t table_length;
    const uint32_t* columns;
    const uint32_t* instance;
    uint32_t instance_length;
    std::vector<uint32_t> names;  // one full name per column, side by side
    uint32_t name_length() const { return table_length + 1 + instance_length; }
    const uint32_t* name(uint32_t c) const { return names.data() + c * name_length(); }
};

// Gets `wanted` (column numbers into the request), as many in one Get as the sizing allows, and
// adds their values to the merger; a column without a value is left out.
bool get_columns(Session& session, const char* community, const EntryRequest& e,
                 std::vector<uint32_t> wanted, RowMerger& merger) {
    thread_local Message request;
    thread_local Message response;
    RequestSizing sizing(static_cast<int>(wanted.size()), answer_budget(session), false);
    size_t done = 0;
    while (done < wanted.size()) {
        const size_t n = std::min(wanted.size() - done, static_cast<size_t>(sizing.bindings()));
        start_request(request, community, kPduGet);
        request.bindings.clear();
        for (size_t k = done; k < done + n; ++k) {
            request.bindings.push_back(Binding{e.name(wanted[k]), e.name_length(), ASN_NULL, {}});
        }
        if (!exchange(session, request, response)) return false;
        const int32_t status = response.error_status;
        if (status == kErrTooBig && sizing.refused(static_cast<int>(n))) continue;
        if (status == kErrNoSuchName) {
            // SNMPv1 names the first binding without a value; ask again without it.
            const int32_t index = response.error_index;
            if (index < 1 || static_cast<size_t>(index) > n) {
                set_error(kErrBadResponse, "error index out of range");
                return false;
            }
            wanted.erase(wanted.begin() + static_cast<ptrdiff_t>(done) + (index - 1));
            continue;
        }
        if (status != kErrNoError) {
            set_error(status);
            return false;
        }
        if (response.bindings.size() != n) {
            set_error(kErrBadResponse, "wrong number of bindings");
            return false;
        }
        for (size_t k = 0; k < n; ++k) {
            const Binding& b = response.bindings[k];
            const uint32_t c = wanted[done + k];
            if (compare_oids(b.name, b.name_length, e.name(c), e.name_length()) != 0) {
                set_error(kErrBadResponse, "answer for another identifier");
                return false;
            }
            if (is_exception_tag(b.tag)) continue;
            merger.add(c, e.instance, e.instance_length, b);
        }
        sizing.answered(static_cast<int>(n), static_cast<int>(n), encoded_size(response), true);
        done += n;
    }
    return true;
}

}  // namespace

}  // namespace snmp

int veloSnmpGetTableEntry(const char* community, const char* node, const uint32_t* table,
                          int32_t table_length, const uint32_t* columns, int32_t column_count,
                          const uint32_t* instance, int32_t instance_length,
                          SnmpRowCallback row_callback, void* context) {
    using namespace snmp;
    if (!valid_table_request(table, table_length, columns, column_count, row_callback) ||
        instance_length < 0 || (instance_length > 0 && !instance)) {
        set_error(kErrBadArgument);
        return -1;
    }
    Session* session = open_session(node);
    if (!session) return -1;
    EntryRequest e{table,    static_cast<uint32_t>(table_length),    columns,
                   instance, static_cast<uint32_t>(instance_length), {}};
    const uint32_t count = static_cast<uint32_t>(column_count);
    e.names.reserve(static_cast<size_t>(count) * e.name_length());
    std::vector<uint32_t> wanted(count);
    for (uint32_t c = 0; c < count; ++c) {
        e.names.insert(e.names.end(), table, table + table_length);
        e.names.push_back(columns[c]);
        e.names.insert(e.names.end(), instance, instance + instance_length);
        wanted[c] = c;
    }
    thread_local RowMerger merger;
    merger.start(table, e.table_length, columns, count);
    if (!get_columns(*session, community, e, std::move(wanted), merger)) return -1;
    for (uint32_t c = 0; c < count; ++c) merger.end_column(c);
    return static_cast<int>(merger.flush(row_callback, context));
}

int veloSnmpGetTableEntry(const char* community, const char* node, const uint32_t* table,
                          int32_t table_length, const uint32_t* columns, int32_t column_count,
                          const uint32_t* instance, int32_t instance_length,
                          SnmpRowFunction row_function, int) {
    snmp::PlainRowFunction plain{row_function};
    return veloSnmpGetTableEntry(community, node, table, table_length, columns, column_count,
                                 instance, instance_length,
                                 row_function ? snmp::PlainRowFunction::call : nullptr, &plain);
}
