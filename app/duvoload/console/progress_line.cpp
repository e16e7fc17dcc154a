#include "app/duvoload/console/progress_line.h"

#include "app/duvoload/console/console_text.h"

bool CProgressLine::Wants(ProgressPhase phase, long percent) {
    if (m_quiet) return false;
    if (!m_console && !m_everyPercent) return m_steps.Passes(phase, percent);
    // A new phase gets a line of its own: the last one stays as it ended (sending 100%).
    if (phase != m_phase) {
        Finish();
        m_phase = phase;
        m_shownPercent = -1;
    }
    // In place or live: a line when the percent changes, not on every chunk.
    if (percent == m_shownPercent) return false;
    m_shownPercent = percent;
    return true;
}

void CProgressLine::Show(const std::string& text) {
    if (!m_console) {
        WriteLine(StdStream::Progress, text);
        return;
    }
    // Spaces wipe what is left of a longer previous text.
    const std::size_t pad = m_shownLength > text.size() ? m_shownLength - text.size() : 0;
    WriteText(StdStream::Err, "\r" + text + std::string(pad, ' '));
    m_shownLength = text.size();
    m_lineOpen = true;
}

void CProgressLine::Finish() {
    if (m_lineOpen) {
        WriteText(StdStream::Err, "\n");
        m_lineOpen = false;
        m_shownLength = 0;
    }
}
