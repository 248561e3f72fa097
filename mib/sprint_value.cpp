// A binding's value as text, through the printer of its node in the loaded tree.
#include "mib/sprint_value.h"

#include <algorithm>
#include <cstring>

#include "mib/mib_tree.h"
#include "mib/oid_names.h"
#include "mib/value_format.h"

int CMUmib_sprint_value(char* buffer, int32_t size, const VarBind* binding, int form) {
    if (!buffer || size <= 0) return 0;
    if (!binding) {
        buffer[0] = '\0';
        return 0;
    }
    const char* exception = nullptr;
    switch (binding->type) {
        case snmp::kTagNoSuchObject:
            exception = "noSuchObject";
            break;
        case snmp::kTagNoSuchInstance:
            exception = "noSuchInstance";
            break;
        case snmp::kTagEndOfMibView:
            exception = "endOfMibView";
            break;
        default:
            break;
    }
    if (exception) {
        const size_t n = std::min(std::strlen(exception), static_cast<size_t>(size) - 1);
        std::memcpy(buffer, exception, n);
        buffer[n] = '\0';
        return 0;
    }
    ObjectId name{static_cast<int32_t>(binding->name_length), binding->name};
    MibValue value{binding->type, binding->value};
    MibVariable variable{&name, &value};
    const MibNode* node =
        binding->name ? find_node_deepest(binding->name, name.count, Mib) : nullptr;
    ValuePrinter printer = node && node->printer ? node->printer : render_by_tag;
    printer(buffer, size, &variable, node ? node->enums : nullptr, form);
    return 0;
}
