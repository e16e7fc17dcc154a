// The fields a DownloadImage fuzz input starts with; the driver's answers follow them.
//
//   byte 0       bit 0 set: the device cannot be opened
//   bytes 1-4    block number, little-endian
//   bytes 5-6    image length, little-endian, taken modulo kMaxImageLength + 1
//   byte 7       seed of the image bytes
//   byte 8       CardInfo bytes the driver fills (at most 176)
//   bytes 9-12   register base in CardInfo bytes 32-35
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "fuzz/answer_stream.h"

// Sixteen chunks: enough for every path of the transfer, small enough that the flash wait's
// budget stays at its least and an execution stays short.
inline constexpr DWORD kMaxImageLength = 2048;

struct DownloadInput {
    bool openFails = false;
    DWORD block = 2;
    DWORD length = 0;
    BYTE seed = 0;
    std::size_t infoFilled = 176;
    DWORD registerBase = 0x2C0;
};

inline DownloadInput ReadDownloadInput(AnswerStream& input) {
    DownloadInput fields;
    fields.openFails = (input.Byte() & 1) != 0;
    fields.block = input.Le32();
    fields.length = input.Le16() % (kMaxImageLength + 1);
    fields.seed = input.Byte();
    fields.infoFilled = input.Byte();
    fields.registerBase = input.Le32();
    return fields;
}

inline void WriteDownloadInput(const DownloadInput& fields, std::vector<uint8_t>& out) {
    const auto le = [&out](DWORD value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    out.push_back(fields.openFails ? 1 : 0);
    le(fields.block, 4);
    le(fields.length, 2);
    out.push_back(fields.seed);
    out.push_back(static_cast<uint8_t>(fields.infoFilled));
    le(fields.registerBase, 4);
}

// The image: bytes that differ from chunk to chunk, so that a chunk sent twice or out of order
// shows in the packets.
inline std::vector<BYTE> MakeImage(DWORD length, BYTE seed) {
    std::vector<BYTE> image(length);
    for (DWORD i = 0; i < length; ++i) {
        image[i] = static_cast<BYTE>(seed + i * 7 + (i >> 7) * 13);
    }
    return image;
}
