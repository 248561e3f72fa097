// rowscan: the forms that scripts read. CSV: a heading record, then a record per row. JSON: an
// object per line for each row, then a line that says whether the table is whole.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/program_output.h"
#include "appls/extmgr/ttycmds/rowscan.h"
#include "appls/extmgr/ttycmds/script_writers.h"

namespace {

class CsvTableSink : public OutputSink {
  public:
    explicit CsvTableSink(const RowscanState& state) : state_(state) {}

    void begin() override {
        record_.field("instance");
        for (int32_t i = 0; i < state_.field_count; ++i) record_.field(state_.fields[i].label);
        record_.write(stdout);
    }

    void row(OidSpan instance, std::span<const SinkCell> cells) override {
        if (cells.empty()) return;
        record_.field(dotted(instance));
        for (const SinkCell& cell : cells) {
            value_.clear();
            if (cell.text)
                value_ = *cell.text;
            else if (!is_hole(cell.binding))
                binding_full_text(cell.binding, value_);
            record_.field(value_);
        }
        record_.write(stdout);
    }

    // Whether the table is whole shows in the status only.
    void end(const SinkEnd&) override {}

  private:
    const RowscanState& state_;
    CsvRecord record_;
    std::string value_;
};

class JsonTableSink : public OutputSink {
  public:
    explicit JsonTableSink(const RowscanState& state) {
        for (int32_t i = 0; i < state.field_count; ++i) {
            std::string key;
            append_json_string(key, state.fields[i].label);
            keys_.push_back(std::move(key));
        }
    }

    void begin() override {}

    void row(OidSpan instance, std::span<const SinkCell> cells) override {
        if (cells.empty()) return;
        line_ = "{\"instance\": \"" + dotted(instance) + "\", \"values\": {";
        for (size_t i = 0; i < cells.size() && i < keys_.size(); ++i) {
            if (i > 0) line_ += ", ";
            line_ += keys_[i];
            line_ += ": ";
            value_.clear();
            if (cells[i].text)
                value_ = *cells[i].text;
            else if (!is_hole(cells[i].binding))
                binding_full_text(cells[i].binding, value_);
            append_json_value(line_, cells[i].binding, value_);
        }
        line_ += "}}\n";
        std::fwrite(line_.data(), 1, line_.size(), stdout);
    }

    void end(const SinkEnd& end) override {
        const bool complete = end.finished && end.error.empty();
        line_ = complete ? "{\"complete\": true" : "{\"complete\": false";
        line_ += ", \"rows\": " + std::to_string(end.rows);
        if (!complete) {
            line_ += ", \"error\": ";
            append_json_string(line_, end.error);
        }
        line_ += "}\n";
        std::fwrite(line_.data(), 1, line_.size(), stdout);
    }

  private:
    std::vector<std::string> keys_;  // each label as a JSON string
    std::string line_;
    std::string value_;
};

}  // namespace

std::unique_ptr<OutputSink> make_csv_table_sink(const RowscanState& state) {
    return std::make_unique<CsvTableSink>(state);
}

std::unique_ptr<OutputSink> make_json_table_sink(const RowscanState& state) {
    return std::make_unique<JsonTableSink>(state);
}
