#include "appls/extmgr/ttycmds/script_writers.h"

#include <cstdint>
#include <set>

#include "appls/extmgr/ttycmds/response_bindings.h"

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at the start of `text`; 0 when there is none.
size_t sequence_length(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

// U+2028 or U+2029 at the start of `text`.
bool is_line_separator(std::string_view text) {
    return text.size() >= 3 && text[0] == '\xE2' && text[1] == '\x80' &&
           (text[2] == '\xA8' || text[2] == '\xA9');
}

bool needs_quotes(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
        if (is_line_separator(text.substr(i))) return true;
    }
    return false;
}

void append_number(std::string& out, uint64_t value) {
    out += std::to_string(value);
}

}  // namespace

void append_valid_utf8(std::string& out, std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const size_t n = sequence_length(text.substr(i));
        if (n == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
}

void CsvRecord::field(std::string_view text) {
    if (fields_++ > 0) text_ += ',';
    cleaned_.clear();
    append_valid_utf8(cleaned_, text);
    if (!needs_quotes(cleaned_)) {
        for (const char c : cleaned_) {
            if (c == '\0') {
                text_ += kReplacement;
            } else {
                text_ += c;
            }
        }
        return;
    }
    text_ += '"';
    for (const char c : cleaned_) {
        if (c == '"') {
            text_ += "\"\"";
        } else if (c == '\0') {
            text_ += kReplacement;
        } else {
            text_ += c;
        }
    }
    text_ += '"';
}

void CsvRecord::write(std::FILE* out) {
    if (fields_ == 1 && text_.empty()) text_ = "\"\"";
    text_ += '\n';
    std::fwrite(text_.data(), 1, text_.size(), out);
    text_.clear();
    fields_ = 0;
}

void append_json_string(std::string& out, std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    out += '"';
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t n = sequence_length(text.substr(i));
            if (n == 0) {
                out += kReplacement;
                ++i;
            } else if (is_line_separator(text.substr(i))) {
                out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
                i += n;
            } else {
                out.append(text.substr(i, n));
                i += n;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += "\\u00";
                    out += digits[c >> 4];
                    out += digits[c & 0xF];
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    out += '"';
}

void append_json_value(std::string& out, const VarBind* binding, std::string_view text) {
    if (binding == nullptr || is_hole(binding)) {
        out += "null";
        return;
    }
    switch (binding->type) {
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIME_TICKS:
        case ASN_UINTEGER:
            append_number(out, binding->value.uinteger);
            return;
        case ASN_COUNTER64:
            append_number(out, binding->value.counter64);
            return;
        case ASN_INTEGER: {
            // A label or a hint makes the text the value a reader expects.
            const std::string number = std::to_string(binding->value.integer);
            if (text == number) {
                out += number;
                return;
            }
            break;
        }
        default:
            break;
    }
    append_json_string(out, text);
}

bool json_keys_distinct(const FieldSpec* fields, int32_t count) {
    std::set<std::string> keys;
    for (int32_t i = 0; i < count; ++i) {
        std::string key;
        append_json_string(key, fields[i].label);
        if (!keys.insert(std::move(key)).second) return false;
    }
    return true;
}
