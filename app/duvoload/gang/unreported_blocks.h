// The blocks that a socket's process never reported, put on record by its parent: the process
// could not start, could not take its plan, or ended otherwise than duvoload ends (a crash, a
// kill); or no socket's process could be started at all.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/duvoload/plan/planned_block.h"
#include "app/duvoload/record/block_log.h"
#include "app/duvoload/record/block_record.h"

struct UnreportedBlocks {
    unsigned socket = 0;
    unsigned card = 0;          // a station's card; 0 outside one
    std::vector<int> reported;  // the blocks the process did report
    bool endedAbnormally = false;
    std::string tag;
};

// Records (stdout and log) every planned block not reported. When the process ended abnormally,
// the first of them, which it may have been writing, is failed (ERROR_PROCESS_ABORTED: it is not
// known to be written) and the rest are not attempted. Returns false when a record could not be
// kept; `failed`, when given, receives the failed block's record.
bool RecordUnreported(const UnreportedBlocks& unreported, const std::vector<PlannedBlock>& plan,
                      CBlockLog& log, BlockRecord* failed = nullptr);

// Refuses a run on several sockets before any card is touched: the reason on stderr, and every
// socket's blocks on record as refused. Returns the exit code (1).
int RefuseSockets(const std::vector<unsigned>& sockets, const std::vector<PlannedBlock>& plan,
                  const std::string& tag, CBlockLog& log, const std::string& reason);

// What a run on several sockets does before it starts their processes: makes the job that ends
// them with this one, and prints the records this process makes itself (RecordUnreported's) as the
// sockets' own are printed, JSON objects or "socket N block B: ..." lines. When the system cannot
// make the job, every socket is refused and the result is null, with the exit code in
// `*refusedCode`.
HANDLE PrepareSocketsRun(const std::vector<unsigned>& sockets,
                         const std::vector<PlannedBlock>& plan, const std::string& tag, bool json,
                         CBlockLog& log, int* refusedCode);
