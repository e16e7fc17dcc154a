// The record of a run: every block named gets its line on stdout as soon as it is known, and its
// line in the log (when there is one). A run refused before any block was written leaves its
// lines in the log too.
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/record/block_log.h"
#include "app/duvoload/record/block_record.h"

// A block named by a refused run: its full path, and its bytes and SHA-256 when its file was read
// (else empty). Block 0: a manifest refused before its blocks were known.
struct RefusedBlock {
    int block = 0;
    std::string fullPath;
    std::string bytes;
    std::string sha256;
};

// Where a block's record goes besides the log: by default its result line on stdout; one socket
// of a gang run sends the record itself to its parent. False when it could not be sent.
using RecordSink = bool (*)(const BlockRecord& record);
void SendRecordsTo(RecordSink sink);

// --json: the block's JSON object on stdout, in place of its line.
bool PrintJsonBlock(const BlockRecord& record);

// Sends the block's record (its time set to now when it has none) and appends its log line. False
// when either could not be kept, or any output of the run has been lost: the log reports its own
// failure on stderr, the console its own on the stream that still works.
bool RecordBlock(CBlockLog& log, BlockRecord record);

// Appends one "refused" log line per block named, each with the run's `reason`.
void RecordRefusedRun(unsigned socket, CBlockLog& log, const std::vector<RefusedBlock>& blocks,
                      const std::string& reason, const std::string& tag);
