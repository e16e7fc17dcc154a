// The order of a run: blocks written one after the other, the first failure or a stop request
// ending it, every later block reported as not attempted.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "app/duvoload/outcome.h"

struct WriteSteps {
    // Writes block `index` of the run and tells what became of it.
    std::function<BlockOutcome(std::size_t index)> write;
    // True once the run is to stop before its next block.
    std::function<bool()> stopRequested;
    // Told of every block's outcome, in order, as soon as it is known.
    std::function<void(std::size_t index, const BlockOutcome& outcome)> report;
};

// Runs `blocks` (block number and image size of each) through `steps`; returns the exit code:
// 0 when all were written, else that of the first failure (3 when the card could not be opened,
// 130 when abandoned, 1 otherwise), or 130 when a stop request left blocks unwritten.
int WriteInOrder(const std::vector<BlockOutcome>& blocks, const WriteSteps& steps);
