#include "app/duvoload/progress_line.h"

#include <windows.h>

#include <cstdio>

bool CProgressLine::Wants(ProgressPhase phase, long percent) {
    if (m_quiet) return false;
    if (!m_console) return m_steps.Passes(phase, percent);
    // On a console: redraw when the percent or the phase changes, not on every chunk.
    if (phase == m_phase && percent == m_shownPercent) return false;
    m_phase = phase;
    m_shownPercent = percent;
    return true;
}

void CProgressLine::Show(const std::string& text) {
    if (!m_console) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    // Spaces wipe what is left of a longer previous text.
    const int pad = m_shownLength > text.size() ? static_cast<int>(m_shownLength - text.size()) : 0;
    std::fprintf(stderr, "\r%s%*s", text.c_str(), pad, "");
    std::fflush(stderr);
    m_shownLength = text.size();
    m_lineOpen = true;
}

void CProgressLine::Finish() {
    if (m_lineOpen) {
        std::fputc('\n', stderr);
        m_lineOpen = false;
        m_shownLength = 0;
    }
}

bool StderrIsConsole() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}
