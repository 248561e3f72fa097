// rowscan: asking the node for the rows (per instance, the whole table, or a GetNext walk of
// its own when the whole-table request fails) and the exit status.
#include <cstdio>
#include <cstring>
#include <vector>

#include "appls/extmgr/ttycmds/response_bindings.h"
#include "appls/extmgr/ttycmds/rowscan.h"
#include "runtime/runtime.h"
#include "runtime/snmp/errors.h"
#include "runtime/snmp/message.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"

using namespace rowscan_message;

namespace {

uint32_t null_name[kNullNameLength] = {0, 0, 0, 0, 0, 0};

void make_hole(VarBind* binding) {
    binding->name = null_name;
    binding->name_length = kNullNameLength;
    binding->type = ASN_NULL;
    binding->next = nullptr;
}

ResponsePdu* hole_response() {
    auto* response = static_cast<ResponsePdu*>(alloc_or_exit(sizeof(ResponsePdu)));
    std::memset(response, 0, sizeof *response);
    response->variables = static_cast<VarBind*>(alloc_or_exit(sizeof(VarBind)));
    std::memset(response->variables, 0, sizeof(VarBind));
    make_hole(response->variables);
    return response;
}

// Per column, the name of the last value the whole-table request delivered, so that a walk after
// its failure goes on behind those rows instead of printing them again.
std::vector<std::vector<uint32_t>> delivered_names;

void print_delivered_row(VarBind* row) {
    print_row(row);
    if (delivered_names.size() < static_cast<size_t>(rowscan.field_count)) {
        delivered_names.resize(static_cast<size_t>(rowscan.field_count));
    }
    size_t i = 0;
    for (const VarBind* binding = row; binding != nullptr && i < delivered_names.size();
         binding = binding->next, ++i) {
        if (binding->name != nullptr && !is_hole(binding)) {
            delivered_names[i].assign(binding->name, binding->name + binding->name_length);
        }
    }
}

// A row to walk on from: the last delivered name of each column, or the column itself.
VarBind* rebuild_delivered_row() {
    if (rowscan.row_count == 0 || delivered_names.empty()) return nullptr;
    VarBind* head = nullptr;
    VarBind** link = &head;
    for (size_t i = 0; i < delivered_names.size(); ++i) {
        auto& name = delivered_names[i];
        if (name.empty()) {
            name = rowscan.table;
            name.push_back(rowscan.columns[i]);
        }
        auto* binding = static_cast<VarBind*>(alloc_or_exit(sizeof(VarBind)));
        std::memset(binding, 0, sizeof *binding);
        binding->name = name.data();
        binding->name_length = static_cast<uint32_t>(name.size());
        *link = binding;
        link = &binding->next;
    }
    return head;
}

void print_entry_row(VarBind* row) {
    print_row(row);
}

}  // namespace

// One GetNext. The first binding of the result is a value inside the column, or a binding with
// the null name when the column has ended, the request failed or the agent did not move forward.
ResponsePdu* get_next_in_column(const uint32_t* start, int32_t start_length, const uint32_t* prefix,
                                int32_t prefix_length, int* in_column) {
    *in_column = 0;
    ResponsePdu* response =
        veloSnmpRequest(snmp::kPduGetNext, rowscan.community, rowscan.node, start, start_length, 0);
    if (response == nullptr || response->error_status != snmp::kErrNoError ||
        response->variables == nullptr) {
        return hole_response();
    }
    VarBind* binding = response->variables;
    const OidSpan name = binding_name(binding);
    const bool inside = oid_has_prefix(name, {prefix, static_cast<size_t>(prefix_length)}) &&
                        oid_follows(name, {start, static_cast<size_t>(start_length)});
    if (inside) {
        *in_column = 1;
        binding->next = nullptr;
    } else {
        make_hole(binding);
    }
    return response;
}

// The row after `previous` (or the first row), one binding per field; null when every column
// has ended. A column that has ended is not asked again.
VarBind* walk_next_row(const uint32_t* table, int32_t table_length, VarBind* previous) {
    std::vector<uint32_t> request(table, table + table_length);
    request.push_back(0);
    const int32_t request_length = table_length + 1;
    VarBind* head = nullptr;
    VarBind* tail = nullptr;
    bool any_in_column = false;
    VarBind* before = previous;
    for (int32_t i = 0; i < rowscan.field_count; ++i) {
        request[table_length] = rowscan.columns[i];
        VarBind* following = before != nullptr ? before->next : nullptr;
        VarBind* binding = nullptr;
        int in_column = 0;
        if (previous == nullptr) {
            binding = get_next_in_column(request.data(), request_length, request.data(),
                                         request_length, &in_column)
                          ->variables;
        } else if (before == nullptr || is_hole(before)) {
            binding = before != nullptr ? before : hole_response()->variables;
        } else {
            binding = get_next_in_column(before->name, static_cast<int32_t>(before->name_length),
                                         request.data(), request_length, &in_column)
                          ->variables;
        }
        binding->next = nullptr;
        if (tail != nullptr) {
            tail->next = binding;
        } else {
            head = binding;
        }
        tail = binding;
        any_in_column = any_in_column || in_column != 0;
        before = following;
    }
    return any_in_column ? head : nullptr;
}

namespace {

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
        std::fprintf(stderr, "%s: requested table was empty or incomplete\n",
                     rowscan_program.name());
        flush_and_exit(1);
    }
    flush_and_exit(0);
}

[[noreturn]] void retrieve_table() {
    const uint32_t* table = rowscan.table.data();
    const auto table_length = static_cast<int32_t>(rowscan.table.size());
    const int result =
        veloSnmpGetTable(rowscan.community, rowscan.node, table, table_length, rowscan.columns,
                         rowscan.field_count, print_delivered_row, 0);
    if (result < 0) {
        // A walk that passed the row limit is not resumed, and the resumed walk keeps that
        // limit, so an agent that never stops answering cannot keep rowscan running.
        const int max_rows = snmp::settings().max_rows;
        VarBind* row = ZorvsnmpErrno == snmp::kErrTooManyRows
                           ? nullptr
                           : walk_next_row(table, table_length, rebuild_delivered_row());
        while (row != nullptr && rowscan.row_count <= max_rows) {
            print_row(row);
            row = walk_next_row(table, table_length, row);
        }
        if (rowscan.row_count > max_rows) ZorvsnmpErrno = snmp::kErrTooManyRows;
        if ((row == nullptr && rowscan.row_count == 0) || ZorvsnmpErrno == snmp::kErrTooManyRows) {
            std::fprintf(stderr, "%s: could not get SNMP table: %s", rowscan_program.name(),
                         ZorvsnmpErrString(ZorvsnmpErrno));
            flush_and_exit(1);
        }
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
