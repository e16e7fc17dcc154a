// Wrappers of the standard controls the dialogs bind with DDX_Control.
#pragma once

#include "afx_wnd.h"

class CEdit : public CWnd {};

class CComboBox : public CWnd {
  public:
    int AddString(LPCSTR lpszString);
    int SetCurSel(int nSelect);
    int GetCurSel() const;
    // The first entry from after nIndexStart (-1: the whole list) whose text equals
    // lpszFind, ignoring case; CB_ERR when there is none.
    int FindStringExact(int nIndexStart, LPCSTR lpszFind) const;
};
