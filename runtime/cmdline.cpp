// The option parser of both programs.
#include <cstring>

#include "runtime/runtime.h"

namespace {

bool same(const char* a, const char* b) {
    return a && b && std::strcmp(a, b) == 0;
}

// The table row an argument names: its exact option text, or "-title" for "-t" (as the usage
// texts write it) when the table has no "-t" of its own.
const OptionDesc* find_option(const OptionDesc* table, int rows, const char* arg) {
    for (int r = 0; r < rows; ++r)
        if (same(table[r].option, arg)) return &table[r];
    if (same(arg, "-t"))
        for (int r = 0; r < rows; ++r)
            if (same(table[r].option, "-title")) return &table[r];
    return nullptr;
}

void set_slot(void* values, const OptionDesc& option, const char* text) {
    if (values == nullptr || option.offset < 0) return;
    std::memcpy(static_cast<char*>(values) + option.offset, &text, sizeof text);
}

}  // namespace

int parseCmdLine(int argc, char** argv, int first, int rows, const OptionDesc* table, void* values,
                 int* index) {
    int unused = 0;
    if (index == nullptr) index = &unused;
    *index = 0;
    if (argv == nullptr) return 0;
    if (table == nullptr) rows = 0;
    for (int i = first < 0 ? 0 : first; i < argc && argv[i] != nullptr; ++i) {
        const OptionDesc* option = find_option(table, rows, argv[i]);
        if (option == nullptr) {
            // The first stray argument ends the parse: the programs report it and stop.
            *index = i;
            return 0;
        }
        if (option->kind == kOptionFlag) {
            set_slot(values, *option, option->flag_value ? option->flag_value : "True");
            continue;
        }
        const char* argument = i + 1 < argc ? argv[i + 1] : nullptr;
        // An any-argument option takes whatever follows; the others refuse another option as their
        // argument.
        if (argument == nullptr ||
            (option->kind != kOptionAnyArgument && find_option(table, rows, argument))) {
            *index = i;
            return -1;
        }
        set_slot(values, *option, argument);
        ++i;
    }
    return 0;
}
