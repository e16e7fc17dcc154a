// What tests do with a card that no host does: look into its flash and clear its counters. Kept
// apart from the card's device interface (card_model.h), which the driver and the native host call.
#pragma once

#include <stdint.h>

#include "virtualcard/card_model.h"

namespace virtualcard {

class CardTestControls {
  public:
    explicit CardTestControls(CardModel& card) : card_(card) {}

    // Bytes programmed into the block, 0 if none.
    uint32_t BlockLength(uint32_t block) const { return card_.flash_.BlockLength(block); }
    // The block's storage (kBlockSize bytes), or null for a block the card does not have.
    const uint8_t* BlockData(uint32_t block) const { return card_.flash_.BlockData(block); }
    void ResetCounters() { card_.counters_ = {}; }

  private:
    CardModel& card_;
};

}  // namespace virtualcard
