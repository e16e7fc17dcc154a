#include "app/duvoload/gang/unreported_blocks.h"

#include <windows.h>

#include <algorithm>

#include "app/duvoload/console/console_text.h"
#include "app/duvoload/gang/gang_report.h"
#include "app/duvoload/gang/socket_process.h"
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

namespace {

bool PrintSocketResult(const BlockRecord& record) {
    return WriteLine(StdStream::Out, GangResultLine(record));
}

}  // namespace

HANDLE PrepareSocketsRun(const std::vector<unsigned>& sockets,
                         const std::vector<PlannedBlock>& plan, const std::string& tag, bool json,
                         CBlockLog& log, int* refusedCode) {
    std::string reason;
    const HANDLE job = KillOnCloseJob(&reason);
    if (job == nullptr) {
        *refusedCode = RefuseSockets(sockets, plan, tag, log,
                                     "cannot tie the sockets' processes to this one: " + reason);
        return nullptr;
    }
    SendRecordsTo(json ? PrintJsonBlock : PrintSocketResult);
    return job;
}
