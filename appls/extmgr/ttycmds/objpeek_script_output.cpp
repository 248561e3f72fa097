// objpeek: the forms that scripts read. CSV: a record of labels and a record of values. JSON:
// one object with the node, the values and why any value is missing. Either is written only
// when every object was asked for, so that a form cut short is never taken for a whole one.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/objpeek.h"
#include "appls/extmgr/ttycmds/program_output.h"
#include "appls/extmgr/ttycmds/script_writers.h"

namespace {

// Keeps the one row until the end says whether to write it.
class HeldFormSink : public OutputSink {
  public:
    explicit HeldFormSink(const ObjpeekState& state) : state_(state) {}
    void begin() override {}
    void row(OidSpan, std::span<const SinkCell> cells) override {
        cells_.assign(cells.begin(), cells.end());
    }
    void end(const SinkEnd& end) override {
        if (end.finished) write();
    }

  protected:
    virtual void write() = 0;
    const char* label(size_t j) const { return state_.objects[j].label; }
    void text_of(const SinkCell& cell) {
        if (cell.text)
            value_ = *cell.text;
        else
            binding_full_text(cell.binding, value_);
    }

    const ObjpeekState& state_;
    std::vector<SinkCell> cells_;
    std::string value_;
};

class CsvFormSink : public HeldFormSink {
  public:
    using HeldFormSink::HeldFormSink;

  private:
    void write() override {
        CsvRecord record;
        for (size_t j = 0; j < cells_.size(); ++j) record.field(label(j));
        record.write(stdout);
        for (const SinkCell& cell : cells_) {
            text_of(cell);
            record.field(value_);
        }
        record.write(stdout);
    }
};

class JsonFormSink : public HeldFormSink {
  public:
    using HeldFormSink::HeldFormSink;

  private:
    void write() override {
        std::string text = "{\"node\": ";
        append_json_string(text, state_.node);
        text += ", \"values\": {";
        std::string errors;
        for (size_t j = 0; j < cells_.size(); ++j) {
            std::string key;
            append_json_string(key, label(j));
            if (j > 0) text += ", ";
            text += key + ": ";
            text_of(cells_[j]);
            append_json_value(text, cells_[j].binding, value_);
            if (cells_[j].error == nullptr) continue;
            if (!errors.empty()) errors += ", ";
            errors += key + ": ";
            append_json_string(errors, cells_[j].error);
        }
        text += "}, \"errors\": {" + errors + "}}\n";
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
};

}  // namespace

std::unique_ptr<OutputSink> make_csv_form_sink(const ObjpeekState& state) {
    return std::make_unique<CsvFormSink>(state);
}

std::unique_ptr<OutputSink> make_json_form_sink(const ObjpeekState& state) {
    return std::make_unique<JsonFormSink>(state);
}
