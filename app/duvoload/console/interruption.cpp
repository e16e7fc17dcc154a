#include "app/duvoload/console/interruption.h"

#include <windows.h>

#include <atomic>

#include "app/duvoload/console/control_event.h"

namespace {

std::atomic<LONG> g_interruptions{0};
HANDLE g_runFinished = nullptr;

// The system ends the process soon after a close handler returns: give the run this long to
// abandon its block and write its results.
constexpr DWORD kCloseGraceMs = 4000;

BOOL WINAPI OnConsoleControl(DWORD type) {
    // Each event runs its handler on a thread of its own: two at once both count.
    LONG count = g_interruptions.load();
    LONG after = 0;
    do {
        after = InterruptionsAfter(type, count);
        if (after < 0) return FALSE;
    } while (!g_interruptions.compare_exchange_weak(count, after));
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && g_runFinished != nullptr) {
        WaitForSingleObject(g_runFinished, kCloseGraceMs);
    }
    return TRUE;
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
