#include "afxdlgs.h"

#include <cstring>

namespace {

// ANSI text, or a list of texts ending in an empty one, in UTF-16.
std::wstring Wide(LPCSTR text, bool list = false) {
    if (text == nullptr) {
        return {};
    }
    int length = static_cast<int>(std::strlen(text));
    if (list && length == 0) {
        return std::wstring(2, L'\0');
    }
    if (list) {
        while (text[length + 1] != '\0') {
            length += 1 + static_cast<int>(std::strlen(text + length + 1));
        }
        length += 2;  // both closing zeros
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), length);
    return wide;
}

}  // namespace

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName,
                         DWORD dwFlags, LPCSTR lpszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog), m_pParentWnd(pParentWnd), m_strDefExt(lpszDefExt) {
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.Flags = dwFlags | OFN_EXPLORER;
    if (lpszDefExt != nullptr) {
        m_ofn.lpstrDefExt = m_strDefExt;
    }
    if (lpszFileName != nullptr) {
        ::lstrcpynA(m_szFileName, lpszFileName, MAX_PATH);
        m_strPathName = m_szFileName;
    }
    if (lpszFilter != nullptr) {
        // "All Files (*.*)|*.*||" becomes "All Files (*.*)\0*.*\0\0".
        m_strFilter = lpszFilter;
        LPSTR filter = m_strFilter.GetBuffer(0);
        for (LPSTR c = filter; *c != '\0'; ++c) {
            if (*c == '|') {
                *c = '\0';
            }
        }
        m_ofn.lpstrFilter = filter;
    }
}

INT_PTR CFileDialog::DoModal() {
    CWnd* owner = m_pParentWnd != nullptr ? m_pParentWnd : AfxGetMainWnd();
    m_ofn.hwndOwner = owner != nullptr ? owner->m_hWnd : nullptr;
    m_ofn.hInstance = AfxGetInstanceHandle();

    // The system's dialog in UTF-16, set up from m_ofn.
    const std::wstring filter = Wide(m_ofn.lpstrFilter, true);
    const std::wstring defExt = Wide(m_ofn.lpstrDefExt);
    const std::wstring title = Wide(m_ofn.lpstrTitle);
    const std::wstring initialDir = Wide(m_ofn.lpstrInitialDir);
    ::MultiByteToWideChar(CP_ACP, 0, m_szFileName, -1, m_szWideFileName, MAX_PATH);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = m_ofn.hwndOwner;
    ofn.hInstance = m_ofn.hInstance;
    ofn.lpstrFilter = m_ofn.lpstrFilter != nullptr ? filter.c_str() : nullptr;
    ofn.nFilterIndex = m_ofn.nFilterIndex;
    ofn.lpstrFile = m_szWideFileName;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = m_ofn.lpstrInitialDir != nullptr ? initialDir.c_str() : nullptr;
    ofn.lpstrTitle = m_ofn.lpstrTitle != nullptr ? title.c_str() : nullptr;
    ofn.Flags = m_ofn.Flags;
    ofn.lpstrDefExt = m_ofn.lpstrDefExt != nullptr ? defExt.c_str() : nullptr;
    const BOOL chosen = m_bOpenFileDialog ? ::GetOpenFileNameW(&ofn) : ::GetSaveFileNameW(&ofn);
    if (!chosen) {
        return IDCANCEL;
    }
    m_ofn.nFilterIndex = ofn.nFilterIndex;

    if (!AfxWideToAnsi(m_szWideFileName, ::lstrlenW(m_szWideFileName), m_strPathName)) {
        RefuseName(m_ofn.hwndOwner);
        return IDCANCEL;
    }
    ::lstrcpynA(m_szFileName, m_strPathName, MAX_PATH);
    return IDOK;
}

CString CFileDialog::GetPathName() const {
    return m_strPathName;
}

void CFileDialog::RefuseName(HWND owner) const {
    const std::wstring text = std::wstring(
                                  L"This file name has characters outside the system's "
                                  L"code page, which this program cannot use:\n\n") +
                              m_szWideFileName +
                              L"\n\nRename the file, or move it to a folder whose name has none.";
    CWinApp* app = AfxGetApp();
    const std::wstring caption = Wide(app != nullptr ? app->m_pszAppName : nullptr);
    ::MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}
