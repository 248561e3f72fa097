// The positional formatter behind nl_printf, nl_fprintf and nl_sprintf.
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/runtime.h"

namespace {

// Field widths and precisions above this are refused: a message never needs them, and a
// catalogue text should not be able to ask for gigabytes of padding.
constexpr long kMaxField = 32767;
// Longest text between the exclamation marks that is still taken for a conversion.
constexpr size_t kMaxConversionText = 40;

enum class Length { None, Char, Short, Long, LongLong, IntMax, Size, PtrDiff, LongDouble };

struct Conversion {
    std::string flags;
    long width = -1;
    long precision = -1;
    Length length = Length::None;
    char letter = 0;
};

enum class ConversionKind { NotAConversion, Unsupported, Ok };

bool is_flag(char c) {
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0' || c == '\'';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Reads a run of digits; false when it is longer or larger than any field we accept.
bool read_number(std::string_view text, size_t& i, long& value) {
    value = 0;
    bool too_big = false;
    while (i < text.size() && is_digit(text[i])) {
        value = value * 10 + (text[i] - '0');
        if (value > kMaxField) {
            too_big = true;
            value = kMaxField;
        }
        ++i;
    }
    return !too_big;
}

// `text` is what stands between the exclamation marks.
ConversionKind parse_conversion(std::string_view text, Conversion& c) {
    if (text.empty() || text.size() > kMaxConversionText) return ConversionKind::NotAConversion;
    size_t i = 0;
    bool unsupported = false;
    while (i < text.size() && is_flag(text[i])) {
        if (c.flags.find(text[i]) == std::string::npos) c.flags += text[i];
        ++i;
    }
    const size_t width_start = i;
    if (i < text.size() && text[i] == '*') {
        unsupported = true;
        ++i;
    } else if (!read_number(text, i, c.width)) {
        unsupported = true;
    } else if (i == width_start) {
        c.width = -1;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (i < text.size() && text[i] == '*') {
            unsupported = true;
            ++i;
        } else if (!read_number(text, i, c.precision)) {
            unsupported = true;
        }
    }
    auto next_is = [&](char ch) { return i < text.size() && text[i] == ch; };
    if (next_is('h')) {
        ++i;
        c.length = Length::Short;
        if (next_is('h')) ++i, c.length = Length::Char;
    } else if (next_is('l')) {
        ++i;
        c.length = Length::Long;
        if (next_is('l')) ++i, c.length = Length::LongLong;
    } else if (next_is('j')) {
        ++i, c.length = Length::IntMax;
    } else if (next_is('z')) {
        ++i, c.length = Length::Size;
    } else if (next_is('t')) {
        ++i, c.length = Length::PtrDiff;
    } else if (next_is('L')) {
        ++i, c.length = Length::LongDouble;
    }
    if (i + 1 != text.size() || !is_letter(text[i])) return ConversionKind::NotAConversion;
    c.letter = text[i];
    if (std::string_view("diouxXcseEfFgGaA").find(c.letter) == std::string_view::npos)
        return ConversionKind::Unsupported;
    return unsupported ? ConversionKind::Unsupported : ConversionKind::Ok;
}

bool is_integer_letter(char l) {
    return std::string_view("diouxX").find(l) != std::string_view::npos;
}
bool is_real_letter(char l) {
    return std::string_view("eEfFgGaA").find(l) != std::string_view::npos;
}

// Only the flags that mean something for the conversion, so the format we hand to the C
// library is always a defined one.
std::string kept_flags(const Conversion& c) {
    std::string_view allowed;
    switch (c.letter) {
        case 'd':
        case 'i':
            allowed = "-+ 0'";
            break;
        case 'u':
            allowed = "-0'";
            break;
        case 'o':
        case 'x':
        case 'X':
            allowed = "-#0";
            break;
        default:
            allowed = is_real_letter(c.letter) ? "-+ #0'" : "-";
    }
    std::string kept;
    for (char f : c.flags)
        if (allowed.find(f) != std::string_view::npos) kept += f;
    return kept;
}

std::string c_format(const Conversion& c, std::string_view length, bool with_precision) {
    std::string f = "%" + kept_flags(c);
    if (c.width >= 0) f += std::to_string(c.width);
    if (with_precision && c.precision >= 0) f += "." + std::to_string(c.precision);
    f += length;
    f += c.letter;
    return f;
}

template <class T>
void append_printf(std::string& out, const std::string& format, T value) {
    const int n = std::snprintf(nullptr, 0, format.c_str(), value);
    if (n <= 0) return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n) + 1);
    std::snprintf(out.data() + at, static_cast<size_t>(n) + 1, format.c_str(), value);
    out.resize(at + static_cast<size_t>(n));
}

// A text in a field: cut at the precision, padded to the width, left-aligned with '-'.
void append_text(std::string& out, std::string_view text, const Conversion& c, bool cut) {
    if (cut && c.precision >= 0 && text.size() > static_cast<size_t>(c.precision))
        text = text.substr(0, static_cast<size_t>(c.precision));
    const size_t pad =
        c.width > 0 && static_cast<size_t>(c.width) > text.size() ? c.width - text.size() : 0;
    const bool left = c.flags.find('-') != std::string::npos;
    if (!left) out.append(pad, ' ');
    out.append(text);
    if (left) out.append(pad, ' ');
}

long long clamp_to_long_long(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9.2e18) return std::numeric_limits<long long>::max();
    if (v <= -9.2e18) return std::numeric_limits<long long>::min();
    return static_cast<long long>(v);
}

// The byte size of the integer the conversion takes.
int integer_size(const Conversion& c, const NlArg& arg) {
    switch (c.length) {
        case Length::Char:
            return 1;
        case Length::Short:
            return 2;
        case Length::None:
            return arg.size > 4 ? 8 : 4;
        default:
            return 8;
    }
}

// The value as two's-complement bits, as a cast to an integer type sees it.
unsigned long long bits_of(const NlArg& arg) {
    switch (arg.kind) {
        case NlArg::Kind::Signed:
            return static_cast<unsigned long long>(arg.signed_value);
        case NlArg::Kind::Unsigned:
            return arg.unsigned_value;
        default:
            return static_cast<unsigned long long>(clamp_to_long_long(arg.real_value));
    }
}

void append_integer(std::string& out, const Conversion& c, const NlArg& arg) {
    const int size = integer_size(c, arg);
    const bool is_signed = c.letter == 'd' || c.letter == 'i';
    const unsigned long long bits = bits_of(arg);
    const std::string format = c_format(c, "ll", true);
    if (is_signed) {
        long long v = static_cast<long long>(bits);
        if (size == 1) v = static_cast<signed char>(bits);
        if (size == 2) v = static_cast<short>(bits);
        if (size == 4) v = static_cast<int>(bits);
        append_printf(out, format, v);
    } else {
        unsigned long long v = bits;
        if (size == 1) v = static_cast<unsigned char>(bits);
        if (size == 2) v = static_cast<unsigned short>(bits);
        if (size == 4) v = static_cast<unsigned int>(bits);
        append_printf(out, format, v);
    }
}

double real_of(const NlArg& arg) {
    switch (arg.kind) {
        case NlArg::Kind::Signed:
            return static_cast<double>(arg.signed_value);
        case NlArg::Kind::Unsigned:
            return static_cast<double>(arg.unsigned_value);
        default:
            return arg.real_value;
    }
}

// A number written as plain text, as "%1" shows it.
std::string plain_text(const NlArg& arg) {
    std::string text;
    switch (arg.kind) {
        case NlArg::Kind::Text:
            return std::string(arg.text);
        case NlArg::Kind::Signed:
            return std::to_string(arg.signed_value);
        case NlArg::Kind::Unsigned:
            return std::to_string(arg.unsigned_value);
        case NlArg::Kind::Real:
            append_printf(text, "%g", arg.real_value);
            return text;
    }
    return text;
}

void append_conversion(std::string& out, const Conversion& c, const NlArg& arg) {
    if (c.letter == 's') {
        append_text(out, plain_text(arg), c, true);
    } else if (arg.kind == NlArg::Kind::Text) {
        // A text where the translator expected a number: show it rather than lose it.
        append_text(out, arg.text, c, false);
    } else if (c.letter == 'c') {
        const char ch = static_cast<char>(bits_of(arg));
        append_text(out, std::string_view(&ch, 1), c, false);
    } else if (is_integer_letter(c.letter)) {
        append_integer(out, c, arg);
    } else {
        append_printf(out, c_format(c, "", true), real_of(arg));
    }
}

}  // namespace

void nl_format(std::string& out, const char* format, std::span<const NlArg> args) {
    if (format == nullptr) return;
    const std::string_view f(format);
    size_t i = 0;
    while (i < f.size()) {
        const size_t percent = f.find('%', i);
        if (percent == std::string_view::npos) {
            out.append(f.substr(i));
            break;
        }
        out.append(f.substr(i, percent - i));
        i = percent + 1;
        if (i < f.size() && f[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        if (i >= f.size() || f[i] < '1' || f[i] > '9') {
            out += '%';
            continue;
        }
        size_t number = static_cast<size_t>(f[i] - '0');
        ++i;
        if (i < f.size() && is_digit(f[i]))
            number = number * 10 + static_cast<size_t>(f[i++] - '0');

        // "%N!conv!" when a conversion closes with '!', else a plain insert.
        Conversion c;
        ConversionKind kind = ConversionKind::NotAConversion;
        size_t end = i;
        if (i < f.size() && f[i] == '!') {
            const size_t close = f.find('!', i + 1);
            if (close != std::string_view::npos) {
                kind = parse_conversion(f.substr(i + 1, close - i - 1), c);
                end = close + 1;
            }
        }
        if (kind == ConversionKind::NotAConversion) end = i;
        const std::string_view as_written = f.substr(percent, end - percent);
        i = end;
        if (number > args.size() || kind == ConversionKind::Unsupported) {
            out.append(as_written);
        } else if (kind == ConversionKind::Ok) {
            append_conversion(out, c, args[number - 1]);
        } else {
            out.append(plain_text(args[number - 1]));
        }
    }
}
