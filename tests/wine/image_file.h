// Reads a whole image file for the Wine test programs.
#pragma once

#include <windows.h>

#include <cstdio>
#include <vector>

inline bool ReadImage(const char* path, std::vector<BYTE>* image) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    BYTE buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
        image->insert(image->end(), buffer, buffer + n);
    }
    std::fclose(file);
    return true;
}
