// rowscan: the text and HTML forms: the title line, the headings and one line (or HTML row) per
// table row.
#include <cstdio>
#include <memory>
#include <string>

#include "appls/extmgr/ttycmds/program_output.h"
#include "appls/extmgr/ttycmds/rowscan.h"
#include "appls/extmgr/ttycmds/value_text.h"
#include "runtime/runtime.h"

namespace {

// The binding's value as it goes into its cell.
std::string cell_text(const SinkCell& cell, bool html, bool script) {
    if (cell.text) {
        std::string text = *cell.text;
        clean_value_text(text.data());
        return prepare_value_text(text.c_str(), html, script);
    }
    // In HTML the marker is escaped like any cell text: as it stands a browser would take it
    // for an unknown tag and show nothing.
    if (is_hole(cell.binding)) return html ? html_escape("<NO VALUE>") : "<NO VALUE>";
    char* text = binding_value_text(cell.binding);
    clean_value_text(text);
    return prepare_value_text(text, html, script);
}

// Columns laid out by their printf formats; cells cut at their width.
class TextTableSink : public OutputSink {
  public:
    explicit TextTableSink(const RowscanState& state) : state_(state) {}

    void begin() override {
        print_title_line(state_.title, ' ', state_.node);
        for (int32_t i = 0; i < state_.field_count; ++i) {
            const FieldSpec& field = state_.fields[i];
            // Through the same call as the cells, so that a heading is laid out as its column is.
            printHead(0, formatHead(0, field.format), field.label);
            std::fputs(i + 1 < state_.field_count ? "  " : "\n", stdout);
        }
    }

    void row(OidSpan, std::span<const SinkCell> cells) override {
        // Rows picked by instance prefixes keep the headings' separator.
        const char* separator = state_.prefix_mode ? "  " : "\t";
        for (size_t i = 0; i < cells.size(); ++i) {
            const std::string text = cell_text(cells[i], false, state_.script_escape);
            const bool field = i < static_cast<size_t>(state_.field_count);
            printCell(0, field ? state_.fields[i].format : "%s", text.c_str());
            std::fputs(i + 1 < cells.size() ? separator : "\n", stdout);
        }
    }

    void end(const SinkEnd&) override {}

  private:
    const RowscanState& state_;
};

// Headings and cells through the HTML wrappers, values escaped.
class HtmlTableSink : public OutputSink {
  public:
    explicit HtmlTableSink(const RowscanState& state) : state_(state) {}

    void begin() override {
        for (int32_t i = 0; i < state_.field_count; ++i) {
            const std::string heading = formatHead(1, "%s");
            const std::string label =
                prepare_label_text(state_.fields[i].label, true, state_.script_escape);
            printHead(1, heading.c_str(), label.c_str());
        }
        printRowTag(1, 1);
    }

    // A row that the instance filter left out keeps its empty row wrappers.
    void row(OidSpan, std::span<const SinkCell> cells) override {
        printRowTag(1, 0);
        for (const SinkCell& cell : cells) {
            const std::string text = cell_text(cell, true, state_.script_escape);
            printCell(1, "%s", text.c_str());
        }
        printRowTag(1, 1);
    }

    // A table that could not be had whole is left open.
    void end(const SinkEnd& end) override {
        if (end.finished) printTableTag(1, 1);
    }

  private:
    const RowscanState& state_;
};

}  // namespace

std::unique_ptr<OutputSink> make_table_sink(const RowscanState& state) {
    switch (state.form) {
        case OutputForm::kHtml:
            return std::make_unique<HtmlTableSink>(state);
        case OutputForm::kCsv:
            return make_csv_table_sink(state);
        case OutputForm::kJson:
            return make_json_table_sink(state);
        case OutputForm::kText:
            break;
    }
    return std::make_unique<TextTableSink>(state);
}
