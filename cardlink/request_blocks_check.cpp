// The request blocks' layout, checked by the compiler in every build: the i686 program and the
// x86_64 driver must agree on every byte, also on machines where the i686 build cannot run. The
// expected values are the driver's fixed layout, written out here on their own.
#include "cardlink/request_blocks.h"

namespace {

template <std::size_t N>
constexpr DWORD WordAt(const BYTE (&block)[N], std::size_t offset) {
    return static_cast<DWORD>(block[offset]) | static_cast<DWORD>(block[offset + 1]) << 8 |
           static_cast<DWORD>(block[offset + 2]) << 16 |
           static_cast<DWORD>(block[offset + 3]) << 24;
}

template <std::size_t N>
constexpr bool HasWords(const BYTE (&block)[N], const DWORD (&words)[N / 4]) {
    for (std::size_t i = 0; i < N / 4; ++i) {
        if (WordAt(block, 4 * i) != words[i]) return false;
    }
    return true;
}

constexpr bool RegisterRequestIs(bool isWrite, DWORD registerNumber, DWORD value,
                                 const DWORD (&expected)[15]) {
    BYTE block[CARD_REGISTER_REQUEST_SIZE] = {};
    BuildCardRegisterRequest(block, isWrite, registerNumber, value);
    return HasWords(block, expected);
}

constexpr bool InitRequestHasTheDriverLayout() {
    BYTE block[CARD_INIT_REQUEST_SIZE] = {};
    BuildCardInitRequest(block);
    constexpr BYTE expected[36] = {0x1A, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14,
                                   0x00, 0x00, 0x01, 'I',  'n',  'i',  't',  'i',  'a',
                                   'l',  'i',  'z',  'e',  'H',  'a',  'r',  'd',  'w',
                                   'a',  'r',  'e',  '\n', 0x00, 0x00, 0x00, 0x00, 0x00};
    for (std::size_t i = 0; i < 36; ++i) {
        if (block[i] != expected[i]) return false;
    }
    return true;
}

// registerBase is bytes 32-35 of the 176-byte CardInfo, little-endian.
constexpr bool CardInfoHasTheDriverLayout() {
    BYTE info[CARD_INFO_SIZE] = {};
    for (BYTE& byte : info) byte = 0xEE;
    info[32] = 0x78;
    info[33] = 0x56;
    info[34] = 0x34;
    info[35] = 0x12;
    return CardInfoRegisterBase(info) == 0x12345678;
}

static_assert(sizeof(DWORD) == 4 && sizeof(BYTE) == 1);
static_assert(CARD_INFO_SIZE == 176 && CARD_INIT_REQUEST_SIZE == 36 &&
              CARD_REGISTER_REQUEST_SIZE == 60);
// A read of register 0x2C1: word 2 the register number (bytes 8-11), word 5 zero (bytes 20-23).
static_assert(RegisterRequestIs(false, 0x2C1, 0xFF,
                                {0x00010001, 0x00040001, 0x000002C1, 0x00010001, 0x00010001,
                                 0x00000000, 0x00010003, 0x000D0000, 0x00001000, 0x00000007,
                                 0x00000000, 0x00000000, 0x00010003, 0x000D0001, 0x00014000}));
// A write of 0x1234 to register 0x8899AABB: only the low byte of the value is sent.
static_assert(RegisterRequestIs(true, 0x8899AABB, 0x1234,
                                {0x00010001, 0x00040001, 0x8899AABB, 0x00010001, 0x00010001,
                                 0x00000034, 0x00010003, 0x000D0000, 0x00001000, 0x00010003,
                                 0x000D0001, 0x00012000, 0x0000000A, 0x00000000, 0x00000000}));
static_assert(InitRequestHasTheDriverLayout());
static_assert(CardInfoHasTheDriverLayout());

}  // namespace
