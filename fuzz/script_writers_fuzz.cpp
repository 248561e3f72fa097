// The CSV and JSON writers: arbitrary fields (a length byte, then that many bytes, repeated) and
// a value type (the first byte) must give a record that a strict CSV parser reads back as the
// fields made valid UTF-8, and a line that a strict JSON parser accepts with the same strings.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "appls/extmgr/ttycmds/script_writers.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void check_valid_utf8(std::string_view text) {
    std::string repaired;
    append_valid_utf8(repaired, text);
    check(repaired == text);
}

// Strict UTF-8 with no NUL: what both forms must always be.
void check_utf8(std::string_view text) {
    check_valid_utf8(text);
    check(text.find('\0') == std::string_view::npos);
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// RFC 4180 with LF ends: one record, its fields unquoted (no comma, quote, CR or LF) or quoted
// with doubled quotes.
std::vector<std::string> parse_csv_record(std::string_view text) {
    check(!text.empty() && text.back() == '\n');
    text.remove_suffix(1);
    std::vector<std::string> fields;
    size_t i = 0;
    for (;;) {
        std::string field;
        if (i < text.size() && text[i] == '"') {
            for (++i;; ++i) {
                check(i < text.size());
                if (text[i] != '"') {
                    field += text[i];
                } else if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        } else {
            while (i < text.size() && text[i] != ',') {
                check(text[i] != '"' && text[i] != '\r' && text[i] != '\n');
                field += text[i++];
            }
        }
        fields.push_back(field);
        if (i == text.size()) return fields;
        check(text[i++] == ',');
    }
}

class JsonReader {
  public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    void value() {
        check(i_ < text_.size());
        const char c = text_[i_];
        if (c == '"') {
            string();
        } else if (c == '{') {
            object();
        } else if (text_.substr(i_, 4) == "null") {
            i_ += 4;
        } else {
            number();
        }
    }
    bool at_end() const { return i_ == text_.size(); }
    const std::vector<std::string>& strings() const { return strings_; }

  private:
    void object() {
        ++i_;
        if (peek() == '}') {
            ++i_;
            return;
        }
        for (;;) {
            check(peek() == '"');
            string();
            check(peek() == ':');
            ++i_;
            skip_space();
            value();
            if (peek() == '}') {
                ++i_;
                return;
            }
            check(peek() == ',');
            ++i_;
            skip_space();
        }
    }
    void number() {
        const size_t start = i_;
        if (peek() == '-') ++i_;
        check(is_digit(peek()));
        if (text_[i_] == '0') check(i_ + 1 == text_.size() || !is_digit(text_[i_ + 1]));
        while (is_digit(peek())) ++i_;
        check(i_ > start);
    }
    void string() {
        ++i_;
        std::string out;
        for (;;) {
            check(i_ < text_.size());
            const auto c = static_cast<unsigned char>(text_[i_++]);
            if (c == '"') break;
            check(c >= 0x20);
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            check(i_ < text_.size());
            const char e = text_[i_++];
            const std::string_view simple = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
            if (const size_t k = simple.find(e); k != std::string_view::npos) {
                out += meaning[k];
                continue;
            }
            check(e == 'u' && i_ + 4 <= text_.size());
            const unsigned long code =
                std::strtoul(std::string(text_.substr(i_, 4)).c_str(), nullptr, 16);
            i_ += 4;
            check(code < 0xD800 || code > 0xDFFF);  // the writer never needs a surrogate pair
            if (code < 0x80) {
                out += static_cast<char>(code);
            } else if (code < 0x800) {
                out += static_cast<char>(0xC0 | (code >> 6));
                out += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | (code >> 12));
                out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (code & 0x3F));
            }
        }
        strings_.push_back(out);
    }
    char peek() const { return i_ < text_.size() ? text_[i_] : '\0'; }
    void skip_space() {
        while (peek() == ' ') ++i_;
    }

    std::string_view text_;
    size_t i_ = 0;
    std::vector<std::string> strings_;
};

constexpr uint8_t kTags[] = {ASN_INTEGER,    ASN_OCTET_STRING, ASN_NULL,     ASN_COUNTER,
                             ASN_GAUGE,      ASN_TIME_TICKS,   ASN_UINTEGER, ASN_COUNTER64,
                             ASN_IP_ADDRESS, ASN_OBJECT_ID};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t tag = kTags[data[0] % sizeof kTags];
    std::vector<std::string> fields;
    for (size_t i = 1; i < size;) {
        const size_t n = std::min<size_t>(data[i], size - i - 1);
        fields.emplace_back(reinterpret_cast<const char*>(data + i + 1), n);
        i += n + 1;
    }
    if (fields.empty()) return 0;

    CsvRecord record;
    for (const std::string& field : fields) record.field(field);
    char* written = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&written, &length);
    record.write(out);
    std::fclose(out);
    const std::string csv(written, length);
    std::free(written);
    check_utf8(csv);
    const std::vector<std::string> read = parse_csv_record(csv);
    check(read.size() == fields.size());
    for (size_t k = 0; k < fields.size(); ++k) {
        std::string want;
        append_valid_utf8(want, fields[k]);
        for (size_t nul = want.find('\0'); nul != std::string::npos; nul = want.find('\0'))
            want.replace(nul, 1, "\xEF\xBF\xBD");
        check(read[k] == want);
    }

    uint32_t name[] = {1, 3, 6, 1, 4, 1, 9};
    VarBind binding{};
    binding.name = name;
    binding.name_length = 7;
    binding.type = tag;
    for (size_t k = 0; k < 8 && k < fields[0].size(); ++k)
        binding.value.counter64 = binding.value.counter64 << 8 | static_cast<uint8_t>(fields[0][k]);
    std::string json = "{";
    for (size_t k = 0; k < fields.size(); ++k) {
        if (k > 0) json += ", ";
        append_json_string(json, fields[k]);
        json += ": ";
        append_json_value(json, &binding, fields[k]);
    }
    json += "}";
    check_utf8(json);
    JsonReader reader(json);
    reader.value();
    check(reader.at_end());
    for (const std::string& s : reader.strings()) check_valid_utf8(s);
    std::string first;
    append_valid_utf8(first, fields[0]);
    check(reader.strings().front() == first);
    return 0;
}
