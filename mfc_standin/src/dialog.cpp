#include "afxwin.h"

#include <commctrl.h>

namespace {

// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_INITDIALOG:
            return true;
        default:
            return false;
    }
}

// Shown from the window procedure when a handler threw. A failed paint is validated first, or
// the system would ask for it again at once, and again after every box.
void ReportHandlerFailure(HWND hWnd, UINT message) {
    if (message == WM_PAINT) {
        ::ValidateRect(hWnd, nullptr);
    }
    CWinApp* app = AfxGetApp();
    ::MessageBoxA(hWnd, "Internal application error.", app != nullptr ? app->m_pszAppName : nullptr,
                  MB_OK | MB_ICONERROR);
}

}  // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate),
      m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)),
      m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
    // The common control classes the layer wraps must be registered before a template uses them.
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&classes);

    const INT_PTR result =
        ::DialogBoxParamA(AfxGetResourceHandle(), m_lpszTemplateName, SafeOwner(), DialogProc,
                          reinterpret_cast<LPARAM>(this));
    Detach();
    DetachDeadWindows();
    return result;
}

void CDialog::EndDialog(int nResult) {
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) {
        return;
    }
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode) {
    // Commands the dialog does not handle go on to the application.
    if (CWnd::OnCmdMsg(nID, nCode)) {
        return TRUE;
    }
    CWinApp* app = AfxGetApp();
    return app != nullptr && app->OnCmdMsg(nID, nCode);
}

HWND CDialog::SafeOwner() const {
    if (m_pParentWnd != nullptr) {
        return m_pParentWnd->m_hWnd;
    }
    CWnd* mainWnd = AfxGetMainWnd();
    return mainWnd != nullptr && mainWnd != this ? mainWnd->m_hWnd : nullptr;
}

// An exception must never leave a window procedure: it cannot unwind through the system's frames
// and would end the process. Whatever a handler throws is reported and the program goes on.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return Route(hWnd, message, wParam, lParam);
    } catch (CException* e) {
        e->Delete();
    } catch (...) {
    }
    ReportHandlerFailure(hWnd, message);
    return FALSE;
}

INT_PTR CDialog::Route(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        dialog->Attach(hWnd);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        return dialog->OnInitDialog();
    }
    // Nothing is dispatched before WM_INITDIALOG (WM_SETFONT, the non-client messages).
    auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    return dialog != nullptr ? dialog->Dispatch(message, wParam, lParam) : FALSE;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    DispatchFrame frame;
    // Restored also when the handler throws, so that no later Default() sees this dead frame.
    struct FrameScope {
        DispatchFrame*& current;
        DispatchFrame* outer;
        ~FrameScope() { current = outer; }
    } scope{m_pDispatchFrame, m_pDispatchFrame};
    m_pDispatchFrame = &frame;
    LRESULT result = 0;
    const BOOL handled = OnWndMsg(message, wParam, lParam, &result);

    // FALSE hands the message to the dialog manager's own default processing.
    if (!handled || frame.bDefaultWanted) {
        return FALSE;
    }
    if (ReturnsResultDirectly(message)) {
        return static_cast<INT_PTR>(result);
    }
    ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
