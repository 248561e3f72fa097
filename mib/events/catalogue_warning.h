// Catalogue warnings of the generator on standard error.
#pragma once

#include <cstdio>
#include <cstring>

#include "mib/compiler/mib_messages.h"
#include "runtime/runtime.h"

// The catalogue texts end without a line end of their own; one is added so that each warning
// stands on its own line.
template <class... A>
void warn_catalogued(MibMessage message, const A&... inserts) {
    const char* format = load_mib_message(message);
    nl_fprintf(stderr, format, inserts...);
    const size_t n = std::strlen(format);
    if (n == 0 || format[n - 1] != '\n') std::fputc('\n', stderr);
}
