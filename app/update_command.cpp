// The Update command: check and read the file, run the download on a worker thread, follow it.
#include "loader_dlg.h"

#include "block_range.h"
#include "download_worker.h"

namespace {
const char kCaption[] = "Update";
}  // namespace

void CLoaderDlg::OnUpdate() {
    CString path;
    const BOOL representable = m_filePath.GetWindowTextInCodePage(path);
    if (path.IsEmpty()) {
        RefuseUpdate("Please select file!", m_filePath);
        return;
    }
    // A character the ANSI code page lacks reads as '?': that path is never opened, neither as
    // it reads nor as a look-alike that could name another file.
    if (!representable) {
        RefuseUpdate(
            "File name <" + path + "> has characters outside the system's code page (shown as ?) !",
            m_filePath);
        return;
    }
    DWORD length = 0;
    if (!LoadImageFile(path, length)) {
        return;
    }
    DWORD block = 0;
    if (!GetSelectedBlock(block)) {
        RefuseUpdate("Please select memory block!", m_blockList);
        return;
    }
    // Read by the worker when it starts; valid until this command returns, after the worker.
    DownloadParams params = {m_hWnd, g_imageBuffer, length, block};
    if (!StartWorker(params)) {
        return;
    }

    SetDlgItemText(IDC_STATUS, "Downloading..");
    BeginWaitCursor();
    GetDlgItem(IDC_UPDATE)->EnableWindow(FALSE);
    m_progress.SetPos(0);

    FollowDownload();
    FinishDownload();
}

bool CLoaderDlg::LoadImageFile(const CString& path, DWORD& length) {
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::typeBinary)) {
        RefuseUpdate("Failed to open <" + path + "> !", m_filePath);
        return false;
    }
    // A device or volume opens like a file but has no length: refused like a failed read.
    ULONGLONG fileLength = 0;
    if (!MeasureImage(file, fileLength)) {
        RefuseUpdate("Failed to read <" + path + "> !", m_filePath);
        file.Close();
        return false;
    }
    if (fileLength >= IMAGE_LENGTH_LIMIT) {
        RefuseUpdate("selected file <" + path + "> size over!", m_filePath);
        file.Close();
        return false;
    }
    length = static_cast<DWORD>(fileLength);
    if (!ReadImage(file, length)) {
        RefuseUpdate("Failed to read <" + path + "> !", m_filePath);
        file.Close();
        return false;
    }
    file.Close();
    return true;
}

bool CLoaderDlg::StartWorker(DownloadParams& params) {
    g_downloadDone.store(0, std::memory_order_relaxed);
    g_progress.store(0, std::memory_order_relaxed);

    DWORD threadId = 0;
    m_hWorkerThread = ::CreateThread(nullptr, 0, DownloadThreadProc, &params, 0, &threadId);
    if (m_hWorkerThread == nullptr) {
        MessageBox("Internal Error 0001", kCaption, MB_OK);
        return false;
    }
    return true;
}

void CLoaderDlg::RefuseUpdate(LPCSTR lpszMessage, CWnd& focus) {
    MessageBox(lpszMessage, kCaption, MB_OK);
    focus.SetFocus();
}

bool CLoaderDlg::MeasureImage(CFile& file, ULONGLONG& length) {
    try {
        length = file.GetLength();
        return true;
    } catch (CFileException* e) {
        e->Delete();
        return false;
    }
}

bool CLoaderDlg::ReadImage(CFile& file, DWORD length) {
    try {
        return file.Read(g_imageBuffer, length) == length;
    } catch (CFileException* e) {
        e->Delete();
        return false;
    }
}

bool CLoaderDlg::GetSelectedBlock(DWORD& block) {
    int index = m_blockList.GetCurSel();
    if (index == CB_ERR) {
        // Text typed into the list's edit field counts only when it names one of the entries.
        CString typed;
        m_blockList.GetWindowText(typed);
        index = m_blockList.FindStringExact(-1, typed);
        if (index == CB_ERR) {
            return false;
        }
    }
    block = static_cast<DWORD>(index + FIRST_BLOCK);
    return true;
}

// Keeps the dialog responsive and the bar current until the worker has stored its result. It
// never blocks while no message is waiting, so every change of the progress reaches the bar at
// once.
void CLoaderDlg::FollowDownload() {
    LONG shownProgress = -1;
    while (g_downloadDone.load(std::memory_order_acquire) == 0) {
        MSG msg;
        if (::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            ::GetMessageA(&msg, nullptr, 0, 0);
            if (msg.message == WM_APP) {
                ::OutputDebugStringA("...");
            }
            if (msg.message == WM_APP && msg.hwnd == m_hWnd) {
                // The image is out and the card programs its flash: show that phase afresh.
                SetDlgItemText(IDC_STATUS, "Update flash..");
                Invalidate(TRUE);
                shownProgress = -1;
            } else {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        const LONG progress = g_progress.load(std::memory_order_relaxed);
        if (progress != shownProgress) {
            shownProgress = progress;
            m_progress.SetPos(progress);
            UpdateWindow();
        }
    }
}

void CLoaderDlg::FinishDownload() {
    AfxGetApp()->RestoreWaitCursor();

    // The worker has stored its result and is returning: let it end, then release its handle.
    ::WaitForSingleObject(m_hWorkerThread, INFINITE);
    ::CloseHandle(m_hWorkerThread);
    m_hWorkerThread = nullptr;

    if (g_downloadResult.kind == ResultKind::Written) {
        MessageBox("Data updated successfully!!!", kCaption, MB_OK);
    }
    m_progress.SetPos(0);
    SetDlgItemText(IDC_STATUS, "download status");
    GetDlgItem(IDC_UPDATE)->EnableWindow(TRUE);
    EndWaitCursor();
}
