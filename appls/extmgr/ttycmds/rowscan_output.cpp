// rowscan: the title line, the headings and one line (or HTML row) per table row.
#include <cstdio>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/program_output.h"
#include "appls/extmgr/ttycmds/response_bindings.h"
#include "appls/extmgr/ttycmds/rowscan.h"
#include "appls/extmgr/ttycmds/value_text.h"
#include "runtime/runtime.h"
#include "runtime/snmp/snmp.h"

namespace {

// The binding's value as it goes into its cell.
std::string cell_text(const VarBind* binding, bool substitute_hole) {
    // In HTML the marker is escaped like any cell text: as it stands a browser would take it
    // for an unknown tag and show nothing.
    if (substitute_hole && is_hole(binding)) {
        return rowscan.html ? html_escape("<NO VALUE>") : "<NO VALUE>";
    }
    char* text = binding_value_text(binding);
    clean_value_text(text);
    return prepare_value_text(text, rowscan.html, rowscan.script_escape);
}

const char* cell_format(int32_t i) {
    if (rowscan.html) return "%s";
    return i < rowscan.field_count ? rowscan.fields[i].format : "%s";
}

void print_plain_row(VarBind* row) {
    int32_t i = 0;
    for (VarBind* binding = row; binding != nullptr; binding = binding->next, ++i) {
        const std::string text = cell_text(binding, true);
        printCell(rowscan.html, cell_format(i), text.c_str());
        if (!rowscan.html) std::fputs(binding->next != nullptr ? "\t" : "\n", stdout);
    }
}

// The binding's instance (after the table identifier and the column number) begins with the
// prefix.
bool matches_prefix(const VarBind* binding, const std::vector<uint32_t>& prefix) {
    const size_t start = rowscan.table.size() + 1;
    const OidSpan name = binding_name(binding);
    return name.size() >= start && oid_has_prefix(name.subspan(start), prefix);
}

// Cells are paired with prefixes binding by binding; a hole is printed with the prefix that
// the rest of its row matches, so the row keeps its columns.
void print_prefixed_row(VarBind* row) {
    std::vector<VarBind*> bindings;
    for (VarBind* binding = row; binding != nullptr; binding = binding->next) {
        bindings.push_back(binding);
    }
    std::vector<bool> printed(bindings.size(), false);
    for (const auto& prefix : rowscan.instance_ids) {
        bool row_matches = false;
        for (const VarBind* binding : bindings) {
            if (!is_hole(binding) && matches_prefix(binding, prefix)) row_matches = true;
        }
        if (!row_matches) continue;
        for (size_t i = 0; i < bindings.size(); ++i) {
            if (printed[i]) continue;
            const bool hole = is_hole(bindings[i]);
            if (!hole && !matches_prefix(bindings[i], prefix)) continue;
            printed[i] = true;
            const std::string text = cell_text(bindings[i], true);
            printCell(rowscan.html, cell_format(static_cast<int32_t>(i)), text.c_str());
            if (!rowscan.html) std::fputs(i + 1 < bindings.size() ? "  " : "\n", stdout);
        }
    }
}

}  // namespace

void print_titles() {
    if (!rowscan.html) print_title_line(rowscan.title, ' ', rowscan.node);
    for (int32_t i = 0; i < rowscan.field_count; ++i) {
        const FieldSpec& field = rowscan.fields[i];
        const std::string heading = formatHead(rowscan.html, rowscan.html ? "%s" : field.format);
        const std::string label =
            prepare_label_text(field.label, rowscan.html, rowscan.script_escape);
        // Through the same call as the cells, so that a heading is laid out as its column is.
        printHead(rowscan.html, heading.c_str(), label.c_str());
        if (!rowscan.html) std::fputs(i + 1 < rowscan.field_count ? "  " : "\n", stdout);
    }
    printRowTag(rowscan.html, 1);
}

void print_row(VarBind* row) {
    ++rowscan.row_count;
    printRowTag(rowscan.html, 0);
    if (rowscan.prefix_mode) {
        print_prefixed_row(row);
    } else {
        print_plain_row(row);
    }
    printRowTag(rowscan.html, 1);
}
