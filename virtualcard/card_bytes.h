// Byte helpers of the card model. Written out as small loops: the model is freestanding (it also
// runs in the kernel-mode driver) and uses nothing of the C or C++ library.
#pragma once

#include <stdint.h>

namespace virtualcard {

inline uint32_t LoadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void StoreLe32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

inline void CopyBytes(uint8_t* dst, const uint8_t* src, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) dst[i] = src[i];
}

inline void FillBytes(uint8_t* dst, uint8_t value, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) dst[i] = value;
}

inline bool BytesEqual(const uint8_t* a, const uint8_t* b, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

inline bool TextEqual(const uint8_t* bytes, const char* text, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (bytes[i] != static_cast<uint8_t>(text[i])) return false;
    }
    return true;
}

// Copies up to `count` characters of a NUL-terminated text and zero-fills the rest.
inline void CopyText(uint8_t* dst, const char* text, uint32_t count) {
    uint32_t i = 0;
    for (; i < count && text[i] != '\0'; ++i) dst[i] = static_cast<uint8_t>(text[i]);
    for (; i < count; ++i) dst[i] = 0;
}

inline uint32_t Min(uint32_t a, uint32_t b) {
    return a < b ? a : b;
}

}  // namespace virtualcard
