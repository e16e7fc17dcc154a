// --sockets LIST: the sockets a gang run writes into, in the order given.
#pragma once

#include <string>
#include <vector>

inline constexpr unsigned LAST_SOCKET = 99;

// "0 to 99", as the messages give the sockets' range.
std::string SocketRangeText();

// A socket number, 0 to LAST_SOCKET, in decimal digits.
bool ParseSocketNumber(const std::string& text, unsigned* socket);

// Parses a list such as "0,1,2,3", "0-3" or "3,0-1": socket numbers (0 to LAST_SOCKET) and
// ascending ranges, separated by commas, each socket at most once, two sockets or more. On
// failure `reason` says what is wrong, in words that name the offending part.
bool ParseSocketList(const std::string& text, std::vector<unsigned>* sockets, std::string* reason);
