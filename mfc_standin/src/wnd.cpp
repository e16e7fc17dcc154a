#include "afxwin.h"

#include <map>
#include <memory>
#include <string>

namespace {

// Which object stands for which window. Objects bound with Attach are permanent; FromHandle
// makes a plain wrapper for any other window and keeps it. Used on the UI thread only.
struct WindowMaps {
    std::map<HWND, CWnd*> permanent;
    std::map<HWND, std::unique_ptr<CWnd>> wrappers;

    ~WindowMaps() {
        // The wrappers were never bound: keep their destructors away from the permanent map.
        for (auto& entry : wrappers) {
            entry.second->m_hWnd = nullptr;
        }
    }
};

WindowMaps& Maps() {
    static WindowMaps maps;
    return maps;
}

}  // namespace

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::~CWnd() {
    if (m_hWnd != nullptr) {
        Detach();
    }
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (hWnd == nullptr) {
        return nullptr;
    }
    WindowMaps& maps = Maps();
    if (auto found = maps.permanent.find(hWnd); found != maps.permanent.end()) {
        return found->second;
    }
    std::unique_ptr<CWnd>& wrapper = maps.wrappers[hWnd];
    if (!wrapper) {
        wrapper = std::make_unique<CWnd>();
        wrapper->m_hWnd = hWnd;
    }
    return wrapper.get();
}

BOOL CWnd::Attach(HWND hWnd) {
    if (hWnd == nullptr) {
        return FALSE;
    }
    m_hWnd = hWnd;
    Maps().permanent[hWnd] = this;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr) {
        auto& permanent = Maps().permanent;
        if (auto found = permanent.find(hWnd); found != permanent.end() && found->second == this) {
            permanent.erase(found);
        }
    }
    m_hWnd = nullptr;
    return hWnd;
}

void CWnd::DetachDeadWindows() {
    auto& permanent = Maps().permanent;
    for (auto entry = permanent.begin(); entry != permanent.end();) {
        if (!::IsWindow(entry->first)) {
            entry->second->m_hWnd = nullptr;
            entry = permanent.erase(entry);
        } else {
            ++entry;
        }
    }
}

void CWnd::SetWindowText(LPCSTR lpszString) {
    ::SetWindowTextA(m_hWnd, lpszString);
}

void CWnd::GetWindowText(CString& rString) const {
    GetWindowTextInCodePage(rString);
}

BOOL CWnd::GetWindowTextInCodePage(CString& rString) const {
    // Read as the system keeps it, in UTF-16: the narrow call would map what the code page
    // lacks to look-alikes.
    const int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int read = ::GetWindowTextW(m_hWnd, text.data(), length + 1);
    return AfxWideToAnsi(text.c_str(), read, rString);
}

CWnd* CWnd::GetDlgItem(int nID) const {
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString) {
    ::SetDlgItemTextA(m_hWnd, nID, lpszString);
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    return ::EnableWindow(m_hWnd, bEnable);
}

CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const {
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

BOOL CWnd::IsIconic() const {
    return ::IsIconic(m_hWnd);
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    ::GetClientRect(m_hWnd, lpRect);
}

void CWnd::UpdateWindow() {
    ::UpdateWindow(m_hWnd);
}

void CWnd::Invalidate(BOOL bErase) {
    ::InvalidateRect(m_hWnd, nullptr, bErase);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    if (lpszCaption == nullptr) {
        lpszCaption = AfxGetApp()->m_pszAppName;
    }
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

LRESULT CWnd::Default() {
    if (m_pDispatchFrame != nullptr) {
        m_pDispatchFrame->bDefaultWanted = true;
    }
    return 0;
}

void CWnd::OnSysCommand(UINT, LPARAM) {
    Default();
}

void CWnd::OnPaint() {
    Default();
}

HCURSOR CWnd::OnQueryDragIcon() {
    Default();
    return nullptr;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) {
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        return OnCommand(wParam, lParam);
    }
    if (const AFX_MSGMAP_ENTRY* entry = FindEntry(message, 0, 0); entry != nullptr) {
        entry->pfnInvoke(this, wParam, lParam, pResult);
        return TRUE;
    }
    if (message == WM_HELP) {
        // F1: the framework's Help command, routed from the main window to the application.
        if (CWnd* mainWnd = AfxGetMainWnd(); mainWnd != nullptr && mainWnd->m_hWnd != nullptr) {
            mainWnd->SendMessage(WM_COMMAND, ID_HELP, 0);
            *pResult = TRUE;
            return TRUE;
        }
    }
    return FALSE;
}
