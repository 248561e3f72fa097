// The module each definition of a parse list stands in, read before linking consumes the list.
#include "mib/compiler/compiler_internal.h"

std::vector<DefinitionModule> definition_modules(const ParseNode* list) {
    const auto& modules = compiler_state().modules;
    std::vector<DefinitionModule> found;
    for (const ParseNode* record = list; record; record = record->next) {
        if (record->kind != RecordKind::Definition || record->module < 0 ||
            static_cast<size_t>(record->module) >= modules.size())
            continue;
        // A text without a module header stands in a module of no name.
        if (modules[record->module].name.empty()) continue;
        found.push_back({record->label, record->parent_label, modules[record->module].name});
    }
    return found;
}
