// Character stepping in the current locale's multibyte encoding, shared by the string helpers.
#pragma once

#include <cstddef>

namespace zorv_runtime {

// Bytes of the character that starts at `p`: 0 at the end of the text, 1 for a single byte or a
// byte that starts no valid character, more for a lead byte and its trail bytes.
size_t char_length(const char* p);

// True when the character of `n` bytes at `p` is one of the characters of `set`.
bool char_in_set(const char* p, size_t n, const char* set);

}  // namespace zorv_runtime
