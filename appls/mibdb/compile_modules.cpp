// Compiling the standard definitions text and the modules as one stream, and locating the
// compile messages in the file that each line came from.
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <string_view>

#include "appls/mibdb/mibdb.h"
#include "mib/compiler/mib_compiler.h"

#ifndef ZORV_STANDARD_TEXT
#define ZORV_STANDARD_TEXT ""
#endif

namespace {

constexpr const char* kInstalledStandardText = "/usr/Zorv/conf/snmpv2mib.txt";

}  // namespace

bool is_regular_file(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string too_large_text(uint64_t size) {
    return "larger than any MIB module (" + std::to_string(size) + " bytes)";
}

namespace {

// Appends at most `limit` bytes of a regular file to `text`; `size` is the file's size. A file
// larger than `refuse_above` is not read.
bool read_regular_file(const std::string& path, uint64_t limit, uint64_t refuse_above,
                       std::string& text, uint64_t& size, std::string& why) {
    // Not blocking, so a FIFO without a writer (met in a searched folder, say) is refused
    // rather than waited for.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        why = "not a regular file";
        close(fd);
        return false;
    }
    size = static_cast<uint64_t>(status.st_size);
    if (size > refuse_above) {
        why = too_large_text(size);
        close(fd);
        return false;
    }
    // Read straight into the text, sized from the file's own size; a file that grew since is
    // read on up to the limit.
    const size_t start = text.size();
    const size_t expected = static_cast<size_t>(std::min<uint64_t>(size, limit));
    // Room for the line end a text may be given, so that it is never copied to add it.
    text.reserve(start + expected + 1);
    prefault(text.data() + start, expected);
    text.resize(start + expected);
    size_t got = 0;
    const auto fail = [&] {
        why = std::strerror(errno);
        text.resize(start);
        close(fd);
        return false;
    };
    while (got < expected) {
        const ssize_t n = read(fd, text.data() + start + got, expected - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail();
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    text.resize(start + got);
    char chunk[65536];
    while (got == expected && text.size() - start < limit) {
        const size_t room =
            static_cast<size_t>(std::min<uint64_t>(sizeof chunk, limit - (text.size() - start)));
        const ssize_t n = read(fd, chunk, room);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail();
        if (n == 0) break;
        text.append(chunk, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

}  // namespace

bool append_file(const std::string& path, std::string& text, std::string& why) {
    const size_t start = text.size();
    uint64_t size = 0;
    // One byte past the limit tells a file that grew past it after it was measured.
    if (!read_regular_file(path, kMaxModuleFileBytes + 1, kMaxModuleFileBytes, text, size, why)) {
        return false;
    }
    if (text.size() - start > kMaxModuleFileBytes) {
        why = too_large_text(text.size() - start);
        text.resize(start);
        return false;
    }
    if (text.size() > start && text.back() != '\n') text += '\n';
    return true;
}

bool read_file_start(const std::string& path, size_t limit, std::string& text, uint64_t& size,
                     std::string& why) {
    text.clear();
    return read_regular_file(path, limit, UINT64_MAX, text, size, why);
}

namespace {

// Where each module's lines start, counted as the compiler counts the lines after the standard
// text (the first of them is line 1).
struct Segment {
    std::string path;
    size_t first_line;
    size_t line_count;
};

// "... On or around line N" (not "... of the snmpv2mib file.") gets the module and its own
// line number after it.
std::string locate(const std::string& messages, const std::vector<Segment>& segments) {
    static const std::string marker = "On or around line ";
    std::string out;
    std::istringstream in(messages);
    std::string line;
    bool last_had_newline = !messages.empty() && messages.back() == '\n';
    while (std::getline(in, line)) {
        out += line;
        const size_t at = line.rfind(marker);
        if (at != std::string::npos) {
            const std::string number = line.substr(at + marker.size());
            if (!number.empty() && number.size() < 10 &&
                number.find_first_not_of("0123456789") == std::string::npos) {
                const size_t n = std::stoul(number);
                for (const Segment& s : segments) {
                    if (n >= s.first_line && n < s.first_line + s.line_count) {
                        out +=
                            " (" + s.path + ", line " + std::to_string(n - s.first_line + 1) + ")";
                        break;
                    }
                }
            }
        }
        if (!in.eof() || last_had_newline) out += '\n';
    }
    return out;
}

}  // namespace

std::string standard_text_path(const std::string& given) {
    if (!given.empty()) return given;
    const std::string built_in = ZORV_STANDARD_TEXT;
    if (!built_in.empty() && is_regular_file(built_in)) return built_in;
    return kInstalledStandardText;
}

CompileResult compile_modules(const std::string& standard_text,
                              const std::vector<std::string>& modules, bool collect_traps,
                              std::vector<std::string>* texts) {
    CompileResult result;
    std::string standard;
    std::string why;
    if (!append_file(standard_text, standard, why)) {
        report_error("cannot read the standard definitions text " + standard_text + ": " + why);
        return result;
    }
    const size_t prefix_lines = count_newlines(standard);

    // The stream: the standard text, then each module's text (the search's when it read the
    // file whole, else read now), each ending with a newline; the compiler reads them in place.
    std::vector<std::string> stream;
    stream.reserve(modules.size() + 1);
    stream.push_back(std::move(standard));
    bool empty = stream.back().empty();
    for (size_t i = 0; i < modules.size(); ++i) {
        std::string text;
        if (texts && i < texts->size() && !(*texts)[i].empty()) {
            text = std::move((*texts)[i]);
            if (text.back() != '\n') text += '\n';
        } else if (!append_file(modules[i], text, why)) {
            report_error("cannot read " + modules[i] + ": " + why);
            return result;
        }
        empty = empty && text.empty();
        stream.push_back(std::move(text));
    }
    if (empty) {
        report_error("nothing to compile: " + standard_text + " is empty and no module was given");
        return result;
    }

    MibCompiler compiler;
    compiler.set_prefix_line_count(static_cast<int>(prefix_lines));
    compiler.collect_traps(collect_traps);
    ParseNode* list = compiler.parse(std::move(stream));
    if (list) {
        // The link and the writers take about 700 bytes of fresh heap per record in a large
        // build (the tree, the link's tables, the facts); counted low, less what the heap has free.
        const size_t wanted = count_parse_nodes(list) * 600;
        const size_t free_bytes = mallinfo2().fordblks;
        if (wanted > free_bytes) prefault_heap(wanted - free_bytes);
    }
    // Only a message of the parse names a line; the lines are located when there is one.
    std::vector<Segment> segments;
    if (const char* parsed = compiler.messages(); parsed && *parsed) {
        size_t module_lines = 0;
        for (size_t i = 0; i < modules.size(); ++i) {
            const size_t lines = compiler.newlines_of_text(i + 1);
            segments.push_back({modules[i], module_lines + 1, lines});
            module_lines += lines;
        }
    }
    if (list) {
        result.tree = compiler.link(list, &result.facts);
    }
    result.traps = compiler.take_traps();

    const char* messages = compiler.messages();
    if (messages && *messages) std::fputs(locate(messages, segments).c_str(), stderr);
    if (!list) {
        report_error("the MIB text does not parse; no tree was built");
    } else if (!result.tree) {
        report_error("the MIB modules define conflicting nodes; no tree was built");
    }
    return result;
}
