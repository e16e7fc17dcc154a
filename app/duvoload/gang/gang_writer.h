// A gang run: the same checked blocks written into several sockets at once. Each socket runs in a
// duvoload process of its own (`--gang-member`, gang_protocol.h), as a single socket's run: its
// blocks in order, its first failure or a stop ending it. One socket's failure never stops or
// waits for another's, and nothing of one socket's download (the card's flash wait, the failure
// texts and codes) can reach another's report.
#pragma once

#include <vector>

#include "app/duvoload/record/block_log.h"
#include "app/duvoload/plan/options.h"
#include "app/duvoload/plan/planned_block.h"

// Writes `plan` into every socket of `options.sockets`; shows each socket's lines as they come
// (stdout: "socket N block B: ..."; stderr: progress, one live line per socket on a console),
// prints the summary line once all have ended, and returns the gang's exit code
// (GangExitCode). `log` is the run's log, already open.
int WriteGang(const Options& options, const std::vector<PlannedBlock>& plan, CBlockLog& log);
