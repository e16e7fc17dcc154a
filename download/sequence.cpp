#include "download/sequence.h"

#include <cstdio>

#include "cardlink/driver_requests.h"
#include "download/packets.h"
#include "download/transfer.h"

char g_errorText[ERROR_TEXT_SIZE];

namespace {

constexpr char kCaption[] = "Update";
constexpr std::size_t kDevicePathSize = 64;

// Shows the failure from the worker, owned by the dialog. The device stays open until the user
// has dismissed the box; only then is it closed and the code returned.
DWORD ReportFailure(HWND owner, HANDLE device, const char* format, DWORD shownCode, DWORD result) {
    std::snprintf(g_errorText, sizeof g_errorText, format, static_cast<unsigned>(shownCode));
    MessageBoxA(owner, g_errorText, kCaption, MB_ICONERROR | MB_OK);
    if (device != INVALID_HANDLE_VALUE) {
        CloseHandle(device);
    }
    return result;
}

HANDLE OpenCardDevice() {
    char path[kDevicePathSize];
    wsprintfA(path, DEVICE_PATH_FORMAT, DEVICE_NAME, DEVICE_UNIT);
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

bool ReadCardInfo(HANDLE device, BYTE (&cardInfo)[CARD_INFO_SIZE]) {
    DWORD returned = 0;
    return DeviceIoControl(device, IOCTL_CARD_GET_INFO, nullptr, 0, cardInfo, CARD_INFO_SIZE,
                           &returned, nullptr) != FALSE;
}

}  // namespace

DWORD DownloadImage(HWND owner, const BYTE* image, DWORD length, DWORD block,
                    std::atomic<LONG>* percent) {
    const HANDLE device = OpenCardDevice();
    if (device == INVALID_HANDLE_VALUE) {
        return ReportFailure(owner, device, "Duvo0 open failed [%08X]\n", GetLastError(),
                             ERR_OPEN_FAILED);
    }

    BYTE cardInfo[CARD_INFO_SIZE] = {};
    if (!ReadCardInfo(device, cardInfo)) {
        const DWORD error = LastRequestError();
        return ReportFailure(owner, device, "Duvo0 failed [%08X]\n", error, error);
    }
    if (const DWORD error = InitializeHardware(device); error != 0) {
        return ReportFailure(owner, device, "Duvo0 failed to intialize [%08X]\n", error, error);
    }

    const DWORD registerBase = CardInfoRegisterBase(cardInfo);
    if (!RequestDownload(device, registerBase, block)) {
        return ReportFailure(owner, device, "Duvo0 not respond [%08X]\n", ERR_NO_READY_REPLY,
                             ERR_NO_READY_REPLY);
    }
    if (!TransferImage(owner, device, registerBase, image, length, percent)) {
        return ReportFailure(owner, device, "Duvo0 not respond [%08X]\n", ERR_TRANSFER_FAILED,
                             ERR_TRANSFER_FAILED);
    }
    CloseHandle(device);
    return 0;
}
