// What became of each block named, how it is reported on stdout and in the log, and the exit
// code of the run.
#pragma once

#include <cstdint>
#include <string>

enum class BlockStatus { Written, Failed, NotAttempted };

struct BlockOutcome {
    int block = 0;
    BlockStatus status = BlockStatus::NotAttempted;
    std::uint32_t bytes = 0;
    double seconds = 0;
    std::uint32_t code = 0;  // the download's result code when failed
    std::string text;        // the failure's text (its trailing newline dropped)
    std::string started;     // local time the block's download began; empty when not attempted
};

// Exit codes of the program.
inline constexpr int EXIT_ALL_WRITTEN = 0;
inline constexpr int EXIT_DOWNLOAD_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;
inline constexpr int EXIT_NO_CARD = 3;
inline constexpr int EXIT_LOG_FAILED = 4;
inline constexpr int EXIT_SOCKET_IN_USE = 5;
inline constexpr int EXIT_INTERRUPTED = 130;

// The exit code for a download that returned `result` (nonzero).
int ExitCodeForFailure(std::uint32_t result);

// The stdout line of one block, without a newline; one code per line (the failure's text without
// the code it ends in):
//   block 3: written 1000 bytes in 0.52 s (1.88 KB/s)
//   block 3: failed [87025353] Duvo0 not respond
//   block 3: not attempted
std::string ResultLine(const BlockOutcome& outcome);

// The log line of one block, tab-separated, without a newline: the local time its download began
// (else `localTime`), slot, block, full path, bytes, SHA-256, result ("written",
// "failed 87025353", "not attempted"), seconds. Control characters in the path are escaped.
std::string LogLine(const std::string& localTime, unsigned slot, const std::string& fullPath,
                    const std::string& sha256, const BlockOutcome& outcome);

// The log line of a block named by a run that was refused before any block was written: its
// bytes and SHA-256 when its file was read (else empty), the result "refused " + `reason`,
// seconds 0.00. Block 0 leaves the block field empty (a manifest refused before its blocks were
// known).
std::string RefusedLogLine(const std::string& localTime, unsigned slot, int block,
                           const std::string& fullPath, const std::string& bytes,
                           const std::string& sha256, const std::string& reason);
