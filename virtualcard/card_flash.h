// The card's flash: kBlockCount blocks and the staging area that a download fills before it is
// programmed. The storage is the host's; the card keeps how many bytes each block holds.
#pragma once

#include <stdint.h>

namespace virtualcard {

inline constexpr uint32_t kBlockCount = 16;
inline constexpr uint32_t kBlockSize = 0xE0000;  // holds the largest accepted image, 917,503 bytes
inline constexpr uint32_t kFlashSize = kBlockCount * kBlockSize;
inline constexpr uint8_t kErasedByte = 0xFF;  // what erased flash reads

using BlockProgrammedFn = void (*)(void* context, uint32_t block, const uint8_t* data,
                                   uint32_t length);

class CardFlash {
  public:
    // `blocks` holds kFlashSize bytes, `staging` kBlockSize bytes; both erased by the host.
    CardFlash(uint8_t* blocks, uint8_t* staging) : blocks_(blocks), staging_(staging) {}

    // Keeps a chunk of the download in progress at `offset` of the staging area.
    void Stage(uint32_t offset, const uint8_t* data, uint32_t length);
    // Copies the first `length` staged bytes into the block and reports it.
    void Program(uint32_t block, uint32_t length);
    // Called when Program has written a block.
    void SetBlockProgrammed(BlockProgrammedFn fn, void* context);

    // Restores a block's contents (persistence); false when it does not fit.
    bool Load(uint32_t block, const uint8_t* data, uint32_t length);
    // Every block blank again, as on a card fresh from the factory.
    void Erase();

    uint32_t BlockLength(uint32_t block) const;  // bytes programmed into the block, 0 if none
    uint32_t BlocksHoldingData() const;
    const uint8_t* BlockData(uint32_t block) const;

  private:
    uint8_t* Block(uint32_t block) const { return blocks_ + block * kBlockSize; }

    uint8_t* blocks_;
    uint8_t* staging_;
    uint32_t blockLength_[kBlockCount] = {};
    BlockProgrammedFn programmedFn_ = nullptr;
    void* programmedContext_ = nullptr;
};

}  // namespace virtualcard
