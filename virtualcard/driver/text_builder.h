// Builds short ASCII texts (trace lines, the status file) in a fixed buffer, without a C runtime.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace virtualcard::driver {

class TextBuilder {
  public:
    TextBuilder(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    TextBuilder& Text(const char* text) {
        while (*text != '\0') Char(*text++);
        return *this;
    }
    TextBuilder& Char(char c) {
        if (length_ < capacity_) buffer_[length_++] = c;
        return *this;
    }
    TextBuilder& Decimal(uint64_t value) {
        char digits[20];
        size_t n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (n > 0) Char(digits[--n]);
        return *this;
    }
    // `width` upper-case hexadecimal digits, leading zeros included.
    TextBuilder& Hex(uint32_t value, int width) {
        for (int shift = (width - 1) * 4; shift >= 0; shift -= 4) {
            Char("0123456789ABCDEF"[(value >> shift) & 0xF]);
        }
        return *this;
    }

    size_t length() const { return length_; }

  private:
    char* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};

}  // namespace virtualcard::driver
