#include "appls/extmgr/ttycmds/program_output.h"

#include <cstdio>
#include <cstring>

#include "mib/sprint_value.h"

namespace {

constexpr long long kTitleCentreColumn = 40;

}  // namespace

void print_title_line(const char* title, char separator, const char* node) {
    const long long width =
        static_cast<long long>(std::strlen(title)) + 1 + static_cast<long long>(std::strlen(node));
    long long pad = kTitleCentreColumn - width / 2;
    if (pad < 0) pad = 0;
    std::printf("\n%*s%s%c%s\n\n", static_cast<int>(pad), "", title, separator, node);
}

char* binding_value_text(const VarBind* binding) {
    static char buffer[kValueTextSize];
    buffer[0] = '\0';
    if (binding != nullptr) {
        CMUmib_sprint_value(buffer, kValueTextSize, binding, 1);
        buffer[kValueTextSize - 1] = '\0';
    }
    return buffer;
}
