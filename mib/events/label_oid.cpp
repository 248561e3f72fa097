// Identifier texts of trap enterprises and variables, looked up by label in the compiled tree.
#include "mib/events/mib_events.h"

std::string enterprise_oid_text(const MibNode* root, const TrapDefinition& record) {
    if (record.enterprise[0] == '\0') return {};
    std::string text = oid_text_for_label(root, record.enterprise);
    // The enterprise of a notification may be written with a final zero arc; the trap's
    // identifier is the enterprise itself.
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, ".0") == 0)
        text.resize(text.size() - 2);
    return text;
}
