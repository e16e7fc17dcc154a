// The progress lines on stderr: their text, and which updates a log-friendly (non-console)
// stderr gets.
#pragma once

#include <cstdint>
#include <string>

enum class ProgressPhase { Sending, Programming };

// "block 3: sending 45% (412000 of 917503 bytes, 5.12 KB/s)" or "block 3: programming flash 40%".
std::string ProgressText(int block, ProgressPhase phase, long percent, std::uint32_t bytes,
                         std::uint32_t length, double seconds);

// Lets through the first update at or past each multiple of 10 % of each phase, so a file or a
// pipe gets at most eleven lines a phase. The flash wait runs its percent up twice; its second
// run shows nothing until it passes the first.
class TenPercentSteps {
  public:
    bool Passes(ProgressPhase phase, long percent);

  private:
    ProgressPhase m_phase = ProgressPhase::Sending;
    long m_lastStep = -1;
};
