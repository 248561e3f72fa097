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

void binding_full_text(const VarBind* binding, std::string& out) {
    // Text that reaches this near the end of the buffer may have been cut: a value's text is
    // a few times its bytes at most, and a datagram holds less than 64 KiB.
    constexpr size_t kMargin = 64;
    constexpr size_t kLargest = size_t{1} << 22;
    out.clear();
    if (binding == nullptr) return;
    for (size_t size = kValueTextSize;; size *= 2) {
        out.assign(size, '\0');
        CMUmib_sprint_value(out.data(), static_cast<int32_t>(size), binding, 1);
        out.resize(std::strlen(out.c_str()));
        if (out.size() + kMargin < size || size >= kLargest) return;
    }
}
