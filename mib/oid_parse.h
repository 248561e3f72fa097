// Object identifier texts: the named grammar (labels resolved against `Mib`, relative texts
// under enterprises or mib-2) and the numeric grammar (dotted decimal).
#pragma once

#include <cstdint>

// Besides both grammars, parse_oid_text takes "MODULE::label" with an optional path after it
// ("IF-MIB::ifXEntry.ifName", "IF-MIB::ifIndex.3"): the node that the module defines under that
// label, found through the database's companion (loaded on the first such name; when it cannot be
// used its failure is printed once and the name does not resolve).
// `count` holds the capacity of `ids` on entry and the length on success.
int parse_oid_text(const char* text, uint32_t* ids, int32_t* count);    // 0 ok, -1 failure
int parse_oid_names(const char* text, uint32_t* ids, int32_t* count);   // 1 ok, 0 failure
int parse_oid_digits(const char* text, uint32_t* ids, int32_t* count);  // 0 ok, -1 failure
int oid_text_is_numeric(const char* text);
bool labels_equal(const char* a, const char* b);
