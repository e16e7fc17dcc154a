// The blocks that cross from the program to the card's kernel driver: CardInfo, the hardware
// initialisation request and the register request. The driver is x86_64 while the shipped
// program is i686, so every block is built and read byte by byte at fixed offsets, little-endian,
// and nothing in it depends on the build's pointer or integer sizes. driver_requests.cpp checks
// the layout at compile time in every build.
#pragma once

#include <windows.h>

#include <cstddef>

#include "cardlink/byte_order.h"

inline constexpr std::size_t CARD_INFO_SIZE = 176;
inline constexpr std::size_t CARD_INFO_REGISTER_BASE_OFFSET = 32;
inline constexpr std::size_t CARD_INIT_REQUEST_SIZE = 36;
inline constexpr std::size_t CARD_REGISTER_REQUEST_SIZE = 60;

inline constexpr std::size_t REGISTER_REQUEST_WORDS = CARD_REGISTER_REQUEST_SIZE / 4;
inline constexpr std::size_t REGISTER_NUMBER_WORD = 2;
inline constexpr std::size_t REGISTER_VALUE_WORD = 5;

// The fixed words of a register request; words 2 and 5 are filled per request.
inline constexpr DWORD REGISTER_READ_WORDS[REGISTER_REQUEST_WORDS] = {
    0x00010001, 0x00040001, 0, 0x00010001, 0x00010001, 0,          0x00010003, 0x000D0000,
    0x00001000, 7,          0, 0,          0x00010003, 0x000D0001, 0x00014000};
inline constexpr DWORD REGISTER_WRITE_WORDS[REGISTER_REQUEST_WORDS] = {
    0x00010001, 0x00040001, 0,          0x00010001, 0x00010001, 0, 0x00010003, 0x000D0000,
    0x00001000, 0x00010003, 0x000D0001, 0x00012000, 10,         0, 0};

inline constexpr DWORD INIT_REQUEST_WORD0 = 0x0001001A;
inline constexpr DWORD INIT_REQUEST_WORD2 = 0x01000014;
inline constexpr std::size_t INIT_REQUEST_TEXT_OFFSET = 12;
inline constexpr char INIT_REQUEST_TEXT[] = "InitializeHardware\n";  // copied with its NUL
static_assert(INIT_REQUEST_TEXT_OFFSET + sizeof INIT_REQUEST_TEXT == 32);

// Fills `block` with the 36-byte hardware initialisation request.
constexpr void BuildCardInitRequest(BYTE (&block)[CARD_INIT_REQUEST_SIZE]) {
    for (BYTE& byte : block) byte = 0;
    PutLe32(block + 0, INIT_REQUEST_WORD0);
    PutLe32(block + 8, INIT_REQUEST_WORD2);
    for (std::size_t i = 0; i < sizeof INIT_REQUEST_TEXT; ++i) {
        block[INIT_REQUEST_TEXT_OFFSET + i] = static_cast<BYTE>(INIT_REQUEST_TEXT[i]);
    }
}

// Fills `block` with the 60-byte register request (read or write) for one register.
constexpr void BuildCardRegisterRequest(BYTE (&block)[CARD_REGISTER_REQUEST_SIZE], bool isWrite,
                                        DWORD registerNumber, DWORD value) {
    const DWORD* words = isWrite ? REGISTER_WRITE_WORDS : REGISTER_READ_WORDS;
    for (std::size_t word = 0; word < REGISTER_REQUEST_WORDS; ++word) {
        PutLe32(block + 4 * word, words[word]);
    }
    PutLe32(block + 4 * REGISTER_NUMBER_WORD, registerNumber);
    PutLe32(block + 4 * REGISTER_VALUE_WORD, isWrite ? (value & 0xFF) : 0);
}

// The mailbox register base held in bytes 32-35 of CardInfo, little-endian.
constexpr DWORD CardInfoRegisterBase(const BYTE (&cardInfo)[CARD_INFO_SIZE]) {
    return GetLe32(cardInfo + CARD_INFO_REGISTER_BASE_OFFSET);
}
