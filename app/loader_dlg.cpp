#include "loader_dlg.h"

#include "about_dlg.h"
#include "block_range.h"

namespace {
// The remembered path: section and entry of the application profile.
const char kPathSection[] = "LastFileName";
const char kPathEntry[] = "DuvoPcmciaLoader";
}  // namespace

CLoaderDlg::CLoaderDlg(CWnd* pParent)
    : CDialog(CLoaderDlg::IDD, pParent),
      m_hIcon(AfxGetApp()->LoadIcon(IDR_MAIN_ICON)),
      m_hWorkerThread(nullptr) {}

void CLoaderDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MEM_BLOCK, m_blockList);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_FILE_PATH, m_filePath);
}

BEGIN_MESSAGE_MAP(CLoaderDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_BROWSE, OnBrowse)
ON_BN_CLICKED(IDC_EXIT, OnExit)
ON_BN_CLICKED(IDC_UPDATE, OnUpdate)
END_MESSAGE_MAP()

BOOL CLoaderDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    AddAboutCommand();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    FillBlockList();
    m_blockList.SetCurSel(0);
    m_progress.SetRange(0, 100);
    m_filePath.SetWindowText(AfxGetApp()->GetProfileString(kPathSection, kPathEntry, ""));

    // The dialog manager puts the focus on the first tab stop: Exit.
    return TRUE;
}

void CLoaderDlg::AddAboutCommand() {
    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu == nullptr) {
        return;
    }
    CString strAboutMenu;
    strAboutMenu.LoadString(IDS_ABOUT_BOX);
    if (!strAboutMenu.IsEmpty()) {
        pSysMenu->AppendMenu(MF_SEPARATOR);
        pSysMenu->AppendMenu(MF_STRING, IDM_ABOUT_BOX, strAboutMenu);
    }
}

void CLoaderDlg::FillBlockList() {
    // Unsorted, so entry i stands for block i + 2; the Update command relies on it.
    for (int block = FIRST_BLOCK; block <= LAST_BLOCK; ++block) {
        CString text;
        text.Format("Block %d", block);
        m_blockList.AddString(text);
    }
}

void CLoaderDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUT_BOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CLoaderDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CLoaderDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CLoaderDlg::OnBrowse() {
    CFileDialog dlg(TRUE, nullptr, nullptr, 0, "All Files (*.*)|*.*||", nullptr);
    if (dlg.DoModal() == IDOK) {
        UpdateWindow();
        m_filePath.SetWindowText(dlg.GetPathName());
    }
}

void CLoaderDlg::OnExit() {
    CString path;
    m_filePath.GetWindowText(path);
    AfxGetApp()->WriteProfileString(kPathSection, kPathEntry, path);
    CDialog::OnCancel();
}

void CLoaderDlg::OnCancel() {
    // Esc, the close box, Alt+F4 and Close in the system menu all end here: only Exit closes.
}
