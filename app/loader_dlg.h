// CLoaderDlg: the loader's main dialog: the path box, Browse, the memory block list, Update,
// Exit, the progress bar and the status line.
#pragma once

#include "stdafx.h"

#include "download_worker.h"
#include "resource.h"

class CLoaderDlg : public CDialog {
  public:
    explicit CLoaderDlg(CWnd* pParent = nullptr);

    enum { IDD = IDD_LOADER_DIALOG };

  protected:
    CComboBox m_blockList;
    CProgressCtrl m_progress;
    CEdit m_filePath;
    HICON m_hIcon;
    HANDLE m_hWorkerThread;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnBrowse();
    afx_msg void OnExit();
    afx_msg void OnUpdate();

    DECLARE_MESSAGE_MAP()

  private:
    void AddAboutCommand();
    void FillBlockList();

    // The Update command's steps (update_command.cpp).
    void RefuseUpdate(LPCSTR lpszMessage, CWnd& focus);
    bool LoadImageFile(const CString& path, DWORD& length);
    bool MeasureImage(CFile& file, ULONGLONG& length);
    bool ReadImage(CFile& file, DWORD length);
    bool StartWorker(DownloadParams& params);
    bool GetSelectedBlock(DWORD& block);
    void FollowDownload();
    void FinishDownload();
};
