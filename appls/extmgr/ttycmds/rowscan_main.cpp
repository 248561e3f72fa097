// rowscan: reads one table from a node and prints the chosen columns as text or HTML.
// Start-up, options, field and instance lists, and column resolution.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "appls/extmgr/ttycmds/rowscan.h"
#include "mib/mib_init.h"
#include "mib/oid_names.h"
#include "mib/oid_parse.h"
#include "runtime/runtime.h"
#include "runtime/snmp/snmp.h"

RowscanState rowscan;

namespace {

enum Slot {
    kTitle,
    kCommunity,
    kTable,
    kFields,
    kNode,
    kAppname,
    kDump,
    kHtml,
    kScript,
    kHtmlFmt,
    kInst,
    kSlotCount
};

const OptionDesc kOptions[kSlotCount] = {
    {"-title", 2, nullptr, 11, option_slot_offset(kTitle)},
    {"-c", 2, nullptr, 11, option_slot_offset(kCommunity)},
    {"-table", 2, nullptr, 11, option_slot_offset(kTable)},
    {"-fields", 2, nullptr, 11, option_slot_offset(kFields)},
    {"-node", 2, nullptr, 11, option_slot_offset(kNode)},
    {"-appname", 4, nullptr, 11, option_slot_offset(kAppname)},
    {"-d", 0, "True", 12, option_slot_offset(kDump)},
    {"-html", 0, "True", 12, option_slot_offset(kHtml)},
    {"-js", 0, "True", 12, option_slot_offset(kScript)},
    {"-htmlFmt", 2, nullptr, 11, option_slot_offset(kHtmlFmt)},
    {"-inst", 2, nullptr, 11, option_slot_offset(kInst)},
};

const char kDefaultHtmlSpec[] =
    "<TABLE BORDER>%s</TABLE>,<TR>%s</TR>,<TH NOWRAP>%s</TH>,<TD NOWRAP>%s</TD>";

[[noreturn]] void print_usage(const char* program) {
    std::fprintf(stderr, "usage: %s -table objId -fields fieldList -node nodeName\n", program);
    std::fprintf(stderr,
                 "                [-c community] [-d] [-appname applicationName] [-t title]\n\n"
                 "                Required Arguments\n");
    std::fprintf(stderr,
                 "       -table   Object id of the table entry\n"
                 "       -fields  Comma separated list of field ids, where\n");
    std::fprintf(stderr,
                 "                fieldList :: fieldSpec[,fieldSpec]...\n"
                 "                fieldSpec :: [label=]fieldId[:width]\n");
    std::fprintf(stderr,
                 "                fieldId   :: object sub-id of the field\n"
                 "                label     :: column label for the field\n");
    std::fprintf(stderr,
                 "                width     :: column width for the field\n"
                 "       -node    Name or IP Address of device to query\n\n");
    std::fprintf(stderr,
                 "                Optional Arguments\n"
                 "       -c       SNMP community name\n"
                 "       -d       dump SNMP packets\n");
    std::fprintf(stderr,
                 "       -appname Unique name of the MIB Application\n"
                 "       -title   Title for the MIB Application Window\n");
    flush_and_exit(1);
}

void report(int number, const char* default_text, const char* insert) {
    nl_fprintf(stderr, rowscan_message(number, default_text), insert);
}

// Resolves an identifier text with room for any identifier the text can name.
bool resolve(const std::string& text, std::vector<uint32_t>& ids) {
    int32_t count = count_oid_parts(text.c_str()) + 128;
    ids.assign(static_cast<size_t>(count), 0);
    if (parse_oid_text(text.c_str(), ids.data(), &count) != 0 || count < 0) return false;
    ids.resize(static_cast<size_t>(count));
    return true;
}

// Splits and encodes "-inst"; every encoded instance must be an identifier before anything is
// asked of the node. In prefix mode an empty instance ("*" alone) is a prefix matching every row.
void read_instances(const char* text) {
    char** items = nullptr;
    const int count = split_list(text, &items);
    if (count < 0) {
        report(6, "ERROR: invalid object list: %1\n", text);
        print_usage(rowscan.program);
    }
    rowscan.instance_count = count;
    rowscan.instances = static_cast<char**>(alloc_or_exit(sizeof(char*) * count));
    for (int k = 0; k < count; ++k) {
        rowscan.instances[k] = encode_string_instance(items[k], true, &rowscan.prefix_mode);
    }
    std::vector<uint32_t> ids;
    for (int k = 0; k < count; ++k) {
        const char* encoded = rowscan.instances[k];
        if (rowscan.prefix_mode && *encoded == '\0') {
            rowscan.instance_ids.emplace_back();
            continue;
        }
        if (*encoded == '\0' || !resolve(std::string(".") + encoded, ids)) {
            report(6, "ERROR: invalid object list: %1\n", text);
            print_usage(rowscan.program);
        }
        rowscan.instance_ids.push_back(ids);
    }
}

void resolve_column(const char* table_text, int32_t i) {
    FieldSpec& field = rowscan.fields[i];
    std::vector<uint32_t> ids;
    if (!resolve(std::string(table_text) + "." + field.id, ids) || ids.empty()) {
        report(4, "ERROR: unknown field id: %1\n", field.id);
        flush_and_exit(1);
    }
    rowscan.columns[i] = ids.back();
    field.identifier = &rowscan.columns[i];
    field.identifier_length = 1;

    const int32_t label_length = static_cast<int32_t>(std::strlen(field.label));
    if (field.width == 0) {
        field.width = -label_length;
    } else if (field.width < label_length) {
        field.width = label_length;
    }
    if (rowscan.html) field.width = -1;

    const char* format = nullptr;
    field.printer = nullptr;
    field.enums = nullptr;
    column_format(ids.data(), static_cast<int32_t>(ids.size()), &field.width, &field.printer,
                  &format, &field.enums);
    if (format != nullptr) {
        std::snprintf(field.format, sizeof field.format, "%s", format);
    } else {
        std::snprintf(field.format, sizeof field.format, "%%-%d.%ds", field.width, field.width);
    }
}

}  // namespace

const char* rowscan_message(int number, const char* default_text) {
    return BrixLoadString(kRowscanSet, (static_cast<uint32_t>(kRowscanSet) << 16) | number,
                          default_text);
}

int main(int argc, char** argv) {
    SetCurDriveToProductDrive();
    std::setlocale(LC_ALL, "");
    if (argc > 0 && argv[0] != nullptr) rowscan.program = _Zorvbasename(argv[0]);

    OptionSlot slots[kSlotCount] = {};
    int index = 0;
    const int parsed = parseCmdLine(argc, argv, 1, kSlotCount, kOptions, slots, &index);
    const char* at_index = index > 0 && index < argc ? argv[index] : "";
    if (parsed < 0) {
        report(14, "ERROR: invalid or missing argument for option, %1\n", at_index);
        print_usage(rowscan.program);
    }
    if (index != 0) {
        report(13, "ERROR: invalid parameter, %1\n", at_index);
        print_usage(rowscan.program);
    }

    rowscan.html = slots[kHtml] != nullptr;
    rowscan.script_escape = slots[kScript] != nullptr;

    // A wrapper is used as a printf format: one that is not safe is refused before any output.
    if (rowscan.html &&
        parseHtmlSpec(slots[kHtmlFmt] != nullptr ? slots[kHtmlFmt] : kDefaultHtmlSpec) < 0) {
        report(14, "ERROR: invalid or missing argument for option, %1\n", "-htmlFmt");
        print_usage(rowscan.program);
    }

    if (slots[kTable] == nullptr) {
        report(12, "ERROR: missing required option, %1\n", "-table");
        print_usage(rowscan.program);
    }
    if (slots[kFields] == nullptr) {
        report(11, "ERROR: missing required option, %1\n", "-fields");
        print_usage(rowscan.program);
    }
    if (slots[kNode] == nullptr) {
        report(10, "ERROR: missing required option, %1\n", "-node");
        print_usage(rowscan.program);
    }
    const char* table_text = slots[kTable];
    rowscan.node = slots[kNode];
    rowscan.community = slots[kCommunity];
    rowscan.title = slots[kTitle] != nullptr ? slots[kTitle]
                                             : rowscan_message(9, "User Specified MIB Table for");
    if (slots[kDump] != nullptr) ZorvsnmpDumpPacket = 1;

    refresh_mib();

    if (!resolve(table_text, rowscan.table)) {
        report(8, "ERROR: unknown table id: %1\n", table_text);
        flush_and_exit(1);
    }

    char** items = nullptr;
    const int field_count = split_list(slots[kFields], &items);
    if (field_count < 0) {
        report(7, "ERROR: invalid field list: %1\n", slots[kFields]);
        print_usage(rowscan.program);
    }
    rowscan.field_count = field_count;
    rowscan.fields = static_cast<FieldSpec*>(alloc_or_exit(sizeof(FieldSpec) * field_count));
    rowscan.columns = static_cast<uint32_t*>(alloc_or_exit(sizeof(uint32_t) * field_count));
    std::memset(rowscan.fields, 0, sizeof(FieldSpec) * field_count);

    if (slots[kInst] != nullptr) read_instances(slots[kInst]);

    for (int32_t i = 0; i < field_count; ++i) {
        FieldSpec& field = rowscan.fields[i];
        parse_field_spec(items[i], &field.id, &field.label, &field.width);
    }
    for (int32_t i = 0; i < field_count; ++i) resolve_column(table_text, i);

    print_titles();
    retrieve_rows();
}
