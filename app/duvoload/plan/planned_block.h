// One block of a run, checked and read: its number, its file's full path and its image.
#pragma once

#include <string>
#include <vector>

// An image file read whole, with its hash.
struct LoadedImage {
    std::vector<unsigned char> bytes;
    std::string sha256;  // lower-case hex of `bytes`
};

struct PlannedBlock {
    int block = 0;
    std::string fullPath;
    LoadedImage image;
};
