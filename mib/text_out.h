// A writer into a caller's buffer that never passes its capacity and always leaves the text
// NUL-terminated (when the capacity allows a NUL at all). Text that does not fit is cut.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

class TextOut {
  public:
    TextOut(char* buffer, size_t capacity) : buffer_(buffer), capacity_(buffer ? capacity : 0) {
        if (capacity_ > 0) buffer_[0] = '\0';
    }
    // A signed capacity as the printers receive it; zero or below writes nothing.
    static TextOut from_signed(char* buffer, int32_t capacity) {
        return TextOut(buffer, capacity > 0 ? static_cast<size_t>(capacity) : 0);
    }

    size_t length() const { return length_; }
    // Room for more characters, the NUL kept aside.
    size_t room() const { return capacity_ > length_ ? capacity_ - length_ - 1 : 0; }
    bool cut() const { return cut_; }
    // The unused rest of the buffer, for writers that take a buffer and a capacity.
    char* tail() const { return capacity_ > 0 ? buffer_ + length_ : nullptr; }
    size_t tail_capacity() const { return capacity_ > length_ ? capacity_ - length_ : 0; }
    // Takes note of `n` characters that a helper wrote at tail().
    void advance(size_t n) {
        length_ += n < room() ? n : room();
        if (capacity_ > 0) buffer_[length_] = '\0';
    }
    void mark_cut() { cut_ = true; }

    // Appends as much of the text as fits.
    void put(const char* text, size_t n) {
        const size_t r = room();
        if (n > r) {
            n = r;
            cut_ = true;
        }
        if (n == 0) return;
        std::memcpy(buffer_ + length_, text, n);
        length_ += n;
        buffer_[length_] = '\0';
    }
    void put(const char* text) { put(text, std::strlen(text)); }
    void put_char(char c) { put(&c, 1); }
    // Appends only when the whole text fits; false (and nothing written) otherwise.
    bool put_whole(const char* text, size_t n) {
        if (n > room()) {
            cut_ = true;
            return false;
        }
        put(text, n);
        return true;
    }

    // printf into the rest of the buffer, cut at the capacity.
    void printf(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        if (room() == 0) {
            cut_ = true;
            return;
        }
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(buffer_ + length_, capacity_ - length_, format, args);
        va_end(args);
        if (n < 0) {
            buffer_[length_] = '\0';
            return;
        }
        if (static_cast<size_t>(n) > room()) cut_ = true;
        advance(static_cast<size_t>(n));
    }

  private:
    char* buffer_;
    size_t capacity_;
    size_t length_ = 0;
    bool cut_ = false;
};
