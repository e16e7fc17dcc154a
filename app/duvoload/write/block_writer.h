// Writes the checked blocks one after the other, each in one download of its own, and records
// what became of every block named as soon as it is known.
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/record/block_log.h"
#include "app/duvoload/plan/planned_block.h"

struct WriteSettings {
    unsigned slot = 0;
    bool quiet = false;
    bool console = false;       // stderr is a console
    bool everyPercent = false;  // a progress line at every change (a gang's live lines)
};

// Writes `plan` in order, stops at the first failure, interruption or lost log line, and
// records each block's outcome (stdout and log) as soon as it is known. Returns the exit code.
int WriteBlocks(const WriteSettings& settings, const std::vector<PlannedBlock>& plan,
                CBlockLog& log);

// --probe: prints the register base of the card in `slot`. Returns the exit code.
int ProbeSlot(unsigned slot);
