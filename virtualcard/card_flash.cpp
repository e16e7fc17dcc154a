#include "virtualcard/card_flash.h"

#include "virtualcard/card_bytes.h"

namespace virtualcard {

void CardFlash::Stage(uint32_t offset, const uint8_t* data, uint32_t length) {
    CopyBytes(staging_ + offset, data, length);
}

void CardFlash::Program(uint32_t block, uint32_t length) {
    CopyBytes(Block(block), staging_, length);
    blockLength_[block] = length;
    if (programmedFn_ != nullptr) programmedFn_(programmedContext_, block, Block(block), length);
}

void CardFlash::SetBlockProgrammed(BlockProgrammedFn fn, void* context) {
    programmedFn_ = fn;
    programmedContext_ = context;
}

bool CardFlash::Load(uint32_t block, const uint8_t* data, uint32_t length) {
    if (block >= kBlockCount || length > kBlockSize) return false;
    CopyBytes(Block(block), data, length);
    blockLength_[block] = length;
    return true;
}

// Only the programmed bytes need erasing: the rest of every block was never written.
void CardFlash::Erase() {
    for (uint32_t block = 0; block < kBlockCount; ++block) {
        FillBytes(Block(block), kErasedByte, blockLength_[block]);
        blockLength_[block] = 0;
    }
}

uint32_t CardFlash::BlockLength(uint32_t block) const {
    return block < kBlockCount ? blockLength_[block] : 0;
}

uint32_t CardFlash::BlocksHoldingData() const {
    uint32_t count = 0;
    for (uint32_t length : blockLength_) {
        if (length != 0) ++count;
    }
    return count;
}

const uint8_t* CardFlash::BlockData(uint32_t block) const {
    return block < kBlockCount ? Block(block) : nullptr;
}

}  // namespace virtualcard
