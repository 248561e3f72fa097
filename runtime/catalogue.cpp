// Catalogue texts from the C library's message catalogues.
#include <nl_types.h>

#include "runtime/runtime.h"

namespace {

// The "zorv" catalogue, opened once; later lookups reuse it even when it could not be opened, so
// a missing catalogue costs one search of NLSPATH per process. It is never closed, which keeps
// every text handed out valid until exit.
nl_catd catalogue() {
    static const nl_catd handle = catopen("zorv", NL_CAT_LOCALE);
    return handle;
}

}  // namespace

const char* BrixLoadString(int set, uint32_t id, const char* default_text) {
    if (default_text == nullptr) default_text = "";
    const int number = static_cast<int>(id & 0xFFFFu);
    const nl_catd handle = catalogue();
    if (handle == reinterpret_cast<nl_catd>(-1) || set <= 0 || number == 0) return default_text;
    return catgets(handle, set, number, default_text);
}
