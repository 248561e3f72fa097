#include "mib/compiler/lexer_input.h"

#include <sys/types.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "mib/compiler/mib_compiler.h"

void LexerInput::read_stream(FILE* stream) {
    texts_.clear();
    newlines_.clear();
    released_ = 0;
    next_text_ = 0;
    at_ = end_ = nullptr;
    stream_ = stream;
}

void LexerInput::read_texts(std::vector<std::string> texts) {
    texts_ = std::move(texts);
    newlines_.assign(texts_.size(), 0);
    released_ = 0;
    next_text_ = 0;
    at_ = end_ = nullptr;
    stream_ = nullptr;
    next_text();
}

// Moves on to the next text that is not empty; false when none is left.
bool LexerInput::next_text() {
    // The texts read so far are done with.
    for (; released_ < next_text_; ++released_) {
        newlines_[released_] = count_newlines(texts_[released_]);
        std::string().swap(texts_[released_]);
    }
    while (next_text_ < texts_.size()) {
        const std::string_view text = texts_[next_text_++];
        if (text.empty()) continue;
        at_ = text.data();
        end_ = text.data() + text.size();
        return true;
    }
    at_ = end_ = nullptr;
    return false;
}

int LexerInput::next_raw() {
    if (stream_) return getc_unlocked(stream_);
    if (at_ == end_ && !next_text()) return EOF;
    return static_cast<unsigned char>(*at_++);
}

int LexerInput::peek_raw() {
    if (stream_) {
        const int ch = getc_unlocked(stream_);
        if (ch != EOF) ungetc(ch, stream_);
        return ch;
    }
    if (at_ == end_ && !next_text()) return EOF;
    return static_cast<unsigned char>(*at_);
}

int LexerInput::get_slowly() {
    const int ch = next_raw();
    if (ch != '\r' || peek_raw() != '\n') return ch;
    return next_raw();
}

std::string_view LexerInput::read_through(char delimiter) {
    if (stream_) {
        const ssize_t got = getdelim(&line_buffer_, &line_capacity_, delimiter, stream_);
        if (got <= 0) return {};
        return {line_buffer_, static_cast<size_t>(got)};
    }
    if (at_ == end_ && !next_text()) return {};
    const auto find = [&] {
        return static_cast<const char*>(
            std::memchr(at_, delimiter, static_cast<size_t>(end_ - at_)));
    };
    const char* found = find();
    if (found) {
        const std::string_view run(at_, static_cast<size_t>(found + 1 - at_));
        at_ = found + 1;
        return run;
    }
    gathered_.assign(at_, end_);
    while (next_text()) {
        found = find();
        const char* stop = found ? found + 1 : end_;
        gathered_.append(at_, stop);
        at_ = stop;
        if (found) break;
    }
    return gathered_;
}

size_t LexerInput::newlines_of_text(size_t i) const {
    if (i >= texts_.size()) return 0;
    return i < released_ ? newlines_[i] : count_newlines(texts_[i]);
}

size_t count_newlines(std::string_view text) {
    // Sixteen bytes at a time: equal bytes compare to all ones, and each lane's count is
    // gathered in a byte before it could overflow.
    using Bytes = unsigned char __attribute__((vector_size(16)));
    size_t count = 0;
    size_t at = 0;
    Bytes newlines;
    for (int i = 0; i < 16; ++i) newlines[i] = '\n';
    while (at + 16 <= text.size()) {
        Bytes lanes{};
        const size_t stop = std::min(text.size() - 15, at + 255 * 16);
        for (; at < stop; at += 16) {
            Bytes block;
            std::memcpy(&block, text.data() + at, 16);
            lanes -= (block == newlines);
        }
        for (int i = 0; i < 16; ++i) count += lanes[i];
    }
    for (; at < text.size(); ++at) count += text[at] == '\n';
    return count;
}
