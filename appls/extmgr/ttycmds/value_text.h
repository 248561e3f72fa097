// What both programs do to a value's text before it is printed: control characters made
// harmless, HTML escaping and escaping for a single-quoted script string.
#pragma once

#include <string>
#include <string_view>

// Replaces, in place, the first byte of every character that is neither a newline nor printable
// (a letter, digit, punctuation or the space) with a space. Multibyte characters of the current
// locale that are printable stay whole.
void clean_value_text(char* text);

// For a single-quoted script string that goes on over lines: a newline becomes "<br>\\\n", a
// quote or a backslash gets a backslash before it. Every other character a script string cannot
// hold raw is written as its escape: a carriage return or another control character as "\xHH",
// the line and paragraph separators U+2028 and U+2029 (in UTF-8) as "\u2028" and "\u2029".
void append_script_escaped(std::string& out, std::string_view text);

// The text as the programs place it: HTML-escaped in HTML mode, then script-escaped with "-js".
std::string prepare_value_text(std::string_view text, bool html, bool script);

// A label (operator text) as the programs place it in HTML: escaped like a value and, in a
// script string, cleaned first as values are. Outside HTML it stays as given.
std::string prepare_label_text(std::string label, bool html, bool script);
