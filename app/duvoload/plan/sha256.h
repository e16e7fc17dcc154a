// SHA-256 of a byte string, as 64 lower-case hexadecimal digits.
#pragma once

#include <cstddef>
#include <string>

std::string Sha256Hex(const unsigned char* data, std::size_t length);
