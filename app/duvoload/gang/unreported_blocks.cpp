#include "app/duvoload/gang/unreported_blocks.h"

#include <windows.h>

#include <algorithm>

#include "app/duvoload/console/console_text.h"
#include "app/duvoload/record/outcome.h"
#include "app/duvoload/record/run_record.h"
#include "app/duvoload/write/planned_record.h"

bool RecordUnreported(const UnreportedBlocks& unreported, const std::vector<PlannedBlock>& plan,
                      CBlockLog& log, BlockRecord* failed) {
    bool failedOne = false;
    bool kept = true;
    for (const PlannedBlock& planned : plan) {
        if (std::find(unreported.reported.begin(), unreported.reported.end(), planned.block) !=
            unreported.reported.end()) {
            continue;
        }
        BlockRecord record =
            PlannedRecord(unreported.socket, planned, unreported.tag, unreported.card);
        if (unreported.endedAbnormally && !failedOne) {
            record.status = BlockStatus::Failed;
            record.kind = ResultKind::SystemError;
            record.code = ERROR_PROCESS_ABORTED;
            record.message = "its process ended unexpectedly";
            failedOne = true;
            if (failed != nullptr) *failed = record;
        }
        kept = RecordBlock(log, record) && kept;
    }
    return kept;
}

int RefuseSockets(const std::vector<unsigned>& sockets, const std::vector<PlannedBlock>& plan,
                  const std::string& tag, CBlockLog& log, const std::string& reason) {
    WriteLine(StdStream::Err, "duvoload: " + reason);
    std::vector<RefusedBlock> refused;
    for (const PlannedBlock& planned : plan) {
        refused.push_back({planned.block, planned.fullPath,
                           std::to_string(planned.image.bytes.size()), planned.image.sha256});
    }
    for (unsigned socket : sockets) RecordRefusedRun(socket, log, refused, reason, tag);
    return EXIT_DOWNLOAD_FAILED;
}
