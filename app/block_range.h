// The flash blocks either program may write: the dialog lists them, duvoload accepts them.
#pragma once

inline constexpr int FIRST_BLOCK = 2;
inline constexpr int LAST_BLOCK = 14;
