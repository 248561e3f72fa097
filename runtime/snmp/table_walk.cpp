// The whole table: every requested column walked together (GetBulk under SNMPv2c, GetNext under
// SNMPv1) and merged into rows.
#include <algorithm>
#include <limits>
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

// Agents commonly answer at most this many bindings: the first request asks for no more.
constexpr int kUsualBindingLimit = 64;
// A column with this many values waiting for the other columns is not asked again until they
// catch up, so that memory stays bounded when columns cover different stretches of instances.
constexpr size_t kMaxWaiting = 256;

struct ColumnWalk {
    std::vector<uint32_t> last;  // the name to continue from; the column prefix at first
    uint32_t prefix_length = 0;
};

class TableWalk {
  public:
    TableWalk(const uint32_t* table, int32_t table_length, const uint32_t* columns, int32_t count,
              size_t byte_budget)
        : count_(static_cast<uint32_t>(count)),
          walks_(static_cast<size_t>(count)),
          sizing_(first_size(), byte_budget, bulk_ && config_.max_repetitions == 0) {
        merger_.start(table, static_cast<uint32_t>(table_length), columns, count_);
        for (uint32_t c = 0; c < count_; ++c) {
            walks_[c].last.assign(table, table + table_length);
            walks_[c].last.push_back(columns[c]);
            walks_[c].prefix_length = static_cast<uint32_t>(table_length) + 1;
        }
    }

    // Every column in the first request, each as many steps as a fixed setting asks or as the
    // usual limit allows.
    int first_size() const {
        const int64_t columns = count_;
        const int64_t size = bulk_ && config_.max_repetitions > 0
                                 ? columns * config_.max_repetitions
                                 : std::max<int64_t>(columns, kUsualBindingLimit);
        return static_cast<int>(std::min<int64_t>(size, std::numeric_limits<int>::max()));
    }

    // Requests until every column has ended, handing out rows as they complete. The number of
    // rows, or -1 with the error recorded.
    int run(Session& session, const char* community, SnmpRowCallback row_callback, void* context);

  private:
    // What one answer did to the walk.
    enum class Outcome { kFailed, kAskSmaller, kColumnEnded, kValues };

    // The live columns for the next request, taken in turn when not all fit in one.
    void choose_group();
    // How many steps each column of the group goes in one request.
    int group_repetitions() const;
    void fill_request(Message& request, int repetitions) const;
    // Before a try after silence: a request larger than any answered goes again smaller.
    void before_retry(Message& request);
    int asked() const {
        const int64_t n = static_cast<int64_t>(group_.size()) * repetitions_;
        return static_cast<int>(std::min<int64_t>(n, std::numeric_limits<int>::max()));
    }
    Outcome read_answer(const Message& response);
    // After tooBig: false with the error recorded when nothing smaller can be asked.
    bool ask_smaller();
    // After noSuchName: false with the error recorded for an error index out of range.
    bool end_named_column(const Message& response);
    bool take_values(const Message& response);
    // One binding of column `c`; false with the error recorded when the agent went backwards.
    bool take(uint32_t c, const Binding& b);

    const Settings& config_ = settings();
    const bool bulk_ = config_.version != kVersion1;
    uint32_t count_;
    std::vector<ColumnWalk> walks_;
    RowMerger merger_;
    RequestSizing sizing_;
    std::vector<uint32_t> group_;
    uint32_t next_start_ = 0;
    int first_repetitions_ = 1;  // of the request's first try, its largest
    int repetitions_ = 1;        // of its latest try
    bool column_ended_ = false;  // the answer ended a column
    int delivered_ = 0;          // rows handed out
};

int TableWalk::run(Session& session, const char* community, SnmpRowCallback row_callback,
                   void* context) {
    thread_local Message request;
    thread_local Message response;
    start_request(request, community, bulk_ ? kPduGetBulk : kPduGetNext);
    const RetryHook retry = [this](Message& r) { before_retry(r); };
    delivered_ = 0;
    for (choose_group(); !group_.empty(); choose_group()) {
        first_repetitions_ = repetitions_ = group_repetitions();
        fill_request(request, repetitions_);
        if (!exchange(session, request, response, retry)) return -1;
        switch (read_answer(response)) {
            case Outcome::kFailed:
                return -1;
            case Outcome::kAskSmaller:
                break;
            case Outcome::kColumnEnded:
                delivered_ += static_cast<int>(merger_.flush(row_callback, context));
                break;
            case Outcome::kValues:
                delivered_ += static_cast<int>(merger_.flush(row_callback, context));
                // An agent whose identifiers keep increasing would otherwise never let the walk
                // end.
                if (delivered_ > config_.max_rows) {
                    set_error(kErrTooManyRows);
                    return -1;
                }
                break;
        }
    }
    delivered_ += static_cast<int>(merger_.flush(row_callback, context));
    return delivered_;
}

void TableWalk::choose_group() {
    group_.clear();
    // Fewer columns than the group when even one step of each is more than the agent takes.
    const uint32_t most = std::min(count_, static_cast<uint32_t>(sizing_.bindings()));
    // After a flush some live column has nothing waiting, so the group is empty only when every
    // column has ended.
    for (uint32_t k = 0; k < count_ && group_.size() < most; ++k) {
        const uint32_t c = (next_start_ + k) % count_;
        if (!merger_.ended(c) && merger_.waiting(c) < kMaxWaiting) group_.push_back(c);
    }
    if (!group_.empty()) next_start_ = (group_.back() + 1) % count_;
}

int TableWalk::group_repetitions() const {
    if (!bulk_) return 1;
    int r = std::max(1, sizing_.bindings() / static_cast<int>(group_.size()));
    if (config_.max_repetitions > 0) return std::min(r, config_.max_repetitions);
    // Growth never takes the walk far past the row limit.
    const int64_t rows_left = int64_t{config_.max_rows} - delivered_ + 1;
    return static_cast<int>(std::clamp<int64_t>(rows_left, 1, r));
}

void TableWalk::fill_request(Message& request, int repetitions) const {
    if (bulk_) {
        request.error_status = 0;           // non-repeaters: every column repeats
        request.error_index = repetitions;  // max-repetitions
    }
    request.bindings.clear();
    for (uint32_t c : group_) {
        const ColumnWalk& w = walks_[c];
        request.bindings.push_back(
            Binding{w.last.data(), static_cast<uint32_t>(w.last.size()), ASN_NULL, {}});
    }
}

void TableWalk::before_retry(Message& request) {
    if (!bulk_ || repetitions_ <= 1 || !sizing_.silence_is_refusal(asked())) return;
    sizing_.refused(asked());
    repetitions_ = std::clamp(group_repetitions(), 1, repetitions_ - 1);
    request.error_index = repetitions_;
}

TableWalk::Outcome TableWalk::read_answer(const Message& response) {
    switch (response.error_status) {
        case kErrNoError:
            return take_values(response) ? Outcome::kValues : Outcome::kFailed;
        case kErrTooBig:
            return ask_smaller() ? Outcome::kAskSmaller : Outcome::kFailed;
        case kErrNoSuchName:
            return end_named_column(response) ? Outcome::kColumnEnded : Outcome::kFailed;
        default:
            set_error(response.error_status);
            return Outcome::kFailed;
    }
}

bool TableWalk::ask_smaller() {
    if (!sizing_.refused(asked())) {
        set_error(kErrTooBig);
        return false;
    }
    // The same columns go first again, fewer steps or fewer of them.
    next_start_ = group_.front();
    return true;
}

bool TableWalk::end_named_column(const Message& response) {
    // SNMPv1's end of the MIB: the named column has nothing further.
    const int32_t index = response.error_index;
    if (index < 1 || static_cast<size_t>(index) > group_.size()) {
        set_error(kErrBadResponse, "error index out of range");
        return false;
    }
    merger_.end_column(group_[static_cast<size_t>(index) - 1]);
    return true;
}

bool TableWalk::take_values(const Message& response) {
    // Bindings come repetition by repetition, one per requested column; an answer cut short
    // simply leaves some columns fewer steps ahead. A late answer to an earlier, larger try of
    // the request holds as much as that try asked.
    const size_t m = group_.size();
    const size_t n =
        std::min(response.bindings.size(), m * static_cast<size_t>(first_repetitions_));
    if (n == 0) {
        set_error(kErrBadResponse, "no bindings");
        return false;
    }
    column_ended_ = false;
    for (size_t k = 0; k < n; ++k) {
        const uint32_t c = group_[k % m];
        if (merger_.ended(c)) continue;
        if (!take(c, response.bindings[k])) return false;
    }
    if (bulk_) {
        // More than the latest try asked: the answer to an earlier try, whose size was not too
        // big after all.
        const int got = static_cast<int>(n);
        sizing_.answered(std::max(asked(), got), got, encoded_size(response), column_ended_);
    }
    return true;
}

bool TableWalk::take(uint32_t c, const Binding& b) {
    ColumnWalk& w = walks_[c];
    if (is_exception_tag(b.tag)) {
        merger_.end_column(c);
        column_ended_ = true;
        return true;
    }
    if (compare_oids(b.name, b.name_length, w.last.data(), w.last.size()) <= 0) {
        set_error(kErrNotIncreasing);
        return false;
    }
    const bool inside = b.name_length > w.prefix_length &&
                        oid_starts_with(b.name, b.name_length, w.last.data(), w.prefix_length);
    if (!inside) {
        merger_.end_column(c);
        column_ended_ = true;
        return true;
    }
    merger_.add(c, b.name + w.prefix_length, b.name_length - w.prefix_length, b);
    w.last.assign(b.name, b.name + b.name_length);
    return true;
}

}  // namespace

bool valid_table_request(const uint32_t* table, int32_t table_length, const uint32_t* columns,
                         int32_t count, SnmpRowCallback row_callback) {
    if (!table || table_length < 1 || !columns || count < 1 || !row_callback) return false;
    std::vector<uint32_t> probe(table, table + table_length);
    probe.push_back(columns[0]);
    return encodable_oid(probe.data(), static_cast<int64_t>(probe.size()));
}

}  // namespace snmp

int veloSnmpGetTable(const char* community, const char* node, const uint32_t* table,
                     int32_t table_length, const uint32_t* columns, int32_t column_count,
                     SnmpRowCallback row_callback, void* context) {
    using namespace snmp;
    if (!valid_table_request(table, table_length, columns, column_count, row_callback)) {
        set_error(kErrBadArgument);
        return -1;
    }
    Session* session = open_session(node);
    if (!session) return -1;
    TableWalk walk(table, table_length, columns, column_count, answer_budget(*session));
    return walk.run(*session, community, row_callback, context);
}

int veloSnmpGetTable(const char* community, const char* node, const uint32_t* table,
                     int32_t table_length, const uint32_t* columns, int32_t column_count,
                     SnmpRowFunction row_function, int) {
    snmp::PlainRowFunction plain{row_function};
    return veloSnmpGetTable(community, node, table, table_length, columns, column_count,
                            row_function ? snmp::PlainRowFunction::call : nullptr, &plain);
}
