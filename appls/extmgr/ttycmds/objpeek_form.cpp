// objpeek: one Get per object and the labelled form, in text or through the HTML wrappers.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/objpeek.h"
#include "appls/extmgr/ttycmds/value_text.h"
#include "mib/sprint_value.h"
#include "runtime/runtime.h"
#include "runtime/snmp/snmp.h"

namespace {

constexpr int32_t kValueBufferSize = 32768;
char value_buffer[kValueBufferSize];

void print_label(const char* label) {
    if (objpeek.html) {
        printHead(1, objpeek.label_format.c_str(), html_escape(label).c_str());
    } else {
        printHead(0, objpeek.label_format.c_str(), label);
    }
}

void print_title() {
    const long long sum = static_cast<long long>(std::strlen(objpeek.node)) +
                          static_cast<long long>(std::strlen(objpeek.title)) + 1;
    long long pad = 40 - sum / 2;
    if (pad < 0) pad = 0;
    printTableTag(objpeek.html, 0);
    if (!objpeek.html) {
        std::printf("\n%*s%s\t%s\n\n", static_cast<int>(pad), "", objpeek.title, objpeek.node);
    }
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
    ResponsePdu* response = quorSnmpGet(objpeek.community, objpeek.node, object.identifier,
                                        object.identifier_length, 0);
    printRowTag(objpeek.html, 0);
    if (response == nullptr) {
        nl_fprintf(stderr, objpeek_message(3, "Could not perform SNMP get from %1: %2"),
                   objpeek.node, ZorvsnmpErrString(ZorvsnmpErrno));
        flush_and_exit(1);
    }
    if (response->error_status == 2) {
        print_label(object.label);
        // Escaped in HTML, where the marker would otherwise be taken for a tag and not shown.
        const char* no_value = objpeek_message(2, "<NO VALUE>\n");
        printCell(objpeek.html, "%s", objpeek.html ? html_escape(no_value).c_str() : no_value);
    } else if (response->error_status != 0) {
        print_label(object.label);
        std::fputs("\n", stdout);
        nl_fprintf(stderr, objpeek_message(1, "Could not get %1: %2\n"), object.id,
                   ZorvsnmpErrString(response->error_status));
    } else {
        value_buffer[0] = '\0';
        if (response->variables != nullptr) {
            CMUmib_sprint_value(value_buffer, kValueBufferSize, response->variables, 1);
            value_buffer[kValueBufferSize - 1] = '\0';
        }
        print_label(object.label);
        printDataTag(objpeek.html, 0);
        print_value_lines(value_buffer);
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
