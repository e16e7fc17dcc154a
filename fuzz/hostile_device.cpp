#include "fuzz/hostile_device.h"

#include <cstring>

#include "cardlink/byte_order.h"
#include "cardlink/driver_requests.h"
#include "cardlink/mailbox.h"
#include "fuzz/check.h"

namespace {

constexpr std::size_t kRegisterWord = 2;
constexpr std::size_t kValueWord = 5;
constexpr std::size_t kDirectionWord = 9;
constexpr DWORD kReadDirection = 7;
// Bits a driver may leave above the byte in a read's value word; the host keeps the low byte.
constexpr DWORD kReadNoise = 0x5A5A00;
constexpr BYTE kFailedReadNoise = 0x5A;

DWORD Word(const BYTE* block, std::size_t word) {
    return GetLe32(block + 4 * word);
}

}  // namespace

void HostileDevice::SetCardInfo(std::size_t filled, DWORD base) {
    infoFilled_ = filled < sizeof info_ ? filled : sizeof info_;
    for (std::size_t i = 0; i < sizeof info_; ++i) {
        info_[i] = static_cast<BYTE>(0xA5 ^ i);
    }
    PutLe32(info_ + CARD_INFO_REGISTER_BASE_OFFSET, base);
    BYTE seen[sizeof info_] = {};
    std::memcpy(seen, info_, infoFilled_);
    base_ = GetLe32(seen + CARD_INFO_REGISTER_BASE_OFFSET);
}

bool HostileDevice::Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                            DWORD* bytesReturned, DWORD* error) {
    ++requests_;
    auto* block = static_cast<BYTE*>(out);
    if (code == IOCTL_CARD_REGISTER_IO) {
        FUZZ_CHECK(in == nullptr && inSize == 0 && block != nullptr &&
                       outSize == CARD_REGISTER_REQUEST_SIZE,
                   "register request buffers");
        *bytesReturned = outSize;
        return RegisterRequest(block, error);
    }
    if (code == IOCTL_CARD_GET_INFO) {
        FUZZ_CHECK(in == nullptr && inSize == 0 && block != nullptr && outSize == CARD_INFO_SIZE,
                   "card information buffers");
    } else {
        FUZZ_CHECK(code == IOCTL_CARD_INITIALIZE, "unknown control code");
        FUZZ_CHECK(in != nullptr && inSize == CARD_INIT_REQUEST_SIZE && block != nullptr &&
                       outSize == CARD_INIT_REQUEST_SIZE,
                   "initialisation buffers");
    }
    const Answer answer = answers_.Next({code, false, 0, 0});
    if (answer.ok && code == IOCTL_CARD_GET_INFO) {
        std::memcpy(block, info_, infoFilled_);
        *bytesReturned = static_cast<DWORD>(infoFilled_);
    }
    *error = answer.error;
    observer_.SawControl(code, answer.ok);
    return answer.ok;
}

bool HostileDevice::RegisterRequest(BYTE* block, DWORD* error) {
    const bool read = Word(block, kDirectionWord) == kReadDirection;
    const DWORD offset = Word(block, kRegisterWord) - base_;
    FUZZ_CHECK(offset <= REG_LENGTH_HI, "register outside the mailbox");
    const DWORD written = Word(block, kValueWord);
    FUZZ_CHECK(read ? written == 0 : written <= 0xFF, "value word of the request");

    Answer answer =
        answers_.Next({IOCTL_CARD_REGISTER_IO, read, offset, static_cast<BYTE>(written)});
    BYTE seen = static_cast<BYTE>(written);
    if (read) {
        if (offset == REG_LENGTH_HI) {
            CapLengthHigh(answer);
        }
        PutLe32(block + 4 * kValueWord, answer.ok ? (answer.value | kReadNoise) : kFailedReadNoise);
        seen = answer.ok ? answer.value : 0xFF;
        if (offset == REG_LENGTH_LO) {
            lengthLow_ = seen;
        }
    }
    *error = answer.error;
    observer_.Saw({read, offset, seen});
    return answer.ok;
}

void HostileDevice::CapLengthHigh(Answer& answer) {
    const BYTE high = answer.ok ? answer.value : 0xFF;
    std::uint64_t length = static_cast<std::uint64_t>(high) * 256 + lengthLow_;
    if (announced_ + length > kAnnouncedBytesCap) {
        answer = {};
        length = lengthLow_;
    }
    announced_ += length;
}
