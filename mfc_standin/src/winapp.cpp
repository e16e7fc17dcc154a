#include "afxwin.h"

#include <cstring>

namespace {
CWinApp* g_pTheApp = nullptr;

CString ModuleBaseName(HINSTANCE hInstance) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(hInstance, path, MAX_PATH);
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c) {
        if (*c == '\\' || *c == '/' || *c == ':') {
            name = c + 1;
        }
    }
    CString base(name);
    LPSTR text = base.GetBuffer(0);
    if (char* dot = ::strrchr(text, '.'); dot != nullptr) {
        *dot = '\0';
    }
    base.ReleaseBuffer();
    return base;
}

CString ModulePathWithExtension(HINSTANCE hInstance, LPCSTR extension) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(hInstance, path, MAX_PATH);
    CString full(path);
    LPSTR text = full.GetBuffer(0);
    if (char* dot = ::strrchr(text, '.'); dot != nullptr && ::strchr(dot, '\\') == nullptr) {
        *dot = '\0';
    }
    full.ReleaseBuffer();
    return full + extension;
}
}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName) : m_strAppName(lpszAppName) {
    g_pTheApp = this;
    if (lpszAppName != nullptr) {
        m_pszAppName = m_strAppName;
    }
}

CWinApp::~CWinApp() {
    if (g_pTheApp == this) {
        g_pTheApp = nullptr;
    }
}

void CWinApp::SetNamesFromModule(HINSTANCE hInstance) {
    m_hInstance = hInstance;
    m_strExeName = ModuleBaseName(hInstance);
    m_pszExeName = m_strExeName;
    if (m_pszAppName == nullptr) {
        m_strAppName = m_strExeName;
        m_pszAppName = m_strAppName;
    }
    m_strProfileName = m_strExeName + ".INI";
    m_pszProfileName = m_strProfileName;
    m_strHelpFilePath = ModulePathWithExtension(hInstance, ".HLP");
    m_pszHelpFilePath = m_strHelpFilePath;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance() {
    return 0;
}

CString CWinApp::GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault) {
    // GetPrivateProfileStringA reports a truncated value as filling the buffer less its zero.
    for (DWORD size = 256;; size *= 2) {
        CString value;
        const DWORD length = ::GetPrivateProfileStringA(
            lpszSection, lpszEntry, lpszDefault != nullptr ? lpszDefault : "",
            value.GetBuffer(static_cast<int>(size)), size, m_pszProfileName);
        value.ReleaseBuffer(static_cast<int>(length));
        if (length < size - 1) {
            return value;
        }
    }
}

BOOL CWinApp::WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue) {
    return ::WritePrivateProfileStringA(lpszSection, lpszEntry, lpszValue, m_pszProfileName);
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

BOOL CWinApp::Enable3dControls() {
    return FALSE;
}

void CWinApp::DoWaitCursor(int nCode) {
    m_nWaitCursorCount += nCode;
    if (m_nWaitCursorCount > 0) {
        HCURSOR previous =
            ::SetCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
        if (nCode > 0 && m_nWaitCursorCount == 1) {
            m_hcurWaitCursorRestore = previous;
        }
        return;
    }
    m_nWaitCursorCount = 0;
    ::SetCursor(m_hcurWaitCursorRestore);
}

void CWinApp::OnHelp() {
    CWnd* mainWnd = AfxGetMainWnd();
    ::WinHelpA(mainWnd != nullptr ? mainWnd->m_hWnd : nullptr, m_pszHelpFilePath, HELP_FINDER, 0);
}

CWinApp* AfxGetApp() {
    return g_pTheApp;
}

CWnd* AfxGetMainWnd() {
    return g_pTheApp != nullptr ? g_pTheApp->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle() {
    return g_pTheApp != nullptr && g_pTheApp->m_hInstance != nullptr ? g_pTheApp->m_hInstance
                                                                     : ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle() {
    return AfxGetInstanceHandle();
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        return -1;
    }
    app->SetNamesFromModule(hInstance);
    if (!app->InitInstance()) {
        return app->ExitInstance();
    }
    return app->Run();
}
