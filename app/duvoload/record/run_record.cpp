#include "app/duvoload/record/run_record.h"

#include "app/duvoload/console/console_text.h"
#include "app/duvoload/record/json_report.h"
#include "app/duvoload/record/local_time.h"
#include "app/duvoload/record/outcome.h"

namespace {

bool PrintResultLine(const BlockRecord& record) {
    return WriteLine(StdStream::Out, ResultLine(record));
}

RecordSink g_recordSink = PrintResultLine;

// Appends `line`; the first line the log cannot keep is reported on stderr, with the reason.
bool AppendToLog(CBlockLog& log, const std::string& line) {
    if (log.Append(line)) return true;
    if (const std::string failure = log.TakeFailure(); !failure.empty()) {
        WriteLine(StdStream::Err, failure);
    }
    return false;
}

}  // namespace

bool PrintJsonBlock(const BlockRecord& record) {
    return WriteLine(StdStream::Out, JsonBlockObject(record));
}

void SendRecordsTo(RecordSink sink) {
    g_recordSink = sink;
}

bool RecordBlock(CBlockLog& log, BlockRecord record) {
    if (record.time.empty()) record.time = LocalTimeNow();
    const bool sent = g_recordSink(record);
    const bool logged = AppendToLog(log, LogLine(record));
    return sent && logged && !OutputFailed();
}

void RecordRefusedRun(unsigned socket, CBlockLog& log, const std::vector<RefusedBlock>& blocks,
                      const std::string& reason, const std::string& tag) {
    const std::string now = LocalTimeNow();
    for (const RefusedBlock& refused : blocks) {
        if (!AppendToLog(log, RefusedLogLine(now, socket, refused.block, refused.fullPath,
                                             refused.bytes, refused.sha256, reason, tag))) {
            return;
        }
    }
}
