// The field and instance lists of the command line: list splitting, field specs, identifier part
// counts, string-instance encoding, and the value texts both programs print (cleaned, HTML- and
// script-escaped). The first byte chooses the flags; the rest is the list text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "appls/extmgr/ttycmds/value_text.h"

namespace {

bool inside(const char* p, const char* begin, size_t length) {
    return p >= begin && p <= begin + length;
}

// The instance must come back as the decimal bytes of the text, dot-separated.
void check_encoded(const char* text, size_t length, const char* encoded) {
    if (std::strspn(text, "0123456789.") == std::strlen(text)) {
        if (std::strcmp(text, encoded) != 0) std::abort();
        return;
    }
    const char* p = encoded;
    for (size_t i = 0; i < length; ++i) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(p, &end, 10);
        if (end == p || value != static_cast<unsigned char>(text[i])) std::abort();
        p = end;
        if (i + 1 < length) {
            if (*p != '.') std::abort();
            ++p;
        }
    }
    if (*p != '\0') std::abort();
}

// A single-quoted script string must not end before the text does, nor run into a bare line
// end (a control character or U+2028/U+2029 in UTF-8).
void check_script_string(const std::string& s) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') {
            ++i;
        } else if (s[i] == '\'' || static_cast<unsigned char>(s[i]) < 0x20 || s[i] == '\x7f') {
            std::abort();
        }
    }
    if (s.find("\xE2\x80\xA8") != std::string::npos || s.find("\xE2\x80\xA9") != std::string::npos)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    const uint8_t flags = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1),
                           strnlen(reinterpret_cast<const char*>(data + 1), size - 1));

    char** items = nullptr;
    const int count = split_list(text.c_str(), &items);
    if (count > 0) {
        for (int i = 0; i < count; ++i) {
            char* item = items[i];
            const size_t length = std::strlen(item);
            if (std::strpbrk(item, ",\n") != nullptr) std::abort();
            (void)count_oid_parts(item);

            std::string spec(item);
            char *id = nullptr, *label = nullptr;
            int32_t width = -1;
            parse_field_spec(spec.data(), &id, &label, &width);
            if (!inside(id, spec.data(), spec.size()) || !inside(label, spec.data(), spec.size()))
                std::abort();
            if (std::strchr(id, ':') != nullptr) std::abort();

            bool is_prefix = false;
            const bool star = (flags & 1) != 0;
            char* encoded = encode_string_instance(item, star, &is_prefix);
            size_t used = length;
            if (is_prefix) {
                if (!star || item[length - 1] != '*') std::abort();
                --used;
            }
            check_encoded(item, used, encoded);
            std::free(encoded);
            std::free(item);
        }
        std::free(items);
    } else if (items != nullptr) {
        std::abort();
    }

    // The value texts: cleaning keeps the length; HTML leaves no markup; script stays one string.
    std::string value(text);
    clean_value_text(value.data());
    if (std::strlen(value.c_str()) != text.size()) std::abort();
    const bool html = (flags & 2) != 0, script = (flags & 4) != 0;
    // The programs clean a value before they place it; a raw carriage return would end a
    // script string, and cleaning is what keeps it out.
    const std::string prepared = prepare_value_text(value.c_str(), html, script);
    if (html && prepared.find_first_of("<>\"") != std::string::npos && !script) std::abort();
    if (script) {
        // "<br>" is the only markup a script string gains.
        std::string without_breaks = prepared;
        for (size_t at; (at = without_breaks.find("<br>")) != std::string::npos;)
            without_breaks.erase(at, 4);
        if (html && without_breaks.find_first_of("<>\"") != std::string::npos) std::abort();
        check_script_string(without_breaks);
        // The escaping holds by itself, on text that was never cleaned.
        std::string raw_escaped;
        append_script_escaped(raw_escaped, text);
        check_script_string(raw_escaped);
    }
    return 0;
}
