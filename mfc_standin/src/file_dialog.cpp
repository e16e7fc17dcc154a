#include "afxdlgs.h"

#include <cstring>

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
    const BOOL chosen = m_bOpenFileDialog ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
    return chosen ? IDOK : IDCANCEL;
}

CString CFileDialog::GetPathName() const {
    return CString(m_szFileName);
}
