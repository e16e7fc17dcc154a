// How a fuzz input answers driver requests: one answer per request, taken in order.
//
// Any byte but kEscape answers "success, this byte". kEscape followed by kEscape answers
// "success, kEscape"; kEscape followed by n answers "failure" with the error code ErrorCode(n),
// 0 included. Once the input is spent every request succeeds with the byte 0: a card that has
// gone quiet (no packet to offer, no host packet accepted), so every execution ends soon.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

struct Answer {
    bool ok = true;
    BYTE value = 0;   // the register's byte, for a successful read
    DWORD error = 0;  // the thread's last error, for a failure
};

inline constexpr BYTE kEscape = 0xE5;

// The error code that kEscape, n stands for.
DWORD ErrorCode(BYTE n);

class AnswerStream {
  public:
    AnswerStream(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // Raw input bytes (0 once spent), for the fields a target reads before the answers.
    BYTE Byte() { return at_ < size_ ? data_[at_++] : 0; }
    DWORD Le16() { return Byte() | static_cast<DWORD>(Byte()) << 8; }
    DWORD Le32() { return Le16() | Le16() << 16; }

    Answer Next();
    bool Spent() const { return at_ >= size_; }

  private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Appends to `out` the bytes that AnswerStream reads back as `answer`. Only error codes that
// ErrorCode can give are encodable.
void EncodeAnswer(const Answer& answer, std::vector<uint8_t>& out);
