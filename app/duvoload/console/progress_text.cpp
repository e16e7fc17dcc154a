#include "app/duvoload/console/progress_text.h"

#include <cstdio>

std::string ProgressText(int block, ProgressPhase phase, long percent, std::uint32_t bytes,
                         std::uint32_t length, double seconds) {
    char text[160];
    if (phase == ProgressPhase::Sending) {
        const double rate = seconds > 0 ? bytes / 1024.0 / seconds : 0.0;
        std::snprintf(text, sizeof text, "block %d: sending %ld%% (%u of %u bytes, %.2f KB/s)",
                      block, percent, static_cast<unsigned>(bytes), static_cast<unsigned>(length),
                      rate);
    } else {
        std::snprintf(text, sizeof text, "block %d: programming flash %ld%%", block, percent);
    }
    return text;
}

bool TenPercentSteps::Passes(ProgressPhase phase, long percent) {
    if (phase != m_phase) {
        m_phase = phase;
        m_lastStep = -1;
    }
    const long step = percent / 10;
    if (step <= m_lastStep) return false;
    m_lastStep = step;
    return true;
}
