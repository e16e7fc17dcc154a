#include "app/duvoload/record/run_record.h"

#include "app/duvoload/console/console_text.h"
#include "app/duvoload/record/local_time.h"

bool RecordBlockOutcome(unsigned slot, CBlockLog& log, const std::string& fullPath,
                        const std::string& sha256, const BlockOutcome& outcome) {
    WriteLine(StdStream::Out, ResultLine(outcome));
    return log.Append(LogLine(LocalTimeNow(), slot, fullPath, sha256, outcome));
}

void RecordRefusedRun(unsigned slot, CBlockLog& log, const std::vector<RefusedBlock>& blocks,
                      const std::string& reason) {
    const std::string now = LocalTimeNow();
    for (const RefusedBlock& refused : blocks) {
        if (!log.Append(RefusedLogLine(now, slot, refused.block, refused.fullPath, refused.bytes,
                                       refused.sha256, reason))) {
            return;
        }
    }
}
