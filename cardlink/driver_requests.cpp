#include "cardlink/driver_requests.h"

#include <cstring>

#include "cardlink/byte_order.h"

namespace {

constexpr std::size_t kRegisterRequestWords = CARD_REGISTER_REQUEST_SIZE / 4;
constexpr std::size_t kRegisterNumberWord = 2;
constexpr std::size_t kValueWord = 5;

// The fixed words of a register request; words 2 and 5 are filled per request.
constexpr DWORD kReadRequestWords[kRegisterRequestWords] = {
    0x00010001, 0x00040001, 0, 0x00010001, 0x00010001, 0,          0x00010003, 0x000D0000,
    0x00001000, 7,          0, 0,          0x00010003, 0x000D0001, 0x00014000};
constexpr DWORD kWriteRequestWords[kRegisterRequestWords] = {
    0x00010001, 0x00040001, 0,          0x00010001, 0x00010001, 0, 0x00010003, 0x000D0000,
    0x00001000, 0x00010003, 0x000D0001, 0x00012000, 10,         0, 0};

constexpr DWORD kInitRequestWord0 = 0x0001001A;
constexpr DWORD kInitRequestWord2 = 0x01000014;
constexpr std::size_t kInitTextOffset = 12;
constexpr char kInitText[] = "InitializeHardware\n";  // copied with its NUL: 20 bytes
static_assert(kInitTextOffset + sizeof kInitText == 32);

// Windows reports the cause of a failed request through GetLastError. A driver that fails a
// request without setting one must not turn the failure into a 0, which callers read as success.
constexpr DWORD kErrorGenFailure = 31;

DWORD RegisterRequest(HANDLE device, BYTE (&block)[CARD_REGISTER_REQUEST_SIZE]) {
    DWORD returned = 0;
    if (DeviceIoControl(device, IOCTL_CARD_REGISTER_IO, nullptr, 0, block,
                        CARD_REGISTER_REQUEST_SIZE, &returned, nullptr)) {
        return 0;
    }
    return LastRequestError();
}

}  // namespace

DWORD LastRequestError() {
    const DWORD error = GetLastError();
    return error != 0 ? error : kErrorGenFailure;
}

void BuildCardInitRequest(BYTE (&block)[CARD_INIT_REQUEST_SIZE]) {
    std::memset(block, 0, sizeof block);
    PutLe32(block + 0, kInitRequestWord0);
    PutLe32(block + 8, kInitRequestWord2);
    std::memcpy(block + kInitTextOffset, kInitText, sizeof kInitText);
}

void BuildCardRegisterRequest(BYTE (&block)[CARD_REGISTER_REQUEST_SIZE], bool isWrite,
                              DWORD registerNumber, DWORD value) {
    const DWORD* words = isWrite ? kWriteRequestWords : kReadRequestWords;
    for (std::size_t word = 0; word < kRegisterRequestWords; ++word) {
        PutLe32(block + 4 * word, words[word]);
    }
    PutLe32(block + 4 * kRegisterNumberWord, registerNumber);
    PutLe32(block + 4 * kValueWord, isWrite ? (value & 0xFF) : 0);
}

DWORD CardInfoRegisterBase(const BYTE (&cardInfo)[CARD_INFO_SIZE]) {
    return GetLe32(cardInfo + CARD_INFO_REGISTER_BASE_OFFSET);
}

DWORD InitializeHardware(HANDLE device) {
    BYTE block[CARD_INIT_REQUEST_SIZE];
    BuildCardInitRequest(block);
    DWORD returned = 0;
    if (DeviceIoControl(device, IOCTL_CARD_INITIALIZE, block, CARD_INIT_REQUEST_SIZE, block,
                        CARD_INIT_REQUEST_SIZE, &returned, nullptr)) {
        return 0;
    }
    return LastRequestError();
}

BYTE ReadCardRegister(HANDLE device, DWORD registerNumber, DWORD* errorCode) {
    BYTE block[CARD_REGISTER_REQUEST_SIZE];
    BuildCardRegisterRequest(block, false, registerNumber, 0);
    const DWORD error = RegisterRequest(device, block);
    if (errorCode != nullptr) {
        *errorCode = error;
    }
    return error == 0 ? block[4 * kValueWord] : 0xFF;
}

DWORD WriteCardRegister(HANDLE device, DWORD registerNumber, DWORD value, DWORD* errorCode) {
    BYTE block[CARD_REGISTER_REQUEST_SIZE];
    BuildCardRegisterRequest(block, true, registerNumber, value);
    const DWORD error = RegisterRequest(device, block);
    if (errorCode != nullptr) {
        *errorCode = error;
    }
    return error;
}
