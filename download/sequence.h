// One whole download: open the driver, initialise, request, transfer, close; failures reported.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>

#include "download/download_events.h"
#include "download/download_result.h"

// Runs one download of `image` into `block` on the card in socket `socket` (device
// \\.\duvoN), holding the socket's lock from before the open to after the close. On failure
// hands the result to `events.failed` while the device is still open, then closes the device and
// returns it. A socket in use is refused without the device ever being opened.
DownloadResult RunDownload(DWORD socket, const BYTE* image, DWORD length, DWORD block,
                           std::atomic<LONG>* percent, const DownloadEvents& events);

// Opens the card in socket `socket`, reads its information and initialises it, then closes it,
// under the socket's lock. Written, with `*registerBase` set, when the card answers; failures as
// for RunDownload.
DownloadResult ProbeCard(DWORD socket, DWORD* registerBase, const DownloadEvents& events);

// The dialog's download, on the card in socket 0. On failure shows a message box owned by
// `owner` (caption "Update", error icon) with the result's message, and returns once it is
// dismissed. Posts WM_APP to `owner` when the card starts programming its flash.
DownloadResult RunDialogDownload(HWND owner, const BYTE* image, DWORD length, DWORD block,
                                 std::atomic<LONG>* percent);

// RunDialogDownload's code: 0 on success, else the code shown for the failure.
DWORD DownloadImage(HWND owner, const BYTE* image, DWORD length, DWORD block,
                    std::atomic<LONG>* percent);
