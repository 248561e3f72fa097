// What the lexer reads: texts in memory, read in place one after the other as one text, or a
// stream read through stdio (its position stays exactly where the lexer stopped). A text read
// is released at once, so that what the parse allocates reuses its pages.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

class LexerInput {
  public:
    LexerInput() = default;
    ~LexerInput() { std::free(line_buffer_); }
    LexerInput(const LexerInput&) = delete;
    LexerInput& operator=(const LexerInput&) = delete;

    void read_stream(FILE* stream);
    // Each text is released once read; the lines of each are counted first.
    void read_texts(std::vector<std::string> texts);
    // How many newlines text `i` holds.
    size_t newlines_of_text(size_t i) const;
    FILE* stream() const { return stream_; }

    // The next character (EOF at the end). Read as text: a carriage return before a newline is
    // dropped, as a text-mode stream on the station does.
    int get() {
        if (at_ < end_ && *at_ != '\r') return static_cast<unsigned char>(*at_++);
        return get_slowly();
    }

    // The characters of the current text not read yet, for a caller that reads them in place
    // and then says how many it took (empty when reading a stream). Raw: carriage returns are
    // the caller's.
    std::string_view rest() const { return {at_, static_cast<size_t>(end_ - at_)}; }
    void skip(size_t count) { at_ += count; }

    // The raw bytes up to and including the next `delimiter`, or up to the end when none
    // follows; empty at the end. Valid until the next read.
    std::string_view read_through(char delimiter);

  private:
    int get_slowly();
    int next_raw();
    int peek_raw();
    bool next_text();

    const char* at_ = nullptr;
    const char* end_ = nullptr;
    std::vector<std::string> texts_;
    std::vector<size_t> newlines_;  // of each text released
    size_t next_text_ = 0;
    size_t released_ = 0;  // texts before it are released
    FILE* stream_ = nullptr;
    std::string gathered_;  // a delimited run that spans texts
    char* line_buffer_ = nullptr;
    size_t line_capacity_ = 0;
};
