// Builds short texts (trace lines, the status file, device and file names) in a fixed buffer,
// without a C runtime.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace virtualcard::driver {

// Characters past `capacity` are dropped.
template <typename CharT>
class BasicTextBuilder {
  public:
    BasicTextBuilder(CharT* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    BasicTextBuilder& Text(const CharT* text) {
        while (*text != CharT{}) Char(*text++);
        return *this;
    }
    BasicTextBuilder& Char(CharT c) {
        if (length_ < capacity_) buffer_[length_++] = c;
        return *this;
    }
    BasicTextBuilder& Decimal(uint64_t value) {
        CharT digits[20];
        size_t n = 0;
        do {
            digits[n++] = static_cast<CharT>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (n > 0) Char(digits[--n]);
        return *this;
    }
    // `width` upper-case hexadecimal digits, leading zeros included.
    BasicTextBuilder& Hex(uint32_t value, int width) {
        for (int shift = (width - 1) * 4; shift >= 0; shift -= 4) {
            Char(static_cast<CharT>("0123456789ABCDEF"[(value >> shift) & 0xF]));
        }
        return *this;
    }
    // Ends the text with a zero; the buffer holds one character more than `capacity`.
    void Terminate() { buffer_[length_] = CharT{}; }

    size_t length() const { return length_; }

  private:
    CharT* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};

using TextBuilder = BasicTextBuilder<char>;
using WideTextBuilder = BasicTextBuilder<wchar_t>;

}  // namespace virtualcard::driver
