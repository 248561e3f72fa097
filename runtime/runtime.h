// The station-library stand-in: catalogue messages, positional printf, multibyte-aware string
// helpers, paths, the command-line parser and the HTML wrappers that both programs use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

// ---------------------------------------------------------------------------------------------
// Catalogue messages

// Message sets in use.
constexpr int kMibLibrarySet = 16;
constexpr int kObjpeekSet = 22;
constexpr int kRowscanSet = 23;

// The catalogue text of message `id` ((set << 16) | number) from the "zorv" catalogue found
// through NLSPATH, or `default_text` when there is no catalogue or no such message. The result
// stays valid for the life of the process.
const char* BrixLoadString(int set, uint32_t id, const char* default_text);

// One insert of the positional formatter: a text or a number, as the caller passed it.
struct NlArg {
    enum class Kind { Text, Signed, Unsigned, Real };
    Kind kind = Kind::Text;
    const char* text = "";
    long long signed_value = 0;
    unsigned long long unsigned_value = 0;
    double real_value = 0;

    NlArg(const char* t) : text(t ? t : "(null)") {}
    NlArg(char* t) : text(t ? t : "(null)") {}
    NlArg(const std::string& t) : text(t.c_str()) {}
    NlArg(double v) : kind(Kind::Real), real_value(v) {}
    template <class T>
        requires std::is_integral_v<T>
    NlArg(T v) {
        if constexpr (std::is_signed_v<T>) {
            kind = Kind::Signed;
            signed_value = v;
        } else {
            kind = Kind::Unsigned;
            unsigned_value = v;
        }
    }
};

// Applies the inserts of `format` ("%1" as text, "%2!d!" through the printf conversion between
// the exclamation marks, "%%" for a percent sign) and appends the result to `out`. Inserts are
// numbered by their position in `args`, so a translated text may reorder them. An insert that
// names no argument, or a conversion that does not suit the argument, is written as it stands.
void nl_format(std::string& out, const char* format, std::span<const NlArg> args);

template <class... A>
int nl_fprintf(FILE* stream, const char* format, const A&... args) {
    const NlArg list[] = {NlArg(args)..., NlArg("")};
    std::string out;
    nl_format(out, format, std::span<const NlArg>(list, sizeof...(A)));
    return static_cast<int>(std::fwrite(out.data(), 1, out.size(), stream));
}

template <class... A>
int nl_printf(const char* format, const A&... args) {
    return nl_fprintf(stdout, format, args...);
}

// Writes at most size - 1 characters and a NUL into `buffer`; returns the number written.
template <class... A>
int nl_sprintf(char* buffer, size_t size, const char* format, const A&... args) {
    const NlArg list[] = {NlArg(args)..., NlArg("")};
    std::string out;
    nl_format(out, format, std::span<const NlArg>(list, sizeof...(A)));
    if (size == 0) return 0;
    const size_t n = out.size() < size - 1 ? out.size() : size - 1;
    out.copy(buffer, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

// printf-style output to standard output and to a stream.
int PrintMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
int PrintFMessage(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));

// ---------------------------------------------------------------------------------------------
// Strings, aware of the two-byte characters of the current locale

char* strchr_new(const char* s, int c);
size_t strspn_new(const char* s, const char* accept);
size_t strlen_new(const char* s);  // characters, not bytes
char* strcpy_new(char* dest, const char* src);
char* strcat_new(char* dest, const char* src);
char* strncpy_new(char* dest, const char* src, size_t n);
int strcmp_new(const char* a, const char* b);
int isdigit_new(int c);
int isspace_new(int c);
char* _Zorvstrchr(const char* s, int c);
size_t _Zorvstrspn(const char* s, const char* accept);

// Tokens separated by any one of `delimiters`; two delimiters in a row give an empty token.
// Pass the text with first = 1, then null with first = 0; null at the end.
char* _Zorvstrtok(char* text, const char* delimiters, int first);

// Splits `text` at every separator character into a new vector of new item texts (empty items
// kept). 0 on success, -1 on failure. The vector and its items belong to the caller.
int _ZorvstrToArgv(const char* text, int* count, char*** vector, const char* separators,
                   int reserved1, int reserved2);

// ---------------------------------------------------------------------------------------------
// Paths

// The text after the last '/' or '\'.
const char* _Zorvbasename(const char* path);
// Appends '/' and `name` to `directory` in place; the caller's buffer has room for both.
char* _ZorvConcatPath(char* directory, const char* name);
// Nothing to do on POSIX systems.
void SetCurDriveToProductDrive();

// ---------------------------------------------------------------------------------------------
// Command line

// One row of a program's option table.
struct OptionDesc {
    const char* option;      // "-table"
    int32_t kind;            // 0 flag, 2 takes the next argument unless it is an option, 4 always
    const char* flag_value;  // "True" for flags, else null
    int32_t type;            // 12 flags, 11 others
    int32_t offset;          // byte offset of the option's slot in the values record
};

// The values record is an array of text slots, one per option, in table order; a flag's slot
// receives its flag value.
using OptionSlot = const char*;
constexpr int32_t option_slot_offset(int index) {
    return index * static_cast<int32_t>(sizeof(OptionSlot));
}

// Fills the slots from argv[first...]. Result below 0 for an option whose argument is missing,
// with *index set to the option's position; otherwise 0, with *index 0 when every argument was
// taken or the position of the first argument that is not an option of the table. "-t" stands
// for "-title". A repeated option: the last one wins.
int parseCmdLine(int argc, char** argv, int first, int rows, const OptionDesc* table,
                 void* values, int* index);

// ---------------------------------------------------------------------------------------------
// HTML wrappers

// Takes the four comma-separated wrappers (table, row, heading, data). Each may hold at most one
// "%s" and no other conversion ("%%" is allowed). 0 when accepted, -1 when not (the previous
// wrappers then stay).
int parseHtmlSpec(const char* spec);

// True when `wrapper` is safe to use as a printf format with one text argument.
bool html_wrapper_is_valid(std::string_view wrapper);

// The heading format: in HTML mode the heading wrapper, else `format` itself.
const char* formatHead(int html, const char* format);
// One heading cell and one data cell; in text mode printf(format, text).
void printHead(int html, const char* format, const char* label);
void printCell(int html, const char* format, const char* text);
// The part of a wrapper before (which = 0) or after (which = 1) its "%s"; nothing in text mode.
void printTableTag(int html, int which);
void printRowTag(int html, int which);
void printDataTag(int html, int which);

// `text` with & < > " ' replaced by their character references.
std::string html_escape(std::string_view text);
