// How one download tells its caller what happens: progress, the hand-over to flash programming,
// the failure, and whether to abandon. The dialog answers with WM_APP and a message box; the
// console loader with progress lines and the text on stderr.
#pragma once

#include <windows.h>

#include "download/download_result.h"

enum class DownloadPhase {
    Sending,      // data packets going out; `bytes` counts the image bytes acknowledged
    Programming,  // the card programs its flash; `bytes` is the image length
};

struct DownloadProgress {
    DownloadPhase phase;
    LONG percent;  // the value just written to the caller's percent
    DWORD bytes;
    DWORD length;  // the image length
};

// Every member may be null; `context` is handed back to each call.
struct DownloadEvents {
    void* context = nullptr;
    // After every write of the percent.
    void (*progress)(void* context, const DownloadProgress& progress) = nullptr;
    // The end packet is out and the percent is back at 0: the card now programs its flash.
    void (*handOver)(void* context) = nullptr;
    // Once per failed download, while the device is still open: the result that the download
    // returns once this returns.
    void (*failed)(void* context, const DownloadResult& result) = nullptr;
    // Asked before every data chunk and every poll of the flash wait; true abandons the
    // download, which then fails with ERR_DOWNLOAD_CANCELLED.
    bool (*abandon)(void* context) = nullptr;
};
