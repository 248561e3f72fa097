// printf-style messages to standard output and to a stream.
#include <cstdarg>
#include <cstdio>

#include "runtime/runtime.h"

int PrintMessage(const char* format, ...) {
    if (format == nullptr) return 0;
    va_list args;
    va_start(args, format);
    const int n = std::vprintf(format, args);
    va_end(args);
    return n;
}

int PrintFMessage(FILE* stream, const char* format, ...) {
    if (format == nullptr) return 0;
    va_list args;
    va_start(args, format);
    const int n = std::vfprintf(stream ? stream : stderr, format, args);
    va_end(args);
    return n;
}
