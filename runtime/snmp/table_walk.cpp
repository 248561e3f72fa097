// The whole table: every requested column walked together (GetBulk under SNMPv2c, GetNext under
// SNMPv1) and merged into rows.
#include <algorithm>
#include <vector>

#include "runtime/snmp/errors.h"
#include "runtime/snmp/exchange.h"
#include "runtime/snmp/row_merger.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"
#include "runtime/snmp/table_args.h"

namespace snmp {

namespace {

// Agents commonly answer at most this many bindings; asking for more only gets cut short.
constexpr int kUsualBindingLimit = 64;
// A column with this many values waiting for the other columns is not asked again until they
// catch up, so that memory stays bounded when columns cover different stretches of instances.
constexpr size_t kMaxWaiting = 256;

struct ColumnWalk {
    std::vector<uint32_t> last;  // the name to continue from; the column prefix at first
    uint32_t prefix_length = 0;
};

int compare_ids(const uint32_t* a, size_t na, const uint32_t* b, size_t nb) {
    const size_t n = std::min(na, nb);
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

class TableWalk {
  public:
    TableWalk(const uint32_t* table, int32_t table_length, const uint32_t* columns, int32_t count)
        : count_(static_cast<uint32_t>(count)), walks_(static_cast<size_t>(count)) {
        merger_.start(table, static_cast<uint32_t>(table_length), columns, count_);
        for (uint32_t c = 0; c < count_; ++c) {
            walks_[c].last.assign(table, table + table_length);
            walks_[c].last.push_back(columns[c]);
            walks_[c].prefix_length = static_cast<uint32_t>(table_length) + 1;
        }
    }

    int run(Session& session, const char* community, SnmpRowFunction row_function);

  private:
    // The live columns for the next request, taken in turn when not all fit in one.
    void choose_group();
    // One binding of column `c`; false with the error recorded when the agent went backwards.
    bool take(uint32_t c, const Binding& b);

    uint32_t count_;
    std::vector<ColumnWalk> walks_;
    RowMerger merger_;
    std::vector<uint32_t> group_;
    uint32_t next_start_ = 0;
    uint32_t max_group_ = 0;
};

void TableWalk::choose_group() {
    group_.clear();
    // After a flush some live column has nothing waiting, so the group is empty only when every
    // column has ended.
    for (uint32_t k = 0; k < count_ && group_.size() < max_group_; ++k) {
        const uint32_t c = (next_start_ + k) % count_;
        if (!merger_.ended(c) && merger_.waiting(c) < kMaxWaiting) group_.push_back(c);
    }
    if (!group_.empty()) next_start_ = (group_.back() + 1) % count_;
}

bool TableWalk::take(uint32_t c, const Binding& b) {
    ColumnWalk& w = walks_[c];
    if (is_exception_tag(b.tag)) {
        merger_.end_column(c);
        return true;
    }
    if (compare_ids(b.name, b.name_length, w.last.data(), w.last.size()) <= 0) {
        set_error(kErrNotIncreasing);
        return false;
    }
    const bool inside = b.name_length > w.prefix_length &&
                        std::equal(w.last.begin(), w.last.begin() + w.prefix_length, b.name);
    if (!inside) {
        merger_.end_column(c);
        return true;
    }
    merger_.add(c, b.name + w.prefix_length, b.name_length - w.prefix_length, b);
    w.last.assign(b.name, b.name + b.name_length);
    return true;
}

int TableWalk::run(Session& session, const char* community, SnmpRowFunction row_function) {
    const Settings& config = settings();
    const bool bulk = config.version != kVersion1;
    thread_local Message request;
    thread_local Message response;
    start_request(request, community, bulk ? kPduGetBulk : kPduGetNext);
    max_group_ = count_;
    int repetition_cap = config.max_repetitions > 0 ? config.max_repetitions : 1 << 30;
    int delivered = 0;
    for (;;) {
        choose_group();
        if (group_.empty()) break;
        const uint32_t m = static_cast<uint32_t>(group_.size());
        int repetitions = 1;
        if (bulk) {
            repetitions = config.max_repetitions > 0
                              ? config.max_repetitions
                              : std::max(1, kUsualBindingLimit / static_cast<int>(m));
            repetitions = std::min(repetitions, repetition_cap);
            request.error_status = 0;  // non-repeaters
            request.error_index = repetitions;
        }
        request.bindings.clear();
        for (uint32_t c : group_) {
            const ColumnWalk& w = walks_[c];
            request.bindings.push_back(
                Binding{w.last.data(), static_cast<uint32_t>(w.last.size()), ASN_NULL, {}});
        }
        if (!exchange(session, request, response)) return -1;

        if (response.error_status == kErrTooBig) {
            // Smaller answers: fewer repetitions first, then fewer columns per request.
            if (bulk && repetitions > 1) {
                repetition_cap = repetitions / 2;
            } else if (m > 1) {
                max_group_ = m / 2;
                next_start_ = group_.front();
            } else {
                set_error(kErrTooBig);
                return -1;
            }
            continue;
        }
        if (response.error_status == kErrNoSuchName) {
            // SNMPv1's end of the MIB: the named column has nothing further.
            const int32_t index = response.error_index;
            if (index < 1 || static_cast<uint32_t>(index) > m) {
                set_error(kErrBadResponse, "error index out of range");
                return -1;
            }
            merger_.end_column(group_[static_cast<uint32_t>(index) - 1]);
            delivered += static_cast<int>(merger_.flush(row_function));
            continue;
        }
        if (response.error_status != 0) {
            set_error(response.error_status);
            return -1;
        }
        // Bindings come repetition by repetition, one per requested column; an answer cut
        // short simply leaves some columns fewer steps ahead.
        const size_t n = std::min(response.bindings.size(), static_cast<size_t>(m) * repetitions);
        if (n == 0) {
            set_error(kErrBadResponse, "no bindings");
            return -1;
        }
        for (size_t k = 0; k < n; ++k) {
            const uint32_t c = group_[k % m];
            if (merger_.ended(c)) continue;
            if (!take(c, response.bindings[k])) return -1;
        }
        delivered += static_cast<int>(merger_.flush(row_function));
        // An agent whose identifiers keep increasing would otherwise never let the walk end.
        if (delivered > config.max_rows) {
            set_error(kErrTooManyRows);
            return -1;
        }
    }
    delivered += static_cast<int>(merger_.flush(row_function));
    return delivered;
}

}  // namespace

bool valid_table_request(const uint32_t* table, int32_t table_length, const uint32_t* columns,
                         int32_t count, SnmpRowFunction row_function) {
    if (!table || table_length < 1 || !columns || count < 1 || !row_function) return false;
    std::vector<uint32_t> probe(table, table + table_length);
    probe.push_back(columns[0]);
    return encodable_oid(probe.data(), static_cast<int64_t>(probe.size()));
}

}  // namespace snmp

int veloSnmpGetTable(const char* community, const char* node, const uint32_t* table,
                     int32_t table_length, const uint32_t* columns, int32_t column_count,
                     SnmpRowFunction row_function, int) {
    using namespace snmp;
    if (!valid_table_request(table, table_length, columns, column_count, row_function)) {
        set_error(kErrBadArgument);
        return -1;
    }
    Session* session = open_session(node);
    if (!session) return -1;
    TableWalk walk(table, table_length, columns, column_count);
    return walk.run(*session, community, row_function);
}
