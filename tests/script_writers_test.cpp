// The CSV and JSON encodings: quoting, escapes, and text that is not UTF-8.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "appls/extmgr/ttycmds/script_writers.h"

namespace {

using namespace std::string_literals;

TEST(ScriptWritersTest, CsvRecords) {
    struct Case {
        std::vector<std::string> fields;
        std::string record;
    } cases[] = {
        {{"a", "b c", ""}, "a,b c,\n"},
        {{"x,y", "say \"hi\""}, "\"x,y\",\"say \"\"hi\"\"\"\n"},
        {{"cr\r", "lf\nnext"}, "\"cr\r\",\"lf\nnext\"\n"},
        {{"sep\xE2\x80\xA8"}, "\"sep\xE2\x80\xA8\"\n"},
        // A lone empty field would read as a blank line.
        {{""}, "\"\"\n"},
        {{"", ""}, ",\n"},
        {{"nul\0in"s, "\xFF\xC3"}, "nul\xEF\xBF\xBDin,\xEF\xBF\xBD\xEF\xBF\xBD\n"},
        {{"=SUM(A1)"}, "=SUM(A1)\n"},
    };
    for (const Case& c : cases) {
        char* text = nullptr;
        size_t size = 0;
        std::FILE* out = open_memstream(&text, &size);
        CsvRecord record;
        for (const std::string& field : c.fields) record.field(field);
        record.write(out);
        record.field("next");  // the record starts over after a write
        record.write(out);
        std::fclose(out);
        EXPECT_EQ(std::string(text, size), c.record + "next\n");
        std::free(text);
    }
}

TEST(ScriptWritersTest, JsonStrings) {
    struct Case {
        std::string text, json;
    } cases[] = {
        {"plain", "\"plain\""},
        {"q\"b\\", "\"q\\\"b\\\\\""},
        {"\b\f\n\r\t\x01\x1F\x7F", "\"\\b\\f\\n\\r\\t\\u0001\\u001f\\u007f\""},
        {"\0"s, "\"\\u0000\""},
        {"a\xE2\x80\xA8z\xE2\x80\xA9", "\"a\\u2028z\\u2029\""},
        {"caf\xC3\xA9 \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xF0\x9F\x98\x80\""},
        // Stray continuation, cut sequence, overlong, surrogate, beyond U+10FFFF.
        {"\x80|\xE2\x80|\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80",
         "\"\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD|"
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const Case& c : cases) {
        std::string json;
        append_json_string(json, c.text);
        EXPECT_EQ(json, c.json) << c.text;
    }
}

TEST(ScriptWritersTest, JsonValues) {
    uint32_t name[] = {1, 3, 6, 1, 2};
    const auto binding = [&](uint8_t tag, uint64_t value) {
        VarBind b{};
        b.name = name;
        b.name_length = 5;
        b.type = tag;
        b.value.counter64 = value;
        return b;
    };
    struct Case {
        VarBind binding;
        std::string text, json;
    } cases[] = {
        {binding(ASN_INTEGER, static_cast<uint32_t>(-5)), "-5", "-5"},
        {binding(ASN_INTEGER, 1), "up", "\"up\""},
        {binding(ASN_INTEGER, 1234), "12.34", "\"12.34\""},
        {binding(ASN_COUNTER, 4294967295u), "4294967295", "4294967295"},
        {binding(ASN_GAUGE, 7), "7", "7"},
        {binding(ASN_TIME_TICKS, 12345), "(12345) 0:02:03.45", "12345"},
        {binding(ASN_UINTEGER, 9), "nine", "9"},
        {binding(ASN_COUNTER64, 18446744073709551615u), "", "18446744073709551615"},
        {binding(ASN_IP_ADDRESS, 0), "192.0.2.1", "\"192.0.2.1\""},
        {binding(ASN_OCTET_STRING, 0), "00 16 C7 ", "\"00 16 C7 \""},
    };
    for (const Case& c : cases) {
        std::string json;
        append_json_value(json, &c.binding, c.text);
        EXPECT_EQ(json, c.json) << c.text;
    }
    uint32_t null_name[kNullNameLength] = {};
    VarBind hole = binding(ASN_NULL, 0);
    hole.name = null_name;
    hole.name_length = kNullNameLength;
    for (const VarBind* none : {static_cast<const VarBind*>(nullptr), &std::as_const(hole)}) {
        std::string json;
        append_json_value(json, none, "");
        EXPECT_EQ(json, "null");
    }
}

}  // namespace
