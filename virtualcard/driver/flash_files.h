// Flash persistence: every programmed block is kept as blockNN.bin (NN the block number, two
// decimal digits) in the card's data directory, and loaded back when the driver starts.
#pragma once

#include "virtualcard/card_model.h"
#include "virtualcard/driver/kernel.h"

namespace virtualcard::driver {

// Loads every block file present; returns the number of blocks loaded.
ULONG LoadFlashBlocks(CardModel& model);

// Matches virtualcard::BlockProgrammedFn: writes the block's file.
void SaveFlashBlock(void* context, uint32_t block, const uint8_t* data, uint32_t length);

}  // namespace virtualcard::driver
