// CDialog: a modal dialog run by the system's dialog manager (DialogBoxParam), so that the
// keyboard interface (Tab, Esc, Enter, mnemonics) and the close box behave as the system's own.
#pragma once

#include "afx_wnd.h"

class CDialog : public CWnd {
  public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Runs the dialog; returns the value given to EndDialog, or -1 when it could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();

  protected:
    virtual void OnOK();
    virtual void OnCancel();

    BOOL OnCmdMsg(UINT nID, int nCode) override;

    UINT m_nIDHelp;
    LPCSTR m_lpszTemplateName;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

  private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR Route(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    HWND SafeOwner() const;
};
