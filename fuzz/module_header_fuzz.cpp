// Module names and IMPORTS lists from arbitrary bytes: names are words, lines lie in the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mib/compiler/module_header.h"

namespace {

// Module names become file names on the search path: nothing but letters, digits, '-' and '_'.
bool is_word(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_';
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    for (const ModuleHeader& m : scan_module_headers(text)) {
        if (!is_word(m.name) || m.line < 1 || m.line > lines) std::abort();
        for (const ModuleImport& i : m.imports) {
            if (!is_word(i.module) || i.line < m.line || i.line > lines) std::abort();
        }
    }
    return 0;
}
