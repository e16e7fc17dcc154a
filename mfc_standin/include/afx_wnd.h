// CWnd: a window handle with the calls the application makes on it, and the dispatch of its
// messages through the message maps.
#pragma once

#include "afx_cmdtarget.h"
#include "afx_string.h"

class CMenu;
class CDataExchange;

class CWnd : public CCmdTarget {
  public:
    CWnd() = default;
    // Only unbinds the object; the window belongs to whoever created it (for a dialog's controls,
    // the dialog).
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object bound to the window, or a wrapper kept for the life of the process.
    static CWnd* FromHandle(HWND hWnd);
    BOOL Attach(HWND hWnd);
    HWND Detach();

    void SetWindowText(LPCSTR lpszString);
    // The text in the ANSI code page without best-fit mapping (see AfxWideToAnsi).
    void GetWindowText(CString& rString) const;
    // The same; FALSE when the text holds a character the ANSI code page lacks (read as '?').
    BOOL GetWindowTextInCodePage(CString& rString) const;
    CWnd* GetDlgItem(int nID) const;
    void SetDlgItemText(int nID, LPCSTR lpszString);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    CWnd* SetFocus();
    CMenu* GetSystemMenu(BOOL bRevert) const;
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT lpRect) const;
    void UpdateWindow();
    void Invalidate(BOOL bErase = TRUE);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = nullptr, UINT nType = MB_OK);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

  protected:
    virtual void DoDataExchange(CDataExchange* pDX);

    // Asks for the system's default processing of the message being handled; it runs once the
    // handler has returned. Returns 0.
    LRESULT Default();

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();

    // Routes one message through the maps; TRUE when a handler took it.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

    // One message being handled: whether its handler asked for default processing.
    struct DispatchFrame {
        bool bDefaultWanted = false;
    };
    DispatchFrame* m_pDispatchFrame = nullptr;

    // Unbinds every object whose window no longer exists (after a dialog has been destroyed).
    static void DetachDeadWindows();

    DECLARE_MESSAGE_MAP()
};
