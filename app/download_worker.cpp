#include "download_worker.h"

#include "download/sequence.h"

BYTE g_imageBuffer[IMAGE_BUFFER_SIZE];
std::atomic<LONG> g_progress{0};
std::atomic<LONG> g_downloadDone{0};
DownloadResult g_downloadResult;

DWORD WINAPI DownloadThreadProc(LPVOID lpParameter) {
    const auto* params = static_cast<const DownloadParams*>(lpParameter);
    g_downloadResult =
        RunDialogDownload(params->owner, params->image, params->length, params->block, &g_progress);
    g_downloadDone.store(1, std::memory_order_release);
    return 0;
}
