// duvoload --station --slots LIST: a station on several sockets, one process per socket (a
// socket's download holds process-wide state: the flash wait and the percent shown), each
// running the socket's own loop. This process shows their states, prints every block's and
// card's line, keeps the totals and ends with the summary of all sockets.
#pragma once

#include <vector>

#include "app/duvoload/plan/options.h"
#include "app/duvoload/plan/planned_block.h"
#include "app/duvoload/record/block_log.h"

// Runs the station on every socket of `options.sockets` until each socket's loop ends; returns
// the exit code (CombinedStationExitCode of the sockets').
int RunStationSockets(const Options& options, const std::vector<PlannedBlock>& plan,
                      CBlockLog& log);
