// How a block's record is reported on stdout and in the log, and the exit code of the run.
#pragma once

#include <string>

#include "app/duvoload/record/block_record.h"

// Exit codes of the program.
inline constexpr int EXIT_ALL_WRITTEN = 0;
inline constexpr int EXIT_DOWNLOAD_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;
inline constexpr int EXIT_NO_CARD = 3;
inline constexpr int EXIT_OUTPUT_FAILED = 4;  // the log, stdout or stderr could not be written
inline constexpr int EXIT_SOCKET_IN_USE = 5;
inline constexpr int EXIT_INTERRUPTED = 130;

// The exit code of a run whose first failure is of `kind` (0 for Written): from the kind alone,
// whatever code the failure shows.
int ExitCodeFor(ResultKind kind);

// The stdout line of one block, without a newline; one code per line (the failure's text without
// the code it ends in):
//   block 3: written 1000 bytes in 0.52 s (1.88 KB/s)
//   block 3: failed [87025353] Duvo0 not respond
//   block 3: not attempted
std::string ResultLine(const BlockRecord& record);

// The log line of one block, tab-separated, without a newline: time, socket, block, full path,
// bytes, SHA-256, result ("written", "failed 87025353", "not attempted"), seconds, then the card
// (empty outside a station) and the tag, at the end so that the fields before keep their places.
// Control characters in the path and the tag are escaped.
std::string LogLine(const BlockRecord& record);

// The log line of a block named by a run that was refused before any block was written: its
// bytes and SHA-256 when its file was read (else empty), the result "refused " + `reason`,
// seconds 0.00, no card, the run's tag. Block 0 leaves the block field empty (a manifest refused
// before its blocks were known).
std::string RefusedLogLine(const std::string& localTime, unsigned socket, int block,
                           const std::string& fullPath, const std::string& bytes,
                           const std::string& sha256, const std::string& reason,
                           const std::string& tag);

// "card 3 " in a station (a card's block: "card 3 block 4: ..."); empty outside one.
std::string CardPrefix(unsigned card);
