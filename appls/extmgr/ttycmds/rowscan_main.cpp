// rowscan: reads one table from a node and prints the chosen columns as text, HTML, CSV or JSON.
// Start-up, options, field and instance lists, and column resolution.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "appls/extmgr/ttycmds/rowscan.h"
#include "appls/extmgr/ttycmds/script_writers.h"
#include "mib/mib_init.h"
#include "mib/oid_names.h"
#include "mib/oid_parse.h"
#include "runtime/runtime.h"

RowscanState rowscan;

using namespace rowscan_message;

namespace {

const char kDefaultHtmlSpec[] =
    "<TABLE BORDER>%s</TABLE>,<TR>%s</TR>,<TH NOWRAP>%s</TH>,<TD NOWRAP>%s</TD>";

void print_usage(FILE* stream, const char* program) {
    std::fprintf(stream, "usage: %s -table objId -fields fieldList -node nodeName\n", program);
    std::fprintf(stream,
                 "                [-c community] [-d] [-appname applicationName] [-t title]\n\n"
                 "                Required Arguments\n");
    std::fprintf(stream,
                 "       -table   Object id of the table entry\n"
                 "       -fields  Comma separated list of field ids, where\n");
    std::fprintf(stream,
                 "                fieldList :: fieldSpec[,fieldSpec]...\n"
                 "                fieldSpec :: [label=]fieldId[:width]\n");
    std::fprintf(stream,
                 "                fieldId   :: object sub-id of the field\n"
                 "                label     :: column label for the field\n");
    std::fprintf(stream,
                 "                width     :: column width for the field\n"
                 "       -node    Name or IP Address of device to query\n\n");
    std::fprintf(stream,
                 "                Optional Arguments\n"
                 "       -c       SNMP community name\n"
                 "       -d       dump SNMP packets\n");
    std::fprintf(stream,
                 "       -appname Unique name of the MIB Application\n"
                 "       -title   Title for the MIB Application Window\n");
}

// Wider than any value's text can be (the value buffer, escaped), so a wider column can only
// be a mistake; it would also be too wide for the column format.
constexpr int32_t kMaxFieldWidth = 65536;

// Sub-identifiers that the names in an identifier text may stand for beyond its components.
constexpr int32_t kRoomForNames = 128;

// Resolves an identifier text with room for any identifier the text can name.
bool resolve(const std::string& text, std::vector<uint32_t>& ids) {
    int32_t count = count_oid_parts(text.c_str()) + kRoomForNames;
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
    if (count < 0) rowscan_program.usage_error(kInvalidInstanceList, text);
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
            rowscan_program.usage_error(kInvalidInstanceList, text);
        }
        rowscan.instance_ids.push_back(ids);
    }
}

// Splits "-fields" and makes room for the fields and their column numbers.
char** read_field_list(const char* text) {
    char** items = nullptr;
    const int count = split_list(text, &items);
    if (count < 0) rowscan_program.usage_error(kInvalidFieldList, text);
    rowscan.field_count = count;
    rowscan.fields = static_cast<FieldSpec*>(alloc_or_exit(sizeof(FieldSpec) * count));
    rowscan.columns = static_cast<uint32_t*>(alloc_or_exit(sizeof(uint32_t) * count));
    std::memset(rowscan.fields, 0, sizeof(FieldSpec) * count);
    return items;
}

// Whether `ids` is one of the table's columns.
bool is_column(const std::vector<uint32_t>& ids) {
    return ids.size() == rowscan.table.size() + 1 &&
           std::equal(rowscan.table.begin(), rowscan.table.end(), ids.begin());
}

// The field's identifier: a column (the last sub-identifier of what the id names under the
// table, or a module's name of the column), or an object of the table's INDEX, which makes it
// an index field.
// The field spec as given, for a field whose text holds a "::": the split of parse_field_spec
// comes first, so that what it accepted stays accepted, and the module's name only when it fails.
std::vector<char*> module_specs;

std::vector<uint32_t> resolve_field(const char* table_text, const char* field_text, int32_t i) {
    FieldSpec& field = rowscan.fields[i];
    std::vector<uint32_t> ids;
    bool resolved = resolve(std::string(table_text) + "." + field.id, ids) && !ids.empty();
    bool module_name = false;
    int32_t component = -1;
    if (resolved && is_hidden_index_object(ids)) {
        component = resolve_index_field(field, &ids);
    } else if (!resolved && std::strchr(field.id, '.') == nullptr) {
        component = resolve_index_field(field, nullptr);
    }
    if (!resolved && component < 0 && module_specs[i] != nullptr &&
        parse_module_field_spec(module_specs[i], &field.id, &field.label, &field.width)) {
        if (field.width > kMaxFieldWidth)
            rowscan_program.usage_error(kInvalidFieldList, field_text);
        module_name = true;
        resolved = resolve(field.id, ids);
        if (resolved && !is_column(ids)) component = resolve_index_field(field, &ids);
    }
    if (component >= 0) {
        rowscan.field_component[i] = component;
        rowscan.columns[i] = 0;
        return rowscan.index_objects[component];
    }
    if (!resolved || (module_name && !is_column(ids)))
        rowscan_program.fail_unresolved(kUnknownField, field.id);
    rowscan.columns[i] = ids.back();
    return ids;
}

void resolve_column(const char* table_text, const char* field_text, int32_t i) {
    FieldSpec& field = rowscan.fields[i];
    const std::vector<uint32_t> ids = resolve_field(table_text, field_text, i);
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

constinit Program rowscan_program("rowscan", kRowscanSet, print_usage);

int main(int argc, char** argv) {
    rowscan_program.start(argc, argv);
    CommandLine options(rowscan_program, {kBadOptionArgument, kStrayArgument}, kRowscanOptions);
    options.parse(argc, argv);
    options.use_html_wrappers(kDefaultHtmlSpec);
    const char* table_text = options.required("-table", kMissingTable);
    const char* field_text = options.required("-fields", kMissingFields);
    options.required("-node", kMissingNode);
    options.take_common(rowscan, kDefaultTitle);

    refresh_mib();
    // The table is resolved before the field list is looked at.
    if (!resolve(table_text, rowscan.table))
        rowscan_program.fail_unresolved(kUnknownTable, table_text);

    char** items = read_field_list(field_text);
    if (options.given("-inst")) read_instances(options.value("-inst"));
    for (int32_t i = 0; i < rowscan.field_count; ++i) {
        FieldSpec& field = rowscan.fields[i];
        module_specs.push_back(std::strstr(items[i], "::") ? copy_or_exit(items[i]) : nullptr);
        parse_field_spec(items[i], &field.id, &field.label, &field.width);
        if (field.width > kMaxFieldWidth)
            rowscan_program.usage_error(kInvalidFieldList, field_text);
    }
    rowscan.field_component.assign(rowscan.field_count, -1);
    for (int32_t i = 0; i < rowscan.field_count; ++i) resolve_column(table_text, field_text, i);
    if (!plan_requests()) rowscan_program.fail_unresolved(kUnknownTable, table_text);

    if (rowscan.form == OutputForm::kJson &&
        !json_keys_distinct(rowscan.fields, rowscan.field_count))
        rowscan_program.usage_error(kInvalidFieldList, field_text);

    const std::unique_ptr<OutputSink> sink = make_table_sink(rowscan);
    sink->begin();
    retrieve_rows(*sink);
}
