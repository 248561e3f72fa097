// The option parser on argument vectors cut from the input (rowscan's table), and the HTML
// wrapper checks and output on the input taken as a wrapper specification.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/runtime.h"

namespace {

const OptionDesc kOptions[] = {
    {"-title", 2, nullptr, 11, option_slot_offset(0)},
    {"-c", 2, nullptr, 11, option_slot_offset(1)},
    {"-table", 2, nullptr, 11, option_slot_offset(2)},
    {"-fields", 2, nullptr, 11, option_slot_offset(3)},
    {"-node", 2, nullptr, 11, option_slot_offset(4)},
    {"-appname", 4, nullptr, 11, option_slot_offset(5)},
    {"-d", 0, "True", 12, option_slot_offset(6)},
    {"-html", 0, "True", 12, option_slot_offset(7)},
    {"-js", 0, "True", 12, option_slot_offset(8)},
    {"-htmlFmt", 2, nullptr, 11, option_slot_offset(9)},
    {"-inst", 2, nullptr, 11, option_slot_offset(10)},
};

// A wrapper is safe as a printf format with one text when every '%' starts "%%" or the only "%s".
bool safe_format(const std::string& f) {
    int texts = 0;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%') continue;
        if (i + 1 >= f.size()) return false;
        if (f[i + 1] == 's')
            ++texts;
        else if (f[i + 1] != '%')
            return false;
        ++i;
    }
    return texts <= 1;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    // Arguments are the input's pieces between NUL bytes; short words make options likely.
    std::vector<std::string> args{"rowscan"};
    std::string piece;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(piece);
            piece.clear();
        } else {
            piece += static_cast<char>(data[i]);
        }
    }
    args.push_back(piece);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(args.size());

    OptionSlot slots[11] = {};
    int index = -5;
    const int result = parseCmdLine(argc, argv.data(), 1, 11, kOptions, slots, &index);
    if (result < 0 ? (index < 1 || index >= argc) : (index != 0 && (index < 1 || index >= argc)))
        std::abort();
    for (OptionSlot s : slots) {
        if (s == nullptr || std::strcmp(s, "True") == 0) continue;
        bool from_argv = false;
        for (char* a : argv) from_argv = from_argv || a == s;
        if (!from_argv) std::abort();
    }

    // The whole input, up to its first NUL, as a wrapper specification.
    const std::string text(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), size));
    if (parseHtmlSpec(text.c_str()) == 0) {
        if (!safe_format(formatHead(1, "%s"))) std::abort();
        std::printf(formatHead(1, "%s"), "label");
        for (int which : {0, 1}) {
            printTableTag(1, which);
            printRowTag(1, which);
            printDataTag(1, which);
        }
        printHead(1, "%s", "h");
        printCell(1, "%s", "c");
    }
    // Text mode with the input as the column format.
    printCell(0, text.c_str(), "text");
    printHead(0, text.c_str(), "head");
    (void)html_escape(text);
    return 0;
}
