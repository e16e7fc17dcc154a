// What every block list that a parser accepts holds, whoever named its blocks.
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/plan/block_list.h"
#include "fuzz/check.h"

inline bool IsLowerHex(const std::string& text) {
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

// One block or more, each between FIRST_BLOCK and LAST_BLOCK and named once, each with a file
// name and an origin, and a SHA-256 that is absent or 64 lower-case hexadecimal digits.
inline void CheckAcceptedBlocks(const std::vector<BlockFile>& blocks) {
    FUZZ_CHECK(!blocks.empty(), "an accepted list without a block");
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const BlockFile& entry = blocks[i];
        FUZZ_CHECK(entry.block >= FIRST_BLOCK && entry.block <= LAST_BLOCK,
                   "a block outside 2 to 14 accepted");
        FUZZ_CHECK(!entry.path.empty(), "a block without a file name accepted");
        FUZZ_CHECK(!entry.origin.empty(), "a block without its origin");
        FUZZ_CHECK(entry.sha256.empty() || (entry.sha256.size() == 64 && IsLowerHex(entry.sha256)),
                   "a SHA-256 that is not 64 lower-case hexadecimal digits");
        for (std::size_t j = 0; j < i; ++j) {
            FUZZ_CHECK(blocks[j].block != entry.block, "a block named twice accepted");
        }
    }
}

inline bool SameBlocks(const std::vector<BlockFile>& a, const std::vector<BlockFile>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].block != b[i].block || a[i].path != b[i].path || a[i].sha256 != b[i].sha256) {
            return false;
        }
    }
    return true;
}
