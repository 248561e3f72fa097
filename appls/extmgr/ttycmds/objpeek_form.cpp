// objpeek: one Get per object and the labelled form, in text or through the HTML wrappers.
#include <cstdio>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/objpeek.h"
#include "appls/extmgr/ttycmds/program_output.h"
#include "appls/extmgr/ttycmds/value_text.h"
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

void print_object(const FieldSpec& object) {
    ResponsePdu* response = get_object(object);
    printRowTag(objpeek.html, 0);
    if (response == nullptr) {
        objpeek_program.report(kCouldNotGet, objpeek.node, ZorvsnmpErrString(ZorvsnmpErrno));
        flush_and_exit(1);
    }
    if (response->error_status == snmp::kErrNoSuchName) {
        print_label(object.label);
        // Escaped in HTML, where the marker would otherwise be taken for a tag and not shown.
        printCell(objpeek.html, "%s", form_text(objpeek_program.text(kNoValue)).c_str());
    } else if (response->error_status != snmp::kErrNoError) {
        print_label(object.label);
        std::fputs(form_text("\n").c_str(), stdout);
        objpeek_program.report(kCouldNotGetObject, object.id,
                               ZorvsnmpErrString(response->error_status));
    } else {
        char* text = binding_value_text(response->variables);
        print_label(object.label);
        printDataTag(objpeek.html, 0);
        print_value_lines(text);
        printDataTag(objpeek.html, 1);
    }
    printRowTag(objpeek.html, 1);
}

}  // namespace

void print_form() {
    print_title();
    for (int32_t j = 0; j < objpeek.object_count; ++j) print_object(objpeek.objects[j]);
    printTableTag(objpeek.html, 1);
    flush_and_exit(0);
}
