#include "download/sequence.h"

#include <cstdio>

#include "cardlink/driver_requests.h"
#include "download/packets.h"
#include "download/transfer.h"

char g_errorText[ERROR_TEXT_SIZE];

namespace {

constexpr char kCaption[] = "Update";
constexpr std::size_t kDevicePathSize = 64;

// The failure texts name the card as its device does: socket 0 reads "Duvo0".
constexpr char kOpenFailedText[] = "Duvo%u open failed [%08X]\n";
constexpr char kRequestFailedText[] = "Duvo%u failed [%08X]\n";
constexpr char kInitFailedText[] = "Duvo%u failed to intialize [%08X]\n";
constexpr char kNotRespondText[] = "Duvo%u not respond [%08X]\n";
constexpr char kCancelledText[] = "Duvo%u download cancelled [%08X]\n";
constexpr char kInUseText[] = "Duvo%u is in use by another program [%08X]\n";
constexpr char kLockFailedText[] = "Duvo%u cannot be locked [%08X]\n";

// Hands the failure to the caller while the device is still open (the dialog's box keeps it open
// until the user has dismissed it); only then is the device closed and the code returned.
DWORD ReportFailure(const DownloadEvents& events, DWORD unit, HANDLE device, const char* format,
                    DWORD shownCode, DWORD result) {
    std::snprintf(g_errorText, sizeof g_errorText, format, static_cast<unsigned>(unit),
                  static_cast<unsigned>(shownCode));
    if (events.failed != nullptr) {
        events.failed(events.context, g_errorText, result);
    }
    if (device != INVALID_HANDLE_VALUE) {
        CloseHandle(device);
    }
    return result;
}

HANDLE OpenCardDevice(DWORD unit) {
    char path[kDevicePathSize];
    wsprintfA(path, DEVICE_PATH_FORMAT, DEVICE_NAME, static_cast<int>(unit));
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

bool ReadCardInfo(HANDLE device, BYTE (&cardInfo)[CARD_INFO_SIZE]) {
    DWORD returned = 0;
    return DeviceIoControl(device, IOCTL_CARD_GET_INFO, nullptr, 0, cardInfo, CARD_INFO_SIZE,
                           &returned, nullptr) != FALSE;
}

// Opens the card, reads its information and initialises it. 0 with the device open and
// `registerBase` set; otherwise the failure has been reported and the device is closed.
DWORD OpenAndInitialize(DWORD unit, const DownloadEvents& events, HANDLE& device,
                        DWORD& registerBase) {
    device = OpenCardDevice(unit);
    if (device == INVALID_HANDLE_VALUE) {
        return ReportFailure(events, unit, device, kOpenFailedText, GetLastError(),
                             ERR_OPEN_FAILED);
    }
    BYTE cardInfo[CARD_INFO_SIZE] = {};
    if (!ReadCardInfo(device, cardInfo)) {
        const DWORD error = LastRequestError();
        return ReportFailure(events, unit, device, kRequestFailedText, error, error);
    }
    if (const DWORD error = InitializeHardware(device); error != 0) {
        return ReportFailure(events, unit, device, kInitFailedText, error, error);
    }
    registerBase = CardInfoRegisterBase(cardInfo);
    return 0;
}

// Takes the socket's lock before anything touches the card. 0 with `lock` held; otherwise the
// failure has been reported.
DWORD LockSocket(DWORD unit, const DownloadEvents& events, HANDLE& lock) {
    const DWORD error = AcquireSocketLock(unit, &lock);
    if (error != 0) {
        return ReportFailure(events, unit, INVALID_HANDLE_VALUE,
                             error == ERR_SOCKET_IN_USE ? kInUseText : kLockFailedText, error,
                             error);
    }
    return 0;
}

DWORD DownloadOnLockedSocket(DWORD unit, const BYTE* image, DWORD length, DWORD block,
                             std::atomic<LONG>* percent, const DownloadEvents& events) {
    HANDLE device = INVALID_HANDLE_VALUE;
    DWORD registerBase = 0;
    if (const DWORD error = OpenAndInitialize(unit, events, device, registerBase); error != 0) {
        return error;
    }
    if (!RequestDownload(device, registerBase, block)) {
        return ReportFailure(events, unit, device, kNotRespondText, ERR_NO_READY_REPLY,
                             ERR_NO_READY_REPLY);
    }
    switch (TransferImageWith(device, registerBase, image, length, percent, events)) {
        case TransferOutcome::FlashDone:
            break;
        case TransferOutcome::Failed:
            return ReportFailure(events, unit, device, kNotRespondText, ERR_TRANSFER_FAILED,
                                 ERR_TRANSFER_FAILED);
        case TransferOutcome::Abandoned:
            return ReportFailure(events, unit, device, kCancelledText, ERR_DOWNLOAD_CANCELLED,
                                 ERR_DOWNLOAD_CANCELLED);
    }
    CloseHandle(device);
    return 0;
}

DWORD ProbeLockedSocket(DWORD unit, DWORD* registerBase, const DownloadEvents& events) {
    HANDLE device = INVALID_HANDLE_VALUE;
    DWORD base = 0;
    if (const DWORD error = OpenAndInitialize(unit, events, device, base); error != 0) {
        return error;
    }
    CloseHandle(device);
    *registerBase = base;
    return 0;
}

void ShowFailureBox(void* owner, const char* text, DWORD /*result*/) {
    MessageBoxA(static_cast<HWND>(owner), text, kCaption, MB_ICONERROR | MB_OK);
}

}  // namespace

DWORD RunDownload(DWORD unit, const BYTE* image, DWORD length, DWORD block,
                  std::atomic<LONG>* percent, const DownloadEvents& events) {
    HANDLE lock = nullptr;
    if (const DWORD error = LockSocket(unit, events, lock); error != 0) {
        return error;
    }
    const DWORD result = DownloadOnLockedSocket(unit, image, length, block, percent, events);
    ReleaseSocketLock(lock);
    return result;
}

DWORD ProbeCard(DWORD unit, DWORD* registerBase, const DownloadEvents& events) {
    HANDLE lock = nullptr;
    if (const DWORD error = LockSocket(unit, events, lock); error != 0) {
        return error;
    }
    const DWORD result = ProbeLockedSocket(unit, registerBase, events);
    ReleaseSocketLock(lock);
    return result;
}

DWORD DownloadImage(HWND owner, const BYTE* image, DWORD length, DWORD block,
                    std::atomic<LONG>* percent) {
    DownloadEvents events;
    events.context = owner;
    events.handOver = PostWmAppToOwner;
    events.failed = ShowFailureBox;
    return RunDownload(DEVICE_UNIT, image, length, block, percent, events);
}
