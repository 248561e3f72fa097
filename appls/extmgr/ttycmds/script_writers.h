// The encodings of the forms that scripts read: CSV records and JSON texts, always valid UTF-8
// whatever bytes they are given.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "runtime/snmp/snmp.h"

// Appends `text` with every byte that is not part of a well-formed UTF-8 sequence (a stray
// continuation byte, a cut or overlong sequence, a surrogate, beyond U+10FFFF) replaced by
// U+FFFD.
void append_valid_utf8(std::string& out, std::string_view text);

// One CSV record (RFC 4180, ended by a line feed) built field by field and written whole, so
// that output cut short by a failure still ends with a whole record. A field is quoted when it
// holds a comma, a quote, a carriage return, a line feed or U+2028/U+2029 (quotes doubled); a
// NUL is written as U+FFFD, since many readers refuse it. A record of one empty field is
// written as "" so that it does not read as a blank line.
class CsvRecord {
  public:
    void field(std::string_view text);
    // The record and its line feed to `out`; the record is then empty again.
    void write(std::FILE* out);
    // The record's text so far, without its line feed.
    const std::string& text() const { return text_; }

  private:
    std::string text_;
    std::string cleaned_;
    size_t fields_ = 0;
};

// Appends `text` as a JSON string, quotes included: quote and backslash escaped, control
// characters and DEL as \b \f \n \r \t or \u00XX, U+2028 and U+2029 as \u2028 and \u2029 (they
// end a line in a script), and bytes that are not UTF-8 replaced as append_valid_utf8 does.
void append_json_string(std::string& out, std::string_view text);

// Appends the value of a binding as JSON: null for a hole or no binding; a number for Counter32,
// Gauge32, TimeTicks (hundredths), Counter64, UInteger32, and an INTEGER whose text is its
// number (no enumeration label, no display hint); else `text`, the value's text, as a string.
void append_json_value(std::string& out, const VarBind* binding, std::string_view text);

// No two labels of the fields are the same JSON key (after the replacements above).
bool json_keys_distinct(const FieldSpec* fields, int32_t count);
