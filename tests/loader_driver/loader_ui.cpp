#include "tests/loader_driver/loader_ui.h"

#include <commctrl.h>

#include <vector>

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kMessageBoxIconId = 0x0440;
constexpr const char kLoaderCaption[] = "DuVoPcmciaLoader";

std::string Narrow(const wchar_t* text, int length) {
    if (length <= 0) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

struct OwnedSearch {
    HWND owner;
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindOwned(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<OwnedSearch*>(lParam);
    char className[64] = {};
    GetClassNameA(hwnd, className, sizeof(className));
    DWORD processId = 0;
    GetWindowThreadProcessId(hwnd, &processId);
    if (hwnd == search->owner || processId != search->processId ||
        std::string(className) != "#32770" || !IsWindowVisible(hwnd) ||
        GetWindow(hwnd, GW_OWNER) != search->owner) {
        return TRUE;
    }
    if (search->caption != nullptr && WindowText(hwnd) != search->caption) {
        return TRUE;
    }
    search->found = hwnd;
    return FALSE;
}

struct DialogSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindLoaderDialog(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<DialogSearch*>(lParam);
    DWORD processId = 0;
    GetWindowThreadProcessId(hwnd, &processId);
    char className[64] = {};
    GetClassNameA(hwnd, className, sizeof(className));
    if (processId == search->processId && std::string(className) == "#32770" &&
        WindowText(hwnd) == kLoaderCaption) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

ULONGLONG Sum100ns(const FILETIME& kernel, const FILETIME& user) {
    auto value = [](const FILETIME& t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return value(kernel) + value(user);
}

}  // namespace

std::string WindowText(HWND hwnd) {
    if (hwnd == nullptr) {
        return "<no window>";
    }
    wchar_t buffer[1024] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, 5000,
                        &length);
    return Narrow(buffer, static_cast<int>(length));
}

void SetWindowTextRemote(HWND hwnd, const std::string& text) {
    DWORD_PTR unused = 0;
    SendMessageTimeoutA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_BLOCK,
                        5000, &unused);
}

std::wstring WideWindowText(HWND hwnd) {
    wchar_t buffer[1024] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, 5000,
                        &length);
    return std::wstring(buffer, length);
}

void SetWindowTextRemote(HWND hwnd, const std::wstring& text) {
    DWORD_PTR unused = 0;
    SendMessageTimeoutW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_BLOCK,
                        5000, &unused);
}

void Click(HWND button) {
    PostMessageA(button, BM_CLICK, 0, 0);
}

void PostKey(HWND target, UINT vk) {
    const UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

void PostAltKey(HWND target, UINT vk) {
    const UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    PostMessageA(target, WM_SYSKEYDOWN, vk, 1 | (scan << 16) | 0x20000000u);
    PostMessageA(target, WM_SYSKEYUP, vk, 1 | (scan << 16) | 0xE0000000u);
}

bool LoaderUi::Launch(const std::string& exePath) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + exePath + "\"";
    if (!CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process_)) {
        return false;
    }
    WaitForInputIdle(process_.hProcess, 10000);
    DialogSearch search{process_.dwProcessId, nullptr};
    WaitFor(
        [&] {
            EnumWindows(FindLoaderDialog, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr && IsWindowVisible(search.found);
        },
        10000);
    dialog_ = search.found;
    return dialog_ != nullptr;
}

bool LoaderUi::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (process_.hProcess == nullptr ||
        WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    if (exitCode != nullptr) {
        GetExitCodeProcess(process_.hProcess, exitCode);
    }
    return true;
}

bool LoaderUi::IsRunning() const {
    return process_.hProcess != nullptr &&
           WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

void LoaderUi::Kill() {
    if (IsRunning()) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
}

LoaderUi::~LoaderUi() {
    Kill();
    if (process_.hProcess != nullptr) {
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
}

int LoaderUi::ProgressPos() const {
    return static_cast<int>(SendMessageA(Control(IDC_PROGRESS), PBM_GETPOS, 0, 0));
}

int LoaderUi::ComboCount() const {
    return static_cast<int>(SendMessageA(Control(IDC_MEM_BLOCK), CB_GETCOUNT, 0, 0));
}

int LoaderUi::ComboSelection() const {
    return static_cast<int>(SendMessageA(Control(IDC_MEM_BLOCK), CB_GETCURSEL, 0, 0));
}

std::string LoaderUi::ComboItem(int index) const {
    // SendMessageA would bring back only the first character across processes under Wine.
    wchar_t buffer[256] = {};
    const LRESULT length =
        SendMessageW(Control(IDC_MEM_BLOCK), CB_GETLBTEXT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(buffer));
    return Narrow(buffer, static_cast<int>(length));
}

int LoaderUi::FocusedControl() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(process_.dwThreadId, &info) || info.hwndFocus == nullptr) {
        return 0;
    }
    HWND focus = info.hwndFocus;
    while (focus != nullptr && GetParent(focus) != dialog_) {
        focus = GetParent(focus);
    }
    return focus != nullptr ? GetDlgCtrlID(focus) : 0;
}

void LoaderUi::FocusControl(int id) const {
    PostMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(id)), TRUE);
    WaitFor([&] { return FocusedControl() == id; }, 2000);
}

void LoaderUi::SystemCommand(WPARAM command) const {
    PostMessageA(dialog_, WM_SYSCOMMAND, command, 0);
}

HWND LoaderUi::OwnedDialog(const char* caption) const {
    OwnedSearch search{dialog_, process_.dwProcessId, caption, nullptr};
    EnumWindows(FindOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND LoaderUi::WaitForOwnedDialog(DWORD timeoutMs, const char* caption) const {
    HWND found = nullptr;
    WaitFor([&] { return (found = OwnedDialog(caption)) != nullptr; }, timeoutMs);
    return found;
}

ULONGLONG LoaderUi::CpuTime100ns() const {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(process_.hProcess, &created, &exited, &kernel, &user);
    return Sum100ns(kernel, user);
}

ULONGLONG LoaderUi::MainThreadCpuTime100ns() const {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetThreadTimes(process_.hThread, &created, &exited, &kernel, &user);
    return Sum100ns(kernel, user);
}

MessageBoxView ReadMessageBox(HWND box) {
    MessageBoxView view;
    view.hwnd = box;
    view.caption = WindowText(box);
    view.text = WindowText(GetDlgItem(box, kMessageBoxTextId));
    HWND icon = GetDlgItem(box, kMessageBoxIconId);
    view.icon =
        icon != nullptr && IsWindowVisible(icon) && SendMessageA(icon, STM_GETICON, 0, 0) != 0;
    bool others = false;
    for (int id : {IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        HWND button = GetDlgItem(box, id);
        others = others || (button != nullptr && IsWindowVisible(button));
    }
    HWND ok = GetDlgItem(box, IDOK);
    view.okOnly = ok != nullptr && IsWindowVisible(ok) && !others;
    return view;
}

bool DismissMessageBox(HWND box) {
    Click(GetDlgItem(box, IDOK));
    return WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
}

std::vector<BYTE> WriteImage(const std::string& path, size_t size, unsigned seed) {
    std::wstring wide(path.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, path.data(),
                                                        static_cast<int>(path.size()), wide.data(),
                                                        static_cast<int>(wide.size()))));
    return WriteImage(wide, size, seed);
}

std::vector<BYTE> WriteImage(const std::wstring& path, size_t size, unsigned seed) {
    std::vector<BYTE> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<BYTE>(seed >> 16);
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (size > 0) {
        WriteFile(file, bytes.data(), static_cast<DWORD>(size), &written, nullptr);
    }
    CloseHandle(file);
    return bytes;
}
