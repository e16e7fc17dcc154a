// Little-endian numbers in byte strings: every multi-byte field on the wire goes through these.
#pragma once

#include <windows.h>

constexpr void PutLe16(BYTE* at, DWORD value) {
    at[0] = static_cast<BYTE>(value & 0xFF);
    at[1] = static_cast<BYTE>((value >> 8) & 0xFF);
}

constexpr void PutLe32(BYTE* at, DWORD value) {
    PutLe16(at, value & 0xFFFF);
    PutLe16(at + 2, value >> 16);
}

constexpr DWORD GetLe32(const BYTE* at) {
    return static_cast<DWORD>(at[0]) | static_cast<DWORD>(at[1]) << 8 |
           static_cast<DWORD>(at[2]) << 16 | static_cast<DWORD>(at[3]) << 24;
}
