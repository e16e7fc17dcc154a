#include "loader_app.h"

#include "loader_dlg.h"

BEGIN_MESSAGE_MAP(CLoaderApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CLoaderApp theApp;

BOOL CLoaderApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControls();

    CLoaderDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();

    // The dialog has closed: end the application rather than run a message loop.
    return FALSE;
}
