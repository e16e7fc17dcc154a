// CFileDialog: the system's Open and Save As dialogs.
#pragma once

#include "afxwin.h"

#include <commdlg.h>

#include <string>

class CFileDialog : public CCmdTarget {
  public:
    // lpszFilter: pairs of "description|pattern|" ending in "||".
    explicit CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr,
                         LPCSTR lpszFileName = nullptr, DWORD dwFlags = 0,
                         LPCSTR lpszFilter = nullptr, CWnd* pParentWnd = nullptr);

    // IDOK or IDCANCEL. Without a parent, the dialog is owned by the application's main window.
    // The system's dialog runs in UTF-16; a name chosen there that the ANSI code page cannot
    // hold is refused with a box of its own and gives IDCANCEL, so that no look-alike of it
    // ever reaches the application.
    virtual INT_PTR DoModal();
    CString GetPathName() const;

    OPENFILENAMEA m_ofn{};

  private:
    void RefuseName(HWND owner) const;

    BOOL m_bOpenFileDialog;
    CWnd* m_pParentWnd;
    char m_szFileName[MAX_PATH] = {};
    wchar_t m_szWideFileName[MAX_PATH] = {};
    CString m_strPathName;  // the name chosen, in the ANSI code page
    CString m_strFilter;    // the filter with its separators turned into zeros
    CString m_strDefExt;
};
