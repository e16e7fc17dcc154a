// The longest image either program sends: files of this length or more are refused before the
// card is touched.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t IMAGE_LENGTH_LIMIT = 0xE0000;  // 917,504 bytes
