// duvoload --station on one socket: the plan, checked once, written into every card inserted,
// until Ctrl+C or --cards. Each card's blocks are recorded as a run's are, each with the card's
// number; each card gets its line on stdout, the socket's state shows on stderr, and a summary
// ends the station.
#pragma once

#include <vector>

#include "app/duvoload/plan/options.h"
#include "app/duvoload/plan/planned_block.h"
#include "app/duvoload/record/block_log.h"

// Runs the station on `options.slot`; returns its exit code (StationExitCode).
int RunStation(const Options& options, const std::vector<PlannedBlock>& plan, CBlockLog& log);
