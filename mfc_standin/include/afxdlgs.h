// CFileDialog: the system's Open and Save As dialogs.
#pragma once

#include "afxwin.h"

#include <commdlg.h>

class CFileDialog : public CCmdTarget {
  public:
    // lpszFilter: pairs of "description|pattern|" ending in "||".
    explicit CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr,
                         LPCSTR lpszFileName = nullptr, DWORD dwFlags = 0,
                         LPCSTR lpszFilter = nullptr, CWnd* pParentWnd = nullptr);

    // IDOK or IDCANCEL. Without a parent, the dialog is owned by the application's main window.
    virtual INT_PTR DoModal();
    CString GetPathName() const;

    OPENFILENAMEA m_ofn{};

  private:
    BOOL m_bOpenFileDialog;
    CWnd* m_pParentWnd;
    char m_szFileName[MAX_PATH] = {};
    CString m_strFilter;  // the filter with its separators turned into zeros
    CString m_strDefExt;
};
