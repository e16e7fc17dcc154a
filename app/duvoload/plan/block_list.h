// The blocks a run writes: block number, image path, optional expected hash, and where each was
// named (for the messages that refuse it).
#pragma once

#include <string>
#include <vector>

#include "app/block_range.h"

struct BlockFile {
    int block = 0;
    std::string path;    // as named; relative manifest paths already joined to its folder
    std::string sha256;  // expected hash in lower case; empty when none was given
    std::string origin;  // e.g. `argument "3=a.bin"` or `manifest "m.txt" line 4`
};

// Reads a block number: decimal digits only, FIRST_BLOCK to LAST_BLOCK. On failure `error`
// says why (without the origin).
bool ParseBlockNumber(const std::string& text, int* block, std::string* error);

// Checks that no block is named twice and that there is at least one. On failure `error` is the
// whole message, naming the offending origin.
bool CheckBlockList(const std::vector<BlockFile>& blocks, std::string* error);
