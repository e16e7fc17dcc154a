// Flash persistence: every programmed block is kept as blockNN.bin (NN the block number, two
// decimal digits) in its socket's data directory, and loaded back when the driver starts.
#pragma once

#include "virtualcard/card_model.h"
#include "virtualcard/driver/kernel.h"

namespace virtualcard::driver {

// Loads every block file present in `directory`; returns the number of blocks loaded.
ULONG LoadFlashBlocks(CardModel& model, const wchar_t* directory);

// Matches virtualcard::BlockProgrammedFn: writes the block's file. `context` is the data
// directory (a const wchar_t*).
void SaveFlashBlock(void* context, uint32_t block, const uint8_t* data, uint32_t length);

}  // namespace virtualcard::driver
