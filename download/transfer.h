// Sends an image in acknowledged 128-byte chunks, then waits for the card to program its flash.
#pragma once

#include <windows.h>

#include <atomic>

#include "download/download_events.h"
#include "download/packets.h"

inline constexpr int DATA_ATTEMPTS = 4;
inline constexpr int FLASH_WAIT_CALLS_PER_64K = 20;
inline constexpr int FLASH_WAIT_EXTENDED_EXTRA = 200;

enum class TransferOutcome {
    FlashDone,  // every chunk acknowledged, then the card reported its flash programmed
    Failed,     // a chunk went unacknowledged, or flash done never came
    Abandoned,  // the caller's abandon event said so
};

// Builds the 136-byte PKT_DATA for the chunk at `offset` into the start of `packet`.
void BuildDataPacket(BYTE* packet, const BYTE* image, DWORD length, DWORD offset);

// Receive calls allowed in each of the two passes of the flash completion wait.
int FlashWaitBudget(DWORD length, DWORD extendedFlashWait);

// Sends the image and waits for flash done, writing progress into `percent` and reporting it,
// the hand-over and the abandon question through `events`.
TransferOutcome TransferImageWith(HANDLE device, DWORD registerBase, const BYTE* image,
                                  DWORD length, std::atomic<LONG>* percent,
                                  const DownloadEvents& events);

// The dialog's hand-over event: posts WM_APP (both parameters 0) to the window in `owner`.
void PostWmAppToOwner(void* owner);

// True once the card has reported its flash programmed. Writes progress into `percent` and
// posts WM_APP to `owner` when the image is out and programming begins.
bool TransferImage(HWND owner, HANDLE device, DWORD registerBase, const BYTE* image, DWORD length,
                   std::atomic<LONG>* percent);
