// CWinApp: the one application object, its profile strings and wait cursor; the global accessors.
#pragma once

#include "afx_cmdtarget.h"
#include "afx_string.h"

class CWnd;

class CWinApp : public CCmdTarget {
  public:
    // With no name, the application is named after its executable.
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    // The message loop of an application that keeps running after InitInstance.
    virtual int Run();
    virtual int ExitInstance();

    // The profile is the private INI file named after the executable, as a bare file name, so
    // that it lives in the Windows directory.
    CString GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault = nullptr);
    BOOL WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue);

    HICON LoadIcon(UINT nIDResource) const;
    // Returns FALSE: the system draws its controls three-dimensional itself.
    BOOL Enable3dControls();

    // nCode 1 begins, -1 ends, 0 shows the wait cursor again while one is begun.
    virtual void DoWaitCursor(int nCode);

    afx_msg void OnHelp();

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPCSTR m_pszAppName = nullptr;
    LPCSTR m_pszExeName = nullptr;
    LPCSTR m_pszProfileName = nullptr;
    LPCSTR m_pszHelpFilePath = nullptr;

    // Called once by the entry point before InitInstance.
    void SetNamesFromModule(HINSTANCE hInstance);

    DECLARE_MESSAGE_MAP()

  private:
    CString m_strAppName;
    CString m_strExeName;
    CString m_strProfileName;
    CString m_strHelpFilePath;
    int m_nWaitCursorCount = 0;
    HCURSOR m_hcurWaitCursorRestore = nullptr;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
