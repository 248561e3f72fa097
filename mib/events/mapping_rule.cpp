// One CLASS rule per trap: selects the trap by its variables, enterprise and specific number and
// maps its variables to event attributes.
#include "mib/events/mib_events.h"
#include "runtime/runtime.h"

namespace {

int variable_count(const TrapDefinition& record) {
    if (record.variable_count < 0) return 0;
    return record.variable_count < kTrapVariables ? record.variable_count : kTrapVariables;
}

const char* variable_label(const TrapDefinition& record, int i) {
    return record.variables[i] ? record.variables[i] : "";
}

}  // namespace

// Grows to fit: a rule with a cut message text would not parse.
std::string build_message_text(const TrapDefinition& record) {
    const int n = variable_count(record);
    std::string text = "msg = ";
    if (n == 0) {
        text += '"';
        text += record.name;
        text += " trap received\"";
        return text;
    }
    text += "PRINTF (\"";
    text += record.name;
    text += ' ';
    for (int i = 0; i < n; ++i) {
        text += ' ';
        text += variable_label(record, i);
        text += "=%s";
        if (i + 1 < n) text += ';';
    }
    text += "\",";
    for (int k = 1; k <= n; ++k) {
        text += " $V";
        text += std::to_string(k);
        if (k < n) text += ',';
    }
    text += ')';
    return text;
}

void write_mapping_rule(FILE* rules, const MibNode* root, const TrapDefinition& record) {
    if (!rules) return;
    const int n = variable_count(record);
    PrintFMessage(rules, "\nCLASS  %s \n", record.name);
    PrintFMessage(rules, "  SELECT\n");
    for (int k = 1; k <= n; ++k) {
        PrintFMessage(rules, "\t%d: ATTR(=,\"%s\");\n", k, variable_label(record, k - 1));
    }
    PrintFMessage(rules, "\t%d: ATTR(=,$ENTERPRISE), VALUE(PREFIX, \"%s\");\n", n + 1,
                  enterprise_oid_text(root, record).c_str());
    PrintFMessage(rules, "\t%d: $SPECIFIC = %d;\n", n + 2, record.specific);
    PrintFMessage(rules, "  MAP\n");
    for (int k = 1; k <= n; ++k) {
        PrintFMessage(rules, "\t%s = $V%d ;\n", variable_label(record, k - 1), k);
    }
    PrintFMessage(rules, "\tenterprise = \"%s\" ;\n", record.enterprise);
    PrintFMessage(rules, "\t%s; \n", build_message_text(record).c_str());
    PrintFMessage(rules, "END\n");
}
