#include "app/duvoload/plan/block_list.h"

bool ParseBlockNumber(const std::string& text, int* block, std::string* error) {
    if (text.empty()) {
        *error = "no block number";
        return false;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            *error = "block \"" + text + "\" is not a number";
            return false;
        }
        // Saturate: any long number is out of range anyway.
        value = value > LAST_BLOCK ? value : value * 10 + (c - '0');
    }
    if (value < FIRST_BLOCK || value > LAST_BLOCK) {
        *error = "block " + text + " is not between " + std::to_string(FIRST_BLOCK) + " and " +
                 std::to_string(LAST_BLOCK);
        return false;
    }
    *block = value;
    return true;
}

bool CheckBlockList(const std::vector<BlockFile>& blocks, std::string* error) {
    if (blocks.empty()) {
        *error = "no block to write: name BLOCK=FILE or --manifest FILE (see --help)";
        return false;
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (blocks[j].block == blocks[i].block) {
                *error = blocks[i].origin + ": block " + std::to_string(blocks[i].block) +
                         " is already named by " + blocks[j].origin;
                return false;
            }
        }
    }
    return true;
}
