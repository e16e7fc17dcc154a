#include "fuzz/answer_stream.h"

#include "fuzz/check.h"

namespace {

// Codes a driver might report, 0 (a failure without a cause) and the extremes among them; any
// other n stands for itself.
constexpr DWORD kNamedErrors[] = {0, 31, 1117, 21, 5, 6, 0x80000000u, 0xFFFFFFFFu};
constexpr BYTE kNamedErrorCount = sizeof kNamedErrors / sizeof kNamedErrors[0];

}  // namespace

DWORD ErrorCode(BYTE n) {
    return n < kNamedErrorCount ? kNamedErrors[n] : n;
}

Answer AnswerStream::Next() {
    if (Spent()) {
        return {};
    }
    const BYTE first = Byte();
    if (first != kEscape) {
        return {true, first, 0};
    }
    if (Spent()) {
        return {true, kEscape, 0};
    }
    const BYTE second = Byte();
    if (second == kEscape) {
        return {true, kEscape, 0};
    }
    return {false, 0, ErrorCode(second)};
}

void EncodeAnswer(const Answer& answer, std::vector<uint8_t>& out) {
    if (answer.ok) {
        out.push_back(answer.value);
        if (answer.value == kEscape) {
            out.push_back(kEscape);
        }
        return;
    }
    for (int n = 0; n < 256; ++n) {
        if (n != kEscape && ErrorCode(static_cast<BYTE>(n)) == answer.error) {
            out.push_back(kEscape);
            out.push_back(static_cast<BYTE>(n));
            return;
        }
    }
    FUZZ_CHECK(false, "error code not encodable");
}
