// The whole table: every requested column walked (GetBulk under SNMPv2c, column groups side by
// side; GetNext under SNMPv1, or GetNext of one binding for agents that fail anything larger)
// and merged into rows.
#include <algorithm>
#include <limits>
#include <vector>

#include "runtime/snmp/dispatcher.h"
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
// Requests of at most this many bindings go side by side.
constexpr int kSideBySideBelow = 256;

struct ColumnWalk {
    std::vector<uint32_t> last;  // the name to continue from; the column prefix at first
    uint32_t prefix_length = 0;
    bool busy = false;      // a request for it is in flight
    size_t step_bytes = 0;  // encoded bytes per binding in its latest answer; 0 until known
};

// How the columns are stepped: as many at once as the agent takes, or one binding per request,
// one request at a time, each column asked only when it has no value waiting.
enum class Stepping { kWhole, kOneBinding };

// One request in flight: its columns and its sizes.
struct Flight {
    Pending pending;
    std::vector<uint32_t> group;
    int first_repetitions = 1;  // of the request's first try, its largest
    int repetitions = 1;        // of its latest try
    bool column_ended = false;  // the answer ended a column
};

class TableWalk {
  public:
    // Every column starts after `after` (its first row when empty); `rows_before` rows of the
    // table were handed out already and count against the row limit.
    TableWalk(const uint32_t* table, int32_t table_length, const uint32_t* columns, int32_t count,
              size_t byte_budget, Stepping stepping = Stepping::kWhole,
              const std::vector<uint32_t>& after = {}, int rows_before = 0)
        : one_binding_(stepping == Stepping::kOneBinding),
          bulk_(!one_binding_ && config_.version != kVersion1),
          rows_before_(rows_before),
          count_(static_cast<uint32_t>(count)),
          walks_(static_cast<size_t>(count)),
          sizing_(first_size(), byte_budget, bulk_ && config_.max_repetitions == 0),
          byte_budget_(byte_budget),
          // GetNext steps every column one row per request, so only GetBulk walks column groups
          // side by side.
          most_in_flight_(bulk_ ? config_.parallel : 1),
          flights_(static_cast<size_t>(most_in_flight_)) {
        merger_.start(table, static_cast<uint32_t>(table_length), columns, count_);
        for (uint32_t c = 0; c < count_; ++c) {
            walks_[c].last.assign(table, table + table_length);
            walks_[c].last.push_back(columns[c]);
            walks_[c].last.insert(walks_[c].last.end(), after.begin(), after.end());
            walks_[c].prefix_length = static_cast<uint32_t>(table_length) + 1;
        }
        for (Flight& f : flights_) {
            f.pending.before_retry = [this, &f](Message& r) { before_retry(f, r); };
        }
    }

    // Every column in the first request, each as many steps as a fixed setting asks or as the
    // usual limit allows.
    int first_size() const {
        if (one_binding_) return 1;
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

    // Sends requests for idle columns while the window allows.
    void send_more(Dispatcher& dispatcher, const char* community);
    // Requests in flight at most now. Side by side only while requests are small: once the
    // agent answers large requests, fewer of them one at a time cost the agent less.
    int side_by_side() const { return sizing_.bindings() <= kSideBySideBelow ? window_ : 1; }
    // The idle live columns for the next request, taken in turn when not all fit in one.
    void choose_group(std::vector<uint32_t>& group) const;
    // How many steps each column of the group goes in one request.
    int group_repetitions(const Flight& f) const;
    void fill_request(Flight& f, int repetitions) const;
    // Before a try after silence: a request larger than any answered goes again smaller.
    void before_retry(Flight& f, Message& request);
    static int asked(const Flight& f) {
        const int64_t n = static_cast<int64_t>(f.group.size()) * f.repetitions;
        return static_cast<int>(std::min<int64_t>(n, std::numeric_limits<int>::max()));
    }
    Outcome read_answer(Flight& f);
    // Hands out the complete rows; false with the error recorded past the row limit: an agent
    // whose identifiers keep increasing would otherwise never let the walk end.
    bool flush(SnmpRowCallback row_callback, void* context);
    // After tooBig: false with the error recorded when nothing smaller can be asked.
    bool ask_smaller(const Flight& f);
    // After noSuchName: false with the error recorded for an error index out of range.
    bool end_named_column(const Flight& f);
    bool take_values(Flight& f);
    // One binding of column `c`; false with the error recorded when the agent went backwards.
    bool take(Flight& f, uint32_t c, const Binding& b);

    const Settings& config_ = settings();
    const bool one_binding_;
    const bool bulk_;
    const int rows_before_;
    uint32_t count_;
    std::vector<ColumnWalk> walks_;
    RowMerger merger_;
    RequestSizing sizing_;
    size_t byte_budget_;
    int most_in_flight_;
    int window_ = 1;  // requests in flight at most: one until the agent has answered
    int in_flight_ = 0;
    std::vector<Flight> flights_;  // never resized: the dispatcher holds their requests
    mutable uint32_t next_start_ = 0;
    int delivered_ = 0;  // rows handed out
};

int TableWalk::run(Session& session, const char* community, SnmpRowCallback row_callback,
                   void* context) {
    Dispatcher dispatcher(session);
    delivered_ = 0;
    for (send_more(dispatcher, community); in_flight_ > 0; send_more(dispatcher, community)) {
        Pending* p = dispatcher.next();
        Flight& f = *std::find_if(flights_.begin(), flights_.end(),
                                  [p](const Flight& x) { return &x.pending == p; });
        --in_flight_;
        for (uint32_t c : f.group) walks_[c].busy = false;
        if (p->state != Pending::State::kAnswered) {
            p->record_error();
            return -1;
        }
        // An answer without a lost try: the agent keeps up with the window.
        if (!p->retried && window_ < most_in_flight_) window_ = most_in_flight_;
        switch (read_answer(f)) {
            case Outcome::kFailed:
                return -1;
            case Outcome::kAskSmaller:
                break;
            case Outcome::kColumnEnded:
            case Outcome::kValues:
                if (!flush(row_callback, context)) return -1;
                break;
        }
        f.group.clear();
    }
    delivered_ += static_cast<int>(merger_.flush(row_callback, context));
    return delivered_;
}

bool TableWalk::flush(SnmpRowCallback row_callback, void* context) {
    delivered_ += static_cast<int>(merger_.flush(row_callback, context));
    if (int64_t{rows_before_} + delivered_ > config_.max_rows) {
        set_error(kErrTooManyRows);
        return false;
    }
    return true;
}

void TableWalk::send_more(Dispatcher& dispatcher, const char* community) {
    for (Flight& f : flights_) {
        if (in_flight_ >= side_by_side()) return;
        if (!f.group.empty()) continue;  // in flight
        choose_group(f.group);
        if (f.group.empty()) return;
        for (uint32_t c : f.group) walks_[c].busy = true;
        start_request(f.pending.request, community, bulk_ ? kPduGetBulk : kPduGetNext);
        f.first_repetitions = f.repetitions = group_repetitions(f);
        fill_request(f, f.repetitions);
        dispatcher.submit(f.pending);
        ++in_flight_;
    }
}

void TableWalk::choose_group(std::vector<uint32_t>& group) const {
    group.clear();
    // Fewer columns than the group when even one step of each is more than the agent takes;
    // with requests side by side, the live columns shared out among them.
    uint32_t most = std::min(count_, static_cast<uint32_t>(sizing_.bindings()));
    if (side_by_side() > 1) {
        const auto live = static_cast<uint32_t>(
            std::count_if(walks_.begin(), walks_.end(),
                          [&, c = 0u](const ColumnWalk&) mutable { return !merger_.ended(c++); }));
        const auto ways = static_cast<uint32_t>(side_by_side());
        const auto share = (live + ways - 1) / ways;
        most = std::min(most, std::max(share, 1u));
    }
    // After a flush some live column has nothing waiting, so with nothing in flight the group is
    // empty only when every column has ended. One binding at a time keeps one value ahead per
    // column and asks the columns in their order.
    const size_t most_waiting = one_binding_ ? 1 : kMaxWaiting;
    for (uint32_t k = 0; k < count_ && group.size() < most; ++k) {
        const uint32_t c = (next_start_ + k) % count_;
        if (!merger_.ended(c) && !walks_[c].busy && merger_.waiting(c) < most_waiting) {
            group.push_back(c);
        }
    }
    if (!group.empty() && !one_binding_) next_start_ = (group.back() + 1) % count_;
}

int TableWalk::group_repetitions(const Flight& f) const {
    if (!bulk_) return 1;
    int r = std::max(1, sizing_.bindings() / static_cast<int>(f.group.size()));
    if (config_.max_repetitions > 0) return std::min(r, config_.max_repetitions);
    if (side_by_side() > 1) {
        // Groups side by side share one size, but columns differ in width: a group of wide
        // columns stays within the byte budget at the widths its columns last had.
        size_t step = 0;
        for (uint32_t c : f.group) step += walks_[c].step_bytes;
        if (step > 0) {
            const size_t fit = (byte_budget_ - byte_budget_ / 8) / step;
            r = std::min(r, static_cast<int>(std::clamp<size_t>(fit, 1, INT32_MAX)));
        }
    }
    // Growth never takes the walk far past the row limit.
    const int64_t rows_left = int64_t{config_.max_rows} - rows_before_ - delivered_ + 1;
    return static_cast<int>(std::clamp<int64_t>(rows_left, 1, r));
}

void TableWalk::fill_request(Flight& f, int repetitions) const {
    Message& request = f.pending.request;
    if (bulk_) {
        request.error_status = 0;           // non-repeaters: every column repeats
        request.error_index = repetitions;  // max-repetitions
    }
    request.bindings.clear();
    for (uint32_t c : f.group) {
        const ColumnWalk& w = walks_[c];
        request.bindings.push_back(
            Binding{w.last.data(), static_cast<uint32_t>(w.last.size()), ASN_NULL, {}});
    }
}

void TableWalk::before_retry(Flight& f, Message& request) {
    const bool too_big = bulk_ && f.repetitions > 1 && sizing_.silence_is_refusal(asked(f));
    // Silence at a size that worked, with others in flight: the agent does not keep up with
    // them, so one request at a time from now on.
    if (!too_big && in_flight_ > 1) most_in_flight_ = window_ = 1;
    if (!too_big) return;
    sizing_.refused(asked(f));
    // Each probe by silence costs a whole timeout: the retry goes straight back to a size that
    // was answered.
    int r = group_repetitions(f);
    if (sizing_.worked() > 0) r = std::min(r, sizing_.worked() / static_cast<int>(f.group.size()));
    f.repetitions = std::clamp(r, 1, f.repetitions - 1);
    request.error_index = f.repetitions;
}

TableWalk::Outcome TableWalk::read_answer(Flight& f) {
    const Message& response = f.pending.response;
    switch (response.error_status) {
        case kErrNoError:
            return take_values(f) ? Outcome::kValues : Outcome::kFailed;
        case kErrTooBig:
            return ask_smaller(f) ? Outcome::kAskSmaller : Outcome::kFailed;
        case kErrNoSuchName:
            return end_named_column(f) ? Outcome::kColumnEnded : Outcome::kFailed;
        default:
            set_error(response.error_status);
            return Outcome::kFailed;
    }
}

bool TableWalk::ask_smaller(const Flight& f) {
    if (!sizing_.refused(asked(f))) {
        set_error(kErrTooBig);
        return false;
    }
    // The same columns go first again, fewer steps or fewer of them.
    next_start_ = f.group.front();
    return true;
}

bool TableWalk::end_named_column(const Flight& f) {
    // SNMPv1's end of the MIB: the named column has nothing further.
    const int32_t index = f.pending.response.error_index;
    if (one_binding_) {
        merger_.end_column(f.group.front());
        return true;
    }
    if (index < 1 || static_cast<size_t>(index) > f.group.size()) {
        set_error(kErrBadResponse, "error index out of range");
        return false;
    }
    merger_.end_column(f.group[static_cast<size_t>(index) - 1]);
    return true;
}

bool TableWalk::take_values(Flight& f) {
    // Bindings come repetition by repetition, one per requested column; an answer cut short
    // simply leaves some columns fewer steps ahead. A late answer to an earlier, larger try of
    // the request holds as much as that try asked.
    const Message& response = f.pending.response;
    if (one_binding_ && response.bindings.size() != 1) {
        set_error(kErrBadResponse, "wrong number of bindings");
        return false;
    }
    const size_t m = f.group.size();
    const size_t n =
        std::min(response.bindings.size(), m * static_cast<size_t>(f.first_repetitions));
    if (n == 0) {
        set_error(kErrBadResponse, "no bindings");
        return false;
    }
    f.column_ended = false;
    for (size_t k = 0; k < n; ++k) {
        const uint32_t c = f.group[k % m];
        if (merger_.ended(c)) continue;
        if (!take(f, c, response.bindings[k])) return false;
    }
    if (bulk_) {
        // More than the latest try asked: the answer to an earlier try, whose size was not too
        // big after all.
        const int got = static_cast<int>(n);
        const size_t bytes = encoded_size(response);
        for (uint32_t c : f.group) walks_[c].step_bytes = std::max<size_t>(bytes / n, 1);
        sizing_.answered(std::max(asked(f), got), got, bytes, f.column_ended);
    }
    return true;
}

bool TableWalk::take(Flight& f, uint32_t c, const Binding& b) {
    ColumnWalk& w = walks_[c];
    if (is_exception_tag(b.tag)) {
        merger_.end_column(c);
        f.column_ended = true;
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
        f.column_ended = true;
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

int veloSnmpGetTableOneByOne(const char* community, const char* node, const uint32_t* table,
                             int32_t table_length, const uint32_t* columns, int32_t column_count,
                             const uint32_t* after, int32_t after_length, int32_t rows_before,
                             SnmpRowCallback row_callback, void* context) {
    using namespace snmp;
    if (!valid_table_request(table, table_length, columns, column_count, row_callback) ||
        after_length < 0 || (after_length > 0 && !after) || rows_before < 0) {
        set_error(kErrBadArgument);
        return -1;
    }
    std::vector<uint32_t> start(table, table + table_length);
    start.push_back(columns[0]);
    start.insert(start.end(), after, after + after_length);
    if (!encodable_oid(start.data(), static_cast<int64_t>(start.size()))) {
        set_error(kErrBadArgument);
        return -1;
    }
    Session* session = open_session(node);
    if (!session) return -1;
    TableWalk walk(table, table_length, columns, column_count, answer_budget(*session),
                   Stepping::kOneBinding, std::vector<uint32_t>(after, after + after_length),
                   rows_before);
    return walk.run(*session, community, row_callback, context);
}

int veloSnmpGetTable(const char* community, const char* node, const uint32_t* table,
                     int32_t table_length, const uint32_t* columns, int32_t column_count,
                     SnmpRowFunction row_function, int) {
    snmp::PlainRowFunction plain{row_function};
    return veloSnmpGetTable(community, node, table, table_length, columns, column_count,
                            row_function ? snmp::PlainRowFunction::call : nullptr, &plain);
}
