// Catalogue texts from the C library's message catalogues.
#include <nl_types.h>

#include <vector>

#include "runtime/runtime.h"

namespace {

const nl_catd kNoCatalogue = reinterpret_cast<nl_catd>(-1);
// A message id is (set << 16) | number.
constexpr uint32_t kMessageNumberBits = 0xFFFFu;

// The "zorv" catalogue, opened once until a reset; later lookups reuse it even when it could not
// be opened, so a missing catalogue costs one search of NLSPATH. It is never closed, which keeps
// every text handed out valid until exit.
nl_catd opened = kNoCatalogue;
bool searched = false;

nl_catd catalogue() {
    if (!searched) {
        opened = catopen("zorv", NL_CAT_LOCALE);
        searched = true;
    }
    return opened;
}

}  // namespace

const char* BrixLoadString(int set, uint32_t id, const char* default_text) {
    if (default_text == nullptr) default_text = "";
    const int number = static_cast<int>(id & kMessageNumberBits);
    const nl_catd handle = catalogue();
    if (handle == kNoCatalogue || set <= 0 || number == 0) return default_text;
    return catgets(handle, set, number, default_text);
}

void reset_catalogue() {
    // The catalogue found before stays open (and known): texts from it may still be in use.
    static auto* kept = new std::vector<nl_catd>;  // never destroyed, like the catalogues
    if (opened != kNoCatalogue) kept->push_back(opened);
    opened = kNoCatalogue;
    searched = false;
}
