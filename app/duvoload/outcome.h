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
};

// Exit codes of the program.
inline constexpr int EXIT_ALL_WRITTEN = 0;
inline constexpr int EXIT_DOWNLOAD_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;
inline constexpr int EXIT_NO_CARD = 3;
inline constexpr int EXIT_INTERRUPTED = 130;

// The exit code for a download that returned `result` (nonzero).
int ExitCodeForFailure(std::uint32_t result);

// The stdout line of one block, without a newline:
//   block 3: written 1000 bytes in 0.52 s (1.88 KB/s)
//   block 3: failed [87025353] Duvo0 not respond [87025353]
//   block 3: not attempted
std::string ResultLine(const BlockOutcome& outcome);

// The log line of one block, tab-separated, without a newline: local time, slot, block, full
// path, bytes, SHA-256, result ("written", "failed 87025353", "not attempted"), seconds.
std::string LogLine(const std::string& localTime, unsigned slot, const std::string& fullPath,
                    const std::string& sha256, const BlockOutcome& outcome);

// ISO 8601 local time without a zone: 2026-12-08T01:02:03.
std::string IsoLocalTime(int year, int month, int day, int hour, int minute, int second);
