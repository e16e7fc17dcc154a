// A dialog of the framework layer whose command handlers throw: a framework exception and any
// other. Each must be reported in a message box owned by the dialog, and the dialog must go on
// and end normally. A second thread of the same program presses the buttons and reads the boxes.
// Exit code: the number of failed checks (an exception that escapes ends the process with 3).
#include <cstdio>
#include <string>

#include "afxwin.h"
#include "tests/loader_driver/check_log.h"
#include "tests/loader_driver/loader_ui.h"

namespace {

constexpr UINT IDD_THROWING = 100;
constexpr int IDC_THROW_FILE_ERROR = 1001;
constexpr int IDC_THROW_OTHER = 1002;

class CThrowingDlg : public CDialog {
  public:
    CThrowingDlg() : CDialog(IDD_THROWING) {}
    int m_nThrown = 0;

  protected:
    afx_msg void OnThrowFileError() {
        ++m_nThrown;
        throw new CFileException(CFileException::generic, ERROR_INVALID_FUNCTION);
    }
    afx_msg void OnThrowOther() {
        ++m_nThrown;
        throw std::string("not a framework exception");
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CThrowingDlg, CDialog)
ON_BN_CLICKED(IDC_THROW_FILE_ERROR, OnThrowFileError)
ON_BN_CLICKED(IDC_THROW_OTHER, OnThrowOther)
END_MESSAGE_MAP()

struct BoxSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedBox(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (std::string(cls) == "#32770" && GetWindow(hwnd, GW_OWNER) == search->owner &&
        IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The first visible dialog owned by `owner`.
HWND OwnedBox(HWND owner) {
    BoxSearch search{owner, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), FindOwnedBox,
                      reinterpret_cast<LPARAM>(&search));
    return search.found;
}

CheckLog g_log;

DWORD WINAPI PressButtons(LPVOID) {
    HWND dialog = nullptr;
    // Found as soon as it is created; a click before it is shown can be lost.
    WaitFor(
        [&] {
            dialog = FindWindowA("#32770", "Throwing handlers");
            return dialog != nullptr && IsWindowVisible(dialog);
        },
        10000);
    if (!g_log.Expect(dialog != nullptr, "the dialog appears")) {
        return 0;
    }
    for (const int button : {IDC_THROW_FILE_ERROR, IDC_THROW_OTHER}) {
        const std::string what = "button " + std::to_string(button);
        Click(GetDlgItem(dialog, button));
        HWND box = nullptr;
        WaitFor([&] { return (box = OwnedBox(dialog)) != nullptr; }, 10000);
        if (!g_log.Expect(box != nullptr, what + ": a message box reports the exception")) {
            break;
        }
        const MessageBoxView view = ReadMessageBox(box);
        g_log.ExpectEqual(view.text, "Internal application error.", what + ": text");
        g_log.ExpectEqual(view.caption, AfxGetApp()->m_pszAppName, what + ": caption");
        g_log.Expect(view.okOnly && view.icon, what + ": OK and an icon");
        g_log.Expect(DismissMessageBox(box), what + ": the box closes with OK");
    }
    // The dialog goes on: it still takes commands and ends as usual.
    Click(GetDlgItem(dialog, IDOK));
    return 0;
}

class CHandlerExceptionApp : public CWinApp {
  public:
    BOOL InitInstance() override {
        CThrowingDlg dialog;
        m_pMainWnd = &dialog;
        HANDLE presser = CreateThread(nullptr, 0, PressButtons, nullptr, 0, nullptr);
        const INT_PTR result = dialog.DoModal();
        WaitForSingleObject(presser, INFINITE);
        CloseHandle(presser);
        g_log.ExpectEqual(result, IDOK, "the dialog ends with OK");
        g_log.ExpectEqual(dialog.m_nThrown, 2, "handlers that threw");
        std::printf("%d checks, %d failed\n", g_log.checks(), g_log.failures());
        std::fflush(stdout);
        return FALSE;
    }
    int ExitInstance() override { return g_log.failures(); }
};

CHandlerExceptionApp theApp;

}  // namespace
