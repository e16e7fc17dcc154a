// One whole download: open the driver, initialise, request, transfer, close; failures reported.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>

#include "download/download_events.h"
#include "download/socket_lock.h"

inline constexpr DWORD ERR_NO_READY_REPLY = 0x05419368;
inline constexpr DWORD ERR_TRANSFER_FAILED = 0x87025353;
inline constexpr DWORD ERR_OPEN_FAILED = 0xFFFFFFFF;
// The caller abandoned the download (ERROR_CANCELLED): the block is not known to be written.
inline constexpr DWORD ERR_DOWNLOAD_CANCELLED = 1223;

inline constexpr std::size_t ERROR_TEXT_SIZE = 2048;
extern char g_errorText[ERROR_TEXT_SIZE];

// Runs one download of `image` into `block` on the card in socket `unit` (device \\.\duvoN),
// holding the socket's lock from before the open to after the close. 0 on success; on failure
// formats the text into g_errorText, hands it to `events.failed` while the device is still open,
// then closes the device and returns the failure's code. A socket in use gives ERR_SOCKET_IN_USE
// without the device ever being opened.
DWORD RunDownload(DWORD unit, const BYTE* image, DWORD length, DWORD block,
                  std::atomic<LONG>* percent, const DownloadEvents& events);

// Opens the card in socket `unit`, reads its information and initialises it, then closes it,
// under the socket's lock. 0 with `*registerBase` set when the card answers; failures as for
// RunDownload.
DWORD ProbeCard(DWORD unit, DWORD* registerBase, const DownloadEvents& events);

// The dialog's download, on the card in socket 0. 0 on success; on failure shows a message box
// owned by `owner` (caption "Update", error icon) and returns the failure's code once it is
// dismissed. Posts WM_APP to `owner` when the card starts programming its flash.
DWORD DownloadImage(HWND owner, const BYTE* image, DWORD length, DWORD block,
                    std::atomic<LONG>* percent);
