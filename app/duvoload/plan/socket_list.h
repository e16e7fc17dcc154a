// --slots LIST: the sockets a gang run writes into, in the order given.
#pragma once

#include <string>
#include <vector>

inline constexpr unsigned MAX_SLOT = 99;

// A socket number, 0 to MAX_SLOT, in decimal digits.
bool ParseSlotNumber(const std::string& text, unsigned* slot);

// Parses a list such as "0,1,2,3", "0-3" or "3,0-1": socket numbers (0 to MAX_SLOT) and
// ascending ranges, separated by commas, each socket at most once, two sockets or more. On
// failure `reason` says what is wrong, in words that name the offending part.
bool ParseSlotList(const std::string& text, std::vector<unsigned>* slots, std::string* reason);
