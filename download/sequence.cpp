#include "download/sequence.h"

#include <cstdio>

#include "cardlink/driver_requests.h"
#include "download/packets.h"
#include "download/socket_lock.h"
#include "download/transfer.h"

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

// What a failure is made of: its kind, the code it returns and the one its text gives (they
// differ only for a device that cannot be opened, whose text gives the system's reason).
struct Failure {
    ResultKind kind;
    DWORD code;
    const char* format;
    DWORD codeInText;
};

Failure Of(ResultKind kind, DWORD code, const char* format) {
    return Failure{kind, code, format, code};
}

// Hands the failure to the caller while the device is still open (the dialog's box keeps it open
// until the user has dismissed it); only then is the device closed and the result returned.
DownloadResult ReportFailure(const DownloadEvents& events, DWORD socket, HANDLE device,
                             const Failure& failure) {
    DownloadResult result;
    result.kind = failure.kind;
    result.code = failure.code;
    std::snprintf(result.message, sizeof result.message, failure.format,
                  static_cast<unsigned>(socket), static_cast<unsigned>(failure.codeInText));
    if (events.failed != nullptr) {
        events.failed(events.context, result);
    }
    if (device != INVALID_HANDLE_VALUE) {
        CloseHandle(device);
    }
    return result;
}

HANDLE OpenCardDevice(DWORD socket) {
    char path[kDevicePathSize];
    wsprintfA(path, DEVICE_PATH_FORMAT, DEVICE_NAME, static_cast<int>(socket));
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

bool ReadCardInfo(HANDLE device, BYTE (&cardInfo)[CARD_INFO_SIZE]) {
    DWORD returned = 0;
    return DeviceIoControl(device, IOCTL_CARD_GET_INFO, nullptr, 0, cardInfo, CARD_INFO_SIZE,
                           &returned, nullptr) != FALSE;
}

// Opens the card, reads its information and initialises it. Written with the device open and
// `registerBase` set; otherwise the failure has been reported and the device is closed.
DownloadResult OpenAndInitialize(DWORD socket, const DownloadEvents& events, HANDLE& device,
                                 DWORD& registerBase) {
    device = OpenCardDevice(socket);
    if (device == INVALID_HANDLE_VALUE) {
        const Failure failure{ResultKind::NoDevice, ERR_OPEN_FAILED, kOpenFailedText,
                              GetLastError()};
        return ReportFailure(events, socket, device, failure);
    }
    BYTE cardInfo[CARD_INFO_SIZE] = {};
    if (!ReadCardInfo(device, cardInfo)) {
        return ReportFailure(events, socket, device,
                             Of(ResultKind::SystemError, LastRequestError(), kRequestFailedText));
    }
    if (const DWORD error = InitializeHardware(device); error != 0) {
        return ReportFailure(events, socket, device,
                             Of(ResultKind::SystemError, error, kInitFailedText));
    }
    registerBase = CardInfoRegisterBase(cardInfo);
    return {};
}

// Takes the socket's lock before anything touches the card. Written with `lock` held; otherwise
// the failure has been reported.
DownloadResult LockSocket(DWORD socket, const DownloadEvents& events, HANDLE& lock) {
    const SocketLockResult taken = AcquireSocketLock(socket, &lock);
    switch (taken.status) {
        case SocketLockStatus::Held:
            return {};
        case SocketLockStatus::InUse:
            return ReportFailure(events, socket, INVALID_HANDLE_VALUE,
                                 Of(ResultKind::SocketInUse, ERR_SOCKET_IN_USE, kInUseText));
        case SocketLockStatus::Failed:
            break;
    }
    return ReportFailure(events, socket, INVALID_HANDLE_VALUE,
                         Of(ResultKind::SystemError, taken.error, kLockFailedText));
}

DownloadResult DownloadOnLockedSocket(DWORD socket, const BYTE* image, DWORD length, DWORD block,
                                      std::atomic<LONG>* percent, const DownloadEvents& events) {
    HANDLE device = INVALID_HANDLE_VALUE;
    DWORD registerBase = 0;
    if (DownloadResult opened = OpenAndInitialize(socket, events, device, registerBase);
        opened.kind != ResultKind::Written) {
        return opened;
    }
    if (!RequestDownload(device, registerBase, block)) {
        return ReportFailure(events, socket, device,
                             Of(ResultKind::CardFailed, ERR_NO_READY_REPLY, kNotRespondText));
    }
    switch (TransferImageWith(device, registerBase, image, length, percent, events)) {
        case TransferOutcome::FlashDone:
            break;
        case TransferOutcome::Failed:
            return ReportFailure(events, socket, device,
                                 Of(ResultKind::CardFailed, ERR_TRANSFER_FAILED, kNotRespondText));
        case TransferOutcome::Abandoned:
            return ReportFailure(events, socket, device,
                                 Of(ResultKind::Abandoned, ERR_DOWNLOAD_CANCELLED, kCancelledText));
    }
    CloseHandle(device);
    return {};
}

DownloadResult ProbeLockedSocket(DWORD socket, DWORD* registerBase, const DownloadEvents& events) {
    HANDLE device = INVALID_HANDLE_VALUE;
    DWORD base = 0;
    if (DownloadResult opened = OpenAndInitialize(socket, events, device, base);
        opened.kind != ResultKind::Written) {
        return opened;
    }
    CloseHandle(device);
    *registerBase = base;
    return {};
}

void ShowFailureBox(void* owner, const DownloadResult& result) {
    MessageBoxA(static_cast<HWND>(owner), result.message, kCaption, MB_ICONERROR | MB_OK);
}

}  // namespace

DownloadResult RunDownload(DWORD socket, const BYTE* image, DWORD length, DWORD block,
                           std::atomic<LONG>* percent, const DownloadEvents& events) {
    HANDLE lock = nullptr;
    if (DownloadResult locked = LockSocket(socket, events, lock);
        locked.kind != ResultKind::Written) {
        return locked;
    }
    const DownloadResult result =
        DownloadOnLockedSocket(socket, image, length, block, percent, events);
    ReleaseSocketLock(lock);
    return result;
}

DownloadResult ProbeCard(DWORD socket, DWORD* registerBase, const DownloadEvents& events) {
    HANDLE lock = nullptr;
    if (DownloadResult locked = LockSocket(socket, events, lock);
        locked.kind != ResultKind::Written) {
        return locked;
    }
    const DownloadResult result = ProbeLockedSocket(socket, registerBase, events);
    ReleaseSocketLock(lock);
    return result;
}

DownloadResult RunDialogDownload(HWND owner, const BYTE* image, DWORD length, DWORD block,
                                 std::atomic<LONG>* percent) {
    DownloadEvents events;
    events.context = owner;
    events.handOver = PostWmAppToOwner;
    events.failed = ShowFailureBox;
    return RunDownload(DEVICE_UNIT, image, length, block, percent, events);
}

DWORD DownloadImage(HWND owner, const BYTE* image, DWORD length, DWORD block,
                    std::atomic<LONG>* percent) {
    return RunDialogDownload(owner, image, length, block, percent).code;
}
