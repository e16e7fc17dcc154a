// One whole download: open the driver, initialise, request, transfer, close; failures reported.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>

inline constexpr DWORD ERR_NO_READY_REPLY = 0x05419368;
inline constexpr DWORD ERR_TRANSFER_FAILED = 0x87025353;
inline constexpr DWORD ERR_OPEN_FAILED = 0xFFFFFFFF;

inline constexpr std::size_t ERROR_TEXT_SIZE = 2048;
extern char g_errorText[ERROR_TEXT_SIZE];

// Runs one download of `image` into `block`. 0 on success; on failure shows a message box owned
// by `owner` (caption "Update", error icon) and returns the failure's code once it is dismissed.
DWORD DownloadImage(HWND owner, const BYTE* image, DWORD length, DWORD block,
                    std::atomic<LONG>* percent);
