#include "app/duvoload/console/interruption.h"

#include <windows.h>

#include <atomic>

namespace {

std::atomic<LONG> g_interruptions{0};
HANDLE g_runFinished = nullptr;

// The system ends the process soon after a close handler returns: give the run this long to
// abandon its block and write its results.
constexpr DWORD kCloseGraceMs = 4000;

BOOL WINAPI OnConsoleControl(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            g_interruptions.fetch_add(1);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            g_interruptions.store(2);
            if (g_runFinished != nullptr) {
                WaitForSingleObject(g_runFinished, kCloseGraceMs);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void InstallInterruptionHandler() {
    g_runFinished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool StopRequested() {
    return g_interruptions.load() >= 1;
}

bool AbandonRequested() {
    return g_interruptions.load() >= 2;
}

void NoteRunFinished() {
    if (g_runFinished != nullptr) {
        SetEvent(g_runFinished);
    }
}
