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
// The next lookup searches NLSPATH for the catalogue again; texts handed out before stay valid.
// For tests, and for programs that change the environment.
void reset_catalogue();

// One insert of the positional formatter: a text or a number, as the caller passed it. `size`
// is the byte size of the caller's integer type, so that a conversion without a length modifier
// sees the value at the width the caller gave it.
struct NlArg {
    enum class Kind { Text, Signed, Unsigned, Real };
    Kind kind = Kind::Text;
    std::string_view text = "";
    long long signed_value = 0;
    unsigned long long unsigned_value = 0;
    double real_value = 0;
    int size = 0;

    NlArg(const char* t) : text(t ? t : "(null)") {}
    NlArg(char* t) : text(t ? t : "(null)") {}
    NlArg(const std::string& t) : text(t) {}
    NlArg(std::string_view t) : text(t) {}
    NlArg(double v) : kind(Kind::Real), real_value(v), size(sizeof(double)) {}
    template <class T>
    requires std::is_integral_v<T> NlArg(T v) : size(sizeof(T)) {
        if constexpr (std::is_signed_v<T>) {
            kind = Kind::Signed;
            signed_value = v;
        } else {
            kind = Kind::Unsigned;
            unsigned_value = v;
        }
    }
};

// Applies the inserts of `format` and appends the result to `out`:
//   "%1" .. "%99"  the insert of that position as text (numbers in decimal);
//   "%2!d!"        insert 2 through the printf conversion between the exclamation marks
//                  (flags, width, precision and length modifier included: "%1!-10s!", "%2!lu!");
//   "%%"           a percent sign.
// Inserts are numbered by their position in `args`, so a translated text may reorder them. Each
// value is converted to the type its conversion needs; a text given to a numeric conversion is
// written as text in the field width. An insert that names no argument, and a conversion that is
// not supported ("%1!n!", "%1!p!", "*" widths, widths above 32767), are written as they stand.
// "%1!" that does not start a conversion is the insert followed by a literal "!".
void nl_format(std::string& out, const char* format, std::span<const NlArg> args);

template <class... A>
int nl_fprintf(FILE* stream, const char* format, const A&... args) {
    if (stream == nullptr) return -1;
    const NlArg list[] = {NlArg(args)..., NlArg("")};
    std::string out;
    nl_format(out, format, std::span<const NlArg>(list, sizeof...(A)));
    if (std::fwrite(out.data(), 1, out.size(), stream) != out.size()) return -1;
    return static_cast<int>(out.size());
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
    if (size == 0 || buffer == nullptr) return 0;
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

// A character is one byte or, in a multibyte locale, a lead byte with its trail bytes (as mblen
// says); no function here takes a trail byte for a character of its own.

// The first character c; above 255, c is a two-byte character (lead byte << 8 | trail byte).
char* strchr_new(const char* s, int c);
// Bytes at the start of s made of characters that occur in accept.
size_t strspn_new(const char* s, const char* accept);
size_t strlen_new(const char* s);  // characters, not bytes
char* strcpy_new(char* dest, const char* src);
char* strcat_new(char* dest, const char* src);
// At most n bytes, never half a character; the rest of the n bytes is filled with NULs, and, as
// with strncpy, there is no NUL when the text fills all n.
char* strncpy_new(char* dest, const char* src, size_t n);
int strcmp_new(const char* a, const char* b);  // 0 when equal
int isdigit_new(int c);  // c may be a plain (possibly negative) char, an unsigned char or EOF
int isspace_new(int c);
char* _Zorvstrchr(const char* s, int c);
size_t _Zorvstrspn(const char* s, const char* accept);

// Tokens separated by any one of `delimiters`, cut in place. Pass the text with first = 1, then
// null with first = 0; null when no token is left. Two delimiters in a row give an empty token;
// a delimiter at the very end of the text ends the last token and starts no empty one, so the
// lines of "a\n\nb" are "a", "", "b", those of "a\n" are "a" alone, and an empty text is one
// empty token.
char* _Zorvstrtok(char* text, const char* delimiters, int first);

// Splits `text` at every separator character into a new vector of new item texts. Empty items
// are kept, a trailing separator included ("a," gives "a" and ""); an empty text gives no item.
// The vector ends with a null pointer; it and its items are the caller's (free()). 0 on success,
// -1 on failure (null arguments, no memory).
int _ZorvstrToArgv(const char* text, int* count, char*** vector, const char* separators,
                   int reserved1, int reserved2);

// ---------------------------------------------------------------------------------------------
// Paths

// The text after the last '/' or '\' (a pointer into `path`).
const char* _Zorvbasename(const char* path);
// Appends '/' and `name` to `directory` in place (no second '/' when the directory already ends
// in one); the caller's buffer has room for the directory, '/', the name and the NUL.
char* _ZorvConcatPath(char* directory, const char* name);
// Nothing to do on POSIX systems.
void SetCurDriveToProductDrive();

// ---------------------------------------------------------------------------------------------
// Command line

// Kinds of option (OptionDesc::kind).
constexpr int32_t kOptionFlag = 0;         // takes no argument
constexpr int32_t kOptionArgument = 2;     // takes the next argument unless it is an option
constexpr int32_t kOptionAnyArgument = 4;  // takes the next argument whatever it is
// Value types of an option's slot (OptionDesc::type).
constexpr int32_t kOptionTypeText = 11;
constexpr int32_t kOptionTypeFlag = 12;

// One row of a program's option table.
struct OptionDesc {
    const char* option;      // "-table"
    int32_t kind;            // kOptionFlag, kOptionArgument or kOptionAnyArgument
    const char* flag_value;  // "True" for flags, else null
    int32_t type;            // kOptionTypeFlag for flags, kOptionTypeText for the others
    int32_t offset;          // byte offset of the option's slot in the values record
};

// The values record is an array of text slots, one per option, in table order; a flag's slot
// receives its flag value.
using OptionSlot = const char*;
constexpr int32_t option_slot_offset(int index) {
    return index * static_cast<int32_t>(sizeof(OptionSlot));
}

// Fills the slots from argv[first...]. Option texts match exactly; "-t" stands for "-title".
// Kind 0 is a flag (its slot gets the flag value text, "True" when there is none); kind 4 takes
// the next argument whatever it is; any other kind takes the next argument unless that is itself
// an option of the table. A repeated option: the last one wins.
// Result -1 when an option's argument is missing, with *index at the option; otherwise 0, with
// *index 0 when every argument was taken, or the position of the first argument that is not an
// option of the table. Parsing stops there; slots filled before stay filled.
int parseCmdLine(int argc, char** argv, int first, int rows, const OptionDesc* table, void* values,
                 int* index);

// ---------------------------------------------------------------------------------------------
// HTML wrappers

// Takes the four comma-separated wrappers (table, row, heading, data); missing ones at the end are
// empty. Each may hold at most one "%s" and no other conversion ("%%" is allowed). 0 when
// accepted; -1 for a bad wrapper or more than four parts, and the previous wrappers then stay.
// A wrapper without "%s" is all opening part; an empty one leaves the text bare.
int parseHtmlSpec(const char* text);

// True when `wrapper` is safe to use as a printf format with one text argument.
bool html_wrapper_is_valid(std::string_view wrapper);

// The heading format, a printf format that takes the label: in HTML mode the heading wrapper
// (with "%s" added when it has none; valid until the next accepted parseHtmlSpec), else
// `format` itself.
const char* formatHead(int html, const char* format);
// One heading cell and one data cell. HTML mode: the heading or data wrapper around the text
// (`format` is not used). Text mode: printf(format, text), where format must be a single "%s"
// conversion, optionally with '-', width and precision; any other format prints the text bare.
// Neither escapes: callers escape what they place into HTML.
void printHead(int html, const char* format, const char* label);
void printCell(int html, const char* format, const char* text);
// The part of a wrapper before (which = 0) or after (which = 1) its "%s", with "%%" written as
// "%"; nothing in text mode.
void printTableTag(int html, int which);
void printRowTag(int html, int which);
void printDataTag(int html, int which);

// `text` with & < > " ' replaced by their character references.
std::string html_escape(std::string_view text);
