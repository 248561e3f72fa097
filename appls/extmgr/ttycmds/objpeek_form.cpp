// objpeek: the labelled form, in text or through the HTML wrappers, and printing the form of
// what was fetched.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/objpeek.h"
#include "appls/extmgr/ttycmds/program_output.h"
#include "appls/extmgr/ttycmds/value_hints.h"
#include "appls/extmgr/ttycmds/value_text.h"
#include "mib/mib_init.h"
#include "runtime/runtime.h"
#include "runtime/snmp/errors.h"
#include "runtime/snmp/snmp.h"

using namespace objpeek_message;

namespace {

void print_label(const char* label) {
    const std::string placed = prepare_label_text(label, objpeek.html, objpeek.script_escape);
    printHead(objpeek.html, objpeek.label_format.c_str(), placed.c_str());
}

// Text of the form's own (the no-value marker, a line end) placed as a value's text is: in HTML
// escaped, and with "-js" kept inside the script string.
std::string form_text(const char* text) {
    return objpeek.html ? prepare_value_text(text, true, objpeek.script_escape) : text;
}

void print_title() {
    printTableTag(objpeek.html, 0);
    if (!objpeek.html) print_title_line(objpeek.title, '\t', objpeek.node);
}

// The value's lines under the value column: in HTML joined by "<br>\n" with "&nbsp;" for an
// empty line; in text each further line after an empty label cell. In HTML and with "-js" the
// text is cleaned of control characters first, as rowscan's cells are; with "-js" every line is
// escaped for a script string and the line breaks written as its escaped newline.
void print_value_lines(char* text) {
    if (objpeek.html || objpeek.script_escape) clean_value_text(text);
    std::vector<const char*> lines;
    for (char* line = _Zorvstrtok(text, "\n", 1); line != nullptr;
         line = _Zorvstrtok(nullptr, "\n", 0)) {
        lines.push_back(line);
    }
    const bool html = objpeek.html != 0;
    const bool script = objpeek.script_escape != 0;
    for (size_t k = 0; k < lines.size(); ++k) {
        if (html && lines[k][0] == '\0') {
            std::fputs("&nbsp;", stdout);
        } else {
            std::fputs(prepare_value_text(lines[k], html, script).c_str(), stdout);
        }
        if (k + 1 == lines.size()) break;
        if (script) {
            std::fputs("<br>\\\n", stdout);
            if (!html) print_label("");
        } else if (html) {
            std::fputs("<br>\n", stdout);
        } else {
            std::fputs("\n", stdout);
            print_label("");
        }
    }
    std::fputs(html ? "&nbsp;" : "\n", stdout);
}

// The form laid out for eyes: a labelled line per object, in text or through the HTML wrappers.
class FormLayoutSink : public OutputSink {
  public:
    void begin() override { print_title(); }

    void row(OidSpan, std::span<const SinkCell> cells) override {
        for (size_t j = 0; j < cells.size(); ++j) print_object(objpeek.objects[j], cells[j]);
    }

    void end(const SinkEnd& end) override {
        // The object whose Get failed had its row begun.
        if (!end.finished) {
            printRowTag(objpeek.html, 0);
            return;
        }
        printTableTag(objpeek.html, 1);
    }

  private:
    static void print_object(const FieldSpec& object, const SinkCell& cell) {
        printRowTag(objpeek.html, 0);
        if (cell.error_status == snmp::kErrNoSuchName) {
            print_label(object.label);
            // Escaped in HTML, where the marker would otherwise be taken for a tag and not shown.
            printCell(objpeek.html, "%s", form_text(objpeek_program.text(kNoValue)).c_str());
        } else if (cell.error_status != snmp::kErrNoError) {
            print_label(object.label);
            std::fputs(form_text("\n").c_str(), stdout);
        } else {
            std::string hinted;
            char* text =
                cell.text ? (hinted = *cell.text).data() : binding_value_text(cell.binding);
            print_label(object.label);
            printDataTag(objpeek.html, 0);
            print_value_lines(text);
            printDataTag(objpeek.html, 1);
        }
        printRowTag(objpeek.html, 1);
    }
};

}  // namespace

std::unique_ptr<OutputSink> make_form_sink(const ObjpeekState& state) {
    switch (state.form) {
        case OutputForm::kCsv:
            return make_csv_form_sink(state);
        case OutputForm::kJson:
            return make_json_form_sink(state);
        case OutputForm::kText:
        case OutputForm::kHtml:
            break;
    }
    return std::make_unique<FormLayoutSink>();
}

void print_form(const std::vector<FetchedObject>& fetched) {
    std::optional<ValueHints> hints;
    if (objpeek.hints) hints.emplace(mib_companion());
    std::vector<std::string> hinted(fetched.size());
    std::vector<SinkCell> cells;
    for (const FetchedObject& f : fetched) {
        if (f.response == nullptr) break;
        const int status = f.response->error_status;
        if (status == snmp::kErrNoError) {
            SinkCell cell{f.response->variables, 0, nullptr};
            std::string& text = hinted[cells.size()];
            if (hints && hints->render(cell.binding, text)) cell.text = &text;
            cells.push_back(cell);
        } else {
            cells.push_back({nullptr, status, f.error.c_str()});
        }
    }
    const std::unique_ptr<OutputSink> sink = make_form_sink(objpeek);
    sink->begin();
    sink->row({}, cells);
    for (size_t j = 0; j < cells.size(); ++j) {
        const int status = cells[j].error_status;
        if (status != snmp::kErrNoError && status != snmp::kErrNoSuchName) {
            objpeek_program.report(kCouldNotGetObject, objpeek.objects[j].id, cells[j].error);
        }
    }
    const int32_t count = static_cast<int32_t>(cells.size());
    if (cells.size() < fetched.size()) {
        const std::string message =
            objpeek_program.message_text(kCouldNotGet, objpeek.node, fetched.back().error);
        sink->end({false, count, message});
        std::fputs(message.c_str(), stderr);
        flush_and_exit(1);
    }
    sink->end({true, count, ""});
    flush_and_exit(0);
}
