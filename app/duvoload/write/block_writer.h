// Writes the checked blocks one after the other, each in one download of its own, and records
// what became of every block named as soon as it is known.
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/plan/planned_block.h"
#include "app/duvoload/record/block_log.h"

struct WriteSettings {
    unsigned socket = 0;
    bool quiet = false;
    bool console = false;       // stderr is a console
    bool everyPercent = false;  // a progress line at every change (a gang's live lines)
    unsigned card = 0;          // the card's number in a station; 0 outside one
    std::string tag;
};

// Writes `plan` in order, stops at the first failure, interruption or lost record, and records
// each block (stdout and log) as soon as its result is known. Returns the exit code.
int WriteBlocks(const WriteSettings& settings, const std::vector<PlannedBlock>& plan,
                CBlockLog& log);

// --probe: prints the register base of the card in `socket`. Returns the exit code.
int ProbeSocket(unsigned socket);
