// The loader as the test sees it from outside: its process, its main dialog and the windows it
// opens (message boxes, the About box, the file dialog).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/resource.h"

// The file name box of the system's Open dialog (an extended combo box).
constexpr int kOpenDialogFileNameCombo = 0x47C;

// Waits up to timeoutMs for condition() to hold, polling; true when it did.
template <class Condition>
bool WaitFor(Condition condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(10);
    }
}

// Text of any window, also another process's edit control (WM_GETTEXT, not GetWindowText).
std::string WindowText(HWND hwnd);
void SetWindowTextRemote(HWND hwnd, const std::string& text);
// The same in UTF-16, for text the ANSI code page cannot hold.
std::wstring WideWindowText(HWND hwnd);
void SetWindowTextRemote(HWND hwnd, const std::wstring& text);
void Click(HWND button);  // posted BM_CLICK: returns before the handler has run
void PostKey(HWND target, UINT vk);
void PostAltKey(HWND target, UINT vk);

class LoaderUi {
  public:
    // Starts the loader and waits for its main dialog; false when it did not appear.
    bool Launch(const std::string& exePath);
    // Waits for the process to end; true and its exit code when it did.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    bool IsRunning() const;
    // Ends a loader left running by a failed check.
    void Kill();
    ~LoaderUi();

    HWND dialog() const { return dialog_; }
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }
    std::string Text(int id) const { return WindowText(Control(id)); }
    int ProgressPos() const;
    int ComboCount() const;
    int ComboSelection() const;
    std::string ComboItem(int index) const;
    bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
    bool DialogVisible() const { return IsWindowVisible(dialog_) != FALSE; }
    // The dialog control that has the keyboard focus (an edit inside a combo box counts as the
    // combo box); 0 when none of its controls has it.
    int FocusedControl() const;
    // Moves the focus the way Tab does (WM_NEXTDLGCTL).
    void FocusControl(int id) const;
    void SystemCommand(WPARAM command) const;

    // A visible top-level dialog owned by the main dialog (a message box, the About box, the
    // file dialog), waited for; nullptr when none appeared.
    HWND WaitForOwnedDialog(DWORD timeoutMs, const char* caption = nullptr) const;
    HWND OwnedDialog(const char* caption = nullptr) const;

    // The CPU time the process has used so far, in 100 ns units.
    ULONGLONG CpuTime100ns() const;
    ULONGLONG MainThreadCpuTime100ns() const;

  private:
    PROCESS_INFORMATION process_{};
    HWND dialog_ = nullptr;
};

// What a message box showed.
struct MessageBoxView {
    HWND hwnd = nullptr;
    std::string caption;
    std::string text;
    bool icon = false;
    bool okOnly = false;
};

MessageBoxView ReadMessageBox(HWND box);
// Presses OK and waits until the box has gone.
bool DismissMessageBox(HWND box);

// Writes `size` pseudo-random bytes (from `seed`) to `path` and returns them.
std::vector<BYTE> WriteImage(const std::string& path, size_t size, unsigned seed);
std::vector<BYTE> WriteImage(const std::wstring& path, size_t size, unsigned seed);
