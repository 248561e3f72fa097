// rowscan: the GetNext walk of its own that takes over when the whole-table request fails.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "appls/extmgr/ttycmds/response_bindings.h"
#include "appls/extmgr/ttycmds/rowscan.h"
#include "runtime/snmp/errors.h"
#include "runtime/snmp/oid_compare.h"
#include "runtime/snmp/snmp.h"

namespace {

uint32_t null_name[kNullNameLength] = {};

void make_hole(VarBind* binding) {
    binding->name = null_name;
    binding->name_length = kNullNameLength;
    binding->type = ASN_NULL;
    binding->value.counter64 = 0;
    binding->next = nullptr;
}

// The response as the end of its column: its first binding a hole. One block, as the transport
// hands out, so that free() releases it.
ResponsePdu* ended_column(ResponsePdu* response) {
    if (response->variables == nullptr) {
        std::free(response);
        const size_t size = sizeof(ResponsePdu) + sizeof(VarBind);
        auto* block = static_cast<char*>(alloc_or_exit(size));
        std::memset(block, 0, size);
        response = reinterpret_cast<ResponsePdu*>(block);
        response->variables = reinterpret_cast<VarBind*>(block + sizeof(ResponsePdu));
    }
    make_hole(response->variables);
    return response;
}

ResponsePdu* failed(ResponsePdu* response, int code) {
    snmp::set_error(code);
    std::free(response);
    return nullptr;
}

}  // namespace

ResponsePdu* get_next_in_column(const uint32_t* start, int32_t start_length, const uint32_t* prefix,
                                int32_t prefix_length, int* in_column) {
    *in_column = 0;
    ResponsePdu* response =
        veloSnmpRequest(snmp::kPduGetNext, rowscan.community, rowscan.node, start, start_length, 0);
    if (response == nullptr) return nullptr;
    // The end of the agent's identifiers ends the column; any other status is a failure.
    if (response->error_status == snmp::kErrNoSuchName) return ended_column(response);
    if (response->error_status != snmp::kErrNoError) {
        return failed(response, response->error_status);
    }
    VarBind* binding = response->variables;
    if (binding == nullptr) return failed(response, snmp::kErrBadResponse);
    const OidSpan name = binding_name(binding);
    if (!oid_follows(name, {start, static_cast<size_t>(start_length)})) {
        return failed(response, snmp::kErrNotIncreasing);
    }
    const OidSpan column{prefix, static_cast<size_t>(prefix_length)};
    if (name.size() <= column.size() || !oid_has_prefix(name, column)) {
        return ended_column(response);
    }
    *in_column = 1;
    binding->next = nullptr;
    return response;
}

FallbackWalk::FallbackWalk(const uint32_t* table, int32_t table_length, const uint32_t* columns,
                           int32_t count)
    : prefix_length_(static_cast<size_t>(table_length) + 1),
      columns_(static_cast<size_t>(count)),
      holes_(static_cast<size_t>(count)) {
    for (int32_t i = 0; i < count; ++i) {
        Column& c = columns_[static_cast<size_t>(i)];
        c.after.assign(table, table + table_length);
        c.after.push_back(columns[i]);
    }
}

FallbackWalk::~FallbackWalk() {
    for (Column& c : columns_) {
        std::free(c.ahead);
        std::free(c.printed);
    }
}

void FallbackWalk::resume_after(const std::vector<uint32_t>& instance) {
    for (Column& c : columns_) {
        c.after.resize(prefix_length_);
        c.after.insert(c.after.end(), instance.begin(), instance.end());
    }
}

bool FallbackWalk::fill_ahead() {
    for (Column& c : columns_) {
        if (c.ended || c.ahead != nullptr) continue;
        int in_column = 0;
        ResponsePdu* response =
            get_next_in_column(c.after.data(), static_cast<int32_t>(c.after.size()), c.after.data(),
                               static_cast<int32_t>(prefix_length_), &in_column);
        if (response == nullptr) return false;
        if (in_column) {
            c.ahead = response;
        } else {
            c.ended = true;
            std::free(response);
        }
    }
    return true;
}

namespace {

int compare_instances(OidSpan a, OidSpan b) {
    return snmp::compare_oids(a.data(), a.size(), b.data(), b.size());
}

}  // namespace

OidSpan FallbackWalk::instance_of(const ResponsePdu* response) const {
    return binding_name(response->variables).subspan(prefix_length_);
}

const ResponsePdu* FallbackWalk::lowest_ahead() const {
    const ResponsePdu* lowest = nullptr;
    for (const Column& c : columns_) {
        if (c.ahead == nullptr) continue;
        if (lowest == nullptr || compare_instances(instance_of(c.ahead), instance_of(lowest)) < 0) {
            lowest = c.ahead;
        }
    }
    return lowest;
}

VarBind* FallbackWalk::walk_next_row() {
    // The row handed out before has been printed.
    for (Column& c : columns_) {
        std::free(c.printed);
        c.printed = nullptr;
    }
    if (failed_) return nullptr;
    if (!fill_ahead()) {
        failed_ = true;
        return nullptr;
    }
    const ResponsePdu* lowest = lowest_ahead();
    if (lowest == nullptr) return nullptr;
    const OidSpan instance = instance_of(lowest);
    VarBind* head = nullptr;
    VarBind** link = &head;
    for (size_t i = 0; i < columns_.size(); ++i) {
        Column& c = columns_[i];
        VarBind* binding = &holes_[i];
        if (c.ahead != nullptr && compare_instances(instance_of(c.ahead), instance) == 0) {
            binding = c.ahead->variables;
            c.after.assign(binding->name, binding->name + binding->name_length);
            c.printed = c.ahead;
            c.ahead = nullptr;
        } else {
            make_hole(binding);
        }
        binding->next = nullptr;
        *link = binding;
        link = &binding->next;
    }
    return head;
}
