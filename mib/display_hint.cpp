// The DISPLAY-HINT renderers: a hint is checked whole first, then applied to the value.
#include "mib/display_hint.h"

namespace {

// Octet lengths beyond any value's size mean "the rest"; they stop growing here.
constexpr uint32_t kLengthLimit = 1u << 24;
// More octets than a 64-bit number holds cannot be shown as one decimal or octal number.
constexpr uint32_t kNumberOctets = 8;
constexpr unsigned kMaxDecimals = 64;

struct Spec {
    bool repeat = false;
    uint32_t length = 0;
    char format = 0;
    char separator = 0;
    char terminator = 0;
};

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_printable_ascii(char c) {
    return c >= 0x20 && c <= 0x7E;
}
// Printable ASCII or white space, whatever the program's locale says of other bytes.
bool is_ascii_text(uint8_t b) {
    return is_printable_ascii(static_cast<char>(b)) || (b >= '\t' && b <= '\r');
}

// Reads one hint specification, starting at `pos`, and moves past it; false when malformed.
bool read_spec(std::string_view hint, size_t& pos, Spec& spec) {
    spec = Spec{};
    if (pos < hint.size() && hint[pos] == '*') {
        spec.repeat = true;
        ++pos;
    }
    const size_t digits = pos;
    uint32_t length = 0;
    for (; pos < hint.size() && is_digit(hint[pos]); ++pos) {
        length = length * 10 + static_cast<uint32_t>(hint[pos] - '0');
        if (length > kLengthLimit) length = kLengthLimit;
    }
    if (pos == digits || pos == hint.size()) return false;
    spec.length = length;
    spec.format = hint[pos++];
    switch (spec.format) {
        case 'x':
        case 'a':
        case 't':
            break;
        case 'd':
        case 'o':
            if (length > kNumberOctets) return false;
            break;
        default:
            return false;
    }
    // Anything but a digit or '*' after the format is a separator, then (after a repeat
    // indicator only) a terminator.
    const auto mark_here = [&] {
        return pos < hint.size() && !is_digit(hint[pos]) && hint[pos] != '*';
    };
    if (!mark_here()) return true;
    spec.separator = hint[pos++];
    if (!is_printable_ascii(spec.separator)) return false;
    if (!spec.repeat || !mark_here()) return true;
    spec.terminator = hint[pos++];
    return is_printable_ascii(spec.terminator);
}

// Length of the UTF-8 character at `p` (of `n` bytes left); 0 when it is not whole, not valid,
// or a control character other than white space.
size_t utf8_char(const uint8_t* p, size_t n) {
    const uint8_t lead = p[0];
    if (lead < 0x80) return is_ascii_text(lead) ? 1 : 0;
    size_t length;
    uint32_t code;
    uint32_t least;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1Fu, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0Fu, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (length > n) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
        code = code << 6 | (p[k] & 0x3Fu);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    const bool c1_control = code <= 0x9F;
    if (code < least || code > 0x10FFFF || surrogate || c1_control) return 0;
    return length;
}

void append_number(std::string& out, uint64_t value, unsigned base, size_t min_digits) {
    char digits[64];
    size_t n = 0;
    do {
        digits[n++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0);
    for (; min_digits > n; --min_digits) out.push_back('0');
    while (n > 0) out.push_back(digits[--n]);
}

// Appends one application of `format` to `n` bytes; false when the bytes cannot be shown.
bool apply(std::string& out, char format, const uint8_t* data, size_t n) {
    static const char kHex[] = "0123456789abcdef";
    switch (format) {
        case 'x':
            for (size_t i = 0; i < n; ++i) {
                out.push_back(kHex[data[i] >> 4]);
                out.push_back(kHex[data[i] & 0xF]);
            }
            return true;
        case 'd':
        case 'o': {
            if (n == 0) return true;
            uint64_t value = 0;
            for (size_t i = 0; i < n; ++i) value = value << 8 | data[i];
            append_number(out, value, format == 'd' ? 10 : 8, 1);
            return true;
        }
        case 'a':
            for (size_t i = 0; i < n; ++i)
                if (!is_ascii_text(data[i])) return false;
            break;
        default:  // 't'
            for (size_t i = 0; i < n;) {
                const size_t k = utf8_char(data + i, n - i);
                if (k == 0) return false;
                i += k;
            }
            break;
    }
    out.append(reinterpret_cast<const char*>(data), n);
    return true;
}

// Separators and terminators wait until more text follows, so none ends the text.
class HintText {
  public:
    explicit HintText(std::string& out) : out_(out) {}
    std::string& text() {
        if (pending_) out_.push_back(pending_);
        pending_ = 0;
        return out_;
    }
    void mark(char c) { pending_ = c; }

  private:
    std::string& out_;
    char pending_ = 0;
};

bool render_checked(std::string& out, std::string_view hint, const uint8_t* data, size_t length) {
    HintText text(out);
    size_t pos = 0;
    Spec spec;
    for (size_t i = 0; i < length;) {
        // Once the hint is used up, `spec` stays its last specification.
        if (pos < hint.size()) read_spec(hint, pos, spec);
        const size_t before = i;
        const uint32_t count = spec.repeat ? data[i++] : 1;
        for (uint32_t r = 0; r < count && i < length; ++r) {
            const size_t n = spec.length < length - i ? spec.length : length - i;
            // Pending marks go out before the bytes are checked; a failure discards all anyway.
            if (!apply(text.text(), spec.format, data + i, n)) return false;
            i += n;
            if (spec.separator) text.mark(spec.separator);
        }
        if (spec.terminator) text.mark(spec.terminator);
        if (i == before && pos == hint.size()) return false;  // would repeat forever
    }
    return true;
}

bool read_integer_hint(std::string_view hint, char& format, unsigned& decimals) {
    decimals = 0;
    if (hint.empty()) return false;
    format = hint[0];
    if (format == 'x' || format == 'o' || format == 'b') return hint.size() == 1;
    if (format != 'd') return false;
    if (hint.size() == 1) return true;
    if (hint[1] != '-' || hint.size() == 2) return false;
    for (size_t i = 2; i < hint.size(); ++i) {
        if (!is_digit(hint[i])) return false;
        decimals = decimals * 10 + static_cast<unsigned>(hint[i] - '0');
        if (decimals > kMaxDecimals) return false;
    }
    return true;
}

}  // namespace

bool octet_hint_valid(std::string_view hint) {
    if (hint.empty()) return false;
    Spec spec;
    for (size_t pos = 0; pos < hint.size();)
        if (!read_spec(hint, pos, spec)) return false;
    return true;
}

bool render_octet_hint(std::string& out, std::string_view hint, const uint8_t* data,
                       size_t length) {
    if (!octet_hint_valid(hint) || (length > 0 && !data)) return false;
    const size_t kept = out.size();
    if (render_checked(out, hint, data, length)) return true;
    out.resize(kept);
    return false;
}

bool integer_hint_valid(std::string_view hint) {
    char format;
    unsigned decimals;
    return read_integer_hint(hint, format, decimals);
}

bool render_integer_hint(std::string& out, std::string_view hint, int64_t value) {
    char format;
    unsigned decimals;
    if (!read_integer_hint(hint, format, decimals)) return false;
    // The magnitude in unsigned arithmetic, so the most negative value has one too.
    const uint64_t magnitude =
        value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    if (value < 0) out.push_back('-');
    const unsigned base = format == 'x' ? 16 : format == 'o' ? 8 : format == 'b' ? 2 : 10;
    if (decimals == 0) {
        append_number(out, magnitude, base, 1);
        return true;
    }
    append_number(out, magnitude, 10, decimals + 1);
    out.insert(out.end() - decimals, '.');
    return true;
}
