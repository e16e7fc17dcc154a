// The order of a run: blocks written one after the other, the first failure or a stop request
// ending it, every later block reported as not attempted.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "app/duvoload/record/outcome.h"

struct WriteSteps {
    // Writes block `index` of the run and tells what became of it.
    std::function<BlockRecord(std::size_t index)> write;
    // True once the run is to stop before its next block.
    std::function<bool()> stopRequested;
    // Records every block, in order, as soon as its result is known; false when its record could
    // not be kept (the log, stdout or stderr could not be written).
    std::function<bool(std::size_t index, const BlockRecord& record)> report;
};

// Runs `blocks` (each block's record before it is attempted) through `steps`; returns the exit
// code: 0 when all were written, else that of the first failure's kind (ExitCodeFor), 130 when a
// stop request left blocks unwritten, or 4 when a record could not be kept: no card work goes
// unrecorded, so the run then writes no further block.
int WriteInOrder(const std::vector<BlockRecord>& blocks, const WriteSteps& steps);
