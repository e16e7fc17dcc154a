// The download worker and the values it shares with the dialog.
//
// The dialog fills g_imageBuffer and clears g_downloadDone and g_progress before it starts the
// worker; while the worker runs, only the worker writes g_progress, g_downloadResult and
// g_downloadDone. g_downloadDone publishes g_downloadResult: stored with release, loaded with
// acquire.
#pragma once

#include <windows.h>

#include <atomic>

#include "app/image_limit.h"
#include "download/download_result.h"

inline constexpr DWORD IMAGE_BUFFER_SIZE = 0x100000;

struct DownloadParams {
    HWND owner;  // receives WM_APP and owns the download's message boxes
    const BYTE* image;
    DWORD length;  // bytes
    DWORD block;   // 2 to 14
};

extern BYTE g_imageBuffer[IMAGE_BUFFER_SIZE];
extern std::atomic<LONG> g_progress;      // percent, 0 to 100
extern std::atomic<LONG> g_downloadDone;  // 0 while a download runs, 1 once its result is stored
extern DownloadResult g_downloadResult;   // the last download's result, its message included

// Thread start routine; lpParameter points to a DownloadParams. Runs one download, stores its
// result, then sets the done flag. Returns 0 whatever the result.
DWORD WINAPI DownloadThreadProc(LPVOID lpParameter);
