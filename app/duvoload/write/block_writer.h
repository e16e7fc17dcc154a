// Writes the checked blocks one after the other, each in one download of its own, and records
// what became of every block named as soon as it is known.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/duvoload/plan/planned_block.h"
#include "app/duvoload/record/block_log.h"
#include "app/duvoload/record/block_record.h"

struct WriteSettings {
    unsigned socket = 0;
    bool quiet = false;
    bool console = false;       // stderr is a console
    bool everyPercent = false;  // a progress line at every change (a gang's live lines)
    unsigned card = 0;          // the card's number in a station; 0 outside one
    std::string tag;
    // When set, the progress texts that would be shown go here instead (a station's live line).
    std::function<void(const std::string& text)> showProgress;
};

// Writes `plan` in order, stops at the first failure, interruption or lost record, and records
// each block (stdout and log) as soon as its result is known. Returns the exit code.
// Each block's record is also added to `recorded` when given.
int WriteBlocks(const WriteSettings& settings, const std::vector<PlannedBlock>& plan,
                CBlockLog& log, std::vector<BlockRecord>* recorded = nullptr);

// --probe: prints the register base of the card in `socket`. Returns the exit code.
int ProbeSocket(unsigned socket);
