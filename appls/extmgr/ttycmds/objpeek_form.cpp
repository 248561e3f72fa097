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
    if (objpeek.html) {
        printHead(1, objpeek.label_format.c_str(), html_escape(label).c_str());
    } else {
        printHead(0, objpeek.label_format.c_str(), label);
    }
}

void print_title() {
    printTableTag(objpeek.html, 0);
    if (!objpeek.html) print_title_line(objpeek.title, '\t', objpeek.node);
}

// The value's lines under the value column: in HTML joined by "<br>\n" with "&nbsp;" for an
// empty line; in text each further line after an empty label cell. With "-js" every line is
// escaped for a script string and the line breaks written as its escaped newline.
void print_value_lines(char* text) {
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
        const char* no_value = objpeek_program.text(kNoValue);
        printCell(objpeek.html, "%s", objpeek.html ? html_escape(no_value).c_str() : no_value);
    } else if (response->error_status != snmp::kErrNoError) {
        print_label(object.label);
        std::fputs("\n", stdout);
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
