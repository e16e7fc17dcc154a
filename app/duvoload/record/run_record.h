// The record of a run: every block named gets its line on stdout as soon as it is known, and its
// line in the log (when there is one). A run refused before any block was written leaves its
// lines in the log too.
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/record/block_log.h"
#include "app/duvoload/record/outcome.h"

// A block named by a refused run: its full path, and its bytes and SHA-256 when its file was read
// (else empty). Block 0: a manifest refused before its blocks were known.
struct RefusedBlock {
    int block = 0;
    std::string fullPath;
    std::string bytes;
    std::string sha256;
};

// Prints the block's result line on stdout and appends its log line. False when the log line
// could not be kept (reported on stderr by the log).
bool RecordBlockOutcome(unsigned slot, CBlockLog& log, const std::string& fullPath,
                        const std::string& sha256, const BlockOutcome& outcome);

// Appends one "refused" log line per block named, each with the run's `reason`.
void RecordRefusedRun(unsigned slot, CBlockLog& log, const std::vector<RefusedBlock>& blocks,
                      const std::string& reason);
