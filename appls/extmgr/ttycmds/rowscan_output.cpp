// rowscan: the title line, the headings and one line (or HTML row) per table row.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "appls/extmgr/ttycmds/rowscan.h"
#include "appls/extmgr/ttycmds/value_text.h"
#include "mib/sprint_value.h"
#include "runtime/runtime.h"
#include "runtime/snmp/snmp.h"

namespace {

constexpr int32_t kValueBufferSize = 32768;
char value_buffer[kValueBufferSize];

bool has_null_name(const VarBind* binding) {
    if (binding->name == nullptr || binding->name_length < kNullNameLength) return false;
    for (int k = 0; k < kNullNameLength; ++k) {
        if (binding->name[k] != 0) return false;
    }
    return true;
}

// The binding's value as it goes into its cell.
std::string cell_text(const VarBind* binding, bool substitute_hole) {
    // In HTML the marker is escaped like any cell text: as it stands a browser would take it
    // for an unknown tag and show nothing.
    if (substitute_hole && has_null_name(binding)) {
        return rowscan.html ? html_escape("<NO VALUE>") : "<NO VALUE>";
    }
    value_buffer[0] = '\0';
    CMUmib_sprint_value(value_buffer, kValueBufferSize, binding, 1);
    value_buffer[kValueBufferSize - 1] = '\0';
    clean_value_text(value_buffer);
    return prepare_value_text(value_buffer, rowscan.html, rowscan.script_escape);
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
    if (binding->name == nullptr || binding->name_length < start + prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), binding->name + start);
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
            if (!has_null_name(binding) && matches_prefix(binding, prefix)) row_matches = true;
        }
        if (!row_matches) continue;
        for (size_t i = 0; i < bindings.size(); ++i) {
            if (printed[i]) continue;
            const bool hole = has_null_name(bindings[i]);
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
    if (!rowscan.html) {
        const long long sum = static_cast<long long>(std::strlen(rowscan.node)) + 1 +
                              static_cast<long long>(std::strlen(rowscan.title));
        long long pad = 40 - sum / 2;
        if (pad < 0) pad = 0;
        std::printf("\n%*s%s %s\n\n", static_cast<int>(pad), "", rowscan.title, rowscan.node);
    }
    for (int32_t i = 0; i < rowscan.field_count; ++i) {
        const FieldSpec& field = rowscan.fields[i];
        const std::string heading = formatHead(rowscan.html, rowscan.html ? "%s" : field.format);
        // A label is operator text and is placed like a value: in a script string a carriage
        // return would end the string, so it is cleaned there as values are.
        std::string label = field.label;
        if (rowscan.html && rowscan.script_escape) clean_value_text(label.data());
        if (rowscan.html) label = prepare_value_text(label, true, rowscan.script_escape);
        std::printf(heading.c_str(), label.c_str());
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
