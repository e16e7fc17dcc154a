// Dialog data exchange: binding a dialog's controls to member wrappers.
#pragma once

#include "afx_wnd.h"

class CDataExchange {
  public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
};

// Binds rControl to the dialog's control nIDC the first time it is called.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
