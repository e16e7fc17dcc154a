// Progress on stderr: on a console, one line per phase of each block, updated in place and left
// standing at its last value when the phase ends; plain lines at each 10 % of each phase
// otherwise; nothing with --quiet. A socket of a gang run whose parent shows live lines on its
// console sends a line at every change of the percent instead, as progress (console_text.h).
#pragma once

#include <string>

#include "app/duvoload/console/progress_text.h"

class CProgressLine {
  public:
    CProgressLine(bool quiet, bool console, bool everyPercent = false)
        : m_quiet(quiet), m_console(console), m_everyPercent(everyPercent) {}

    // True when an update at `percent` of `phase` would be shown.
    bool Wants(ProgressPhase phase, long percent);
    void Show(const std::string& text);
    // Ends an in-place line, so that what follows starts on a line of its own.
    void Finish();

  private:
    bool m_quiet;
    bool m_console;
    bool m_everyPercent;
    TenPercentSteps m_steps;
    ProgressPhase m_phase = ProgressPhase::Sending;
    long m_shownPercent = -1;
    std::size_t m_shownLength = 0;
    bool m_lineOpen = false;
};
