// Opens the card of one socket, \\.\duvoN, and optionally downloads an image into one of its
// blocks with the protocol's own steps (the dialog's DownloadImage always uses socket 0):
//
//   socket_download N                    prints "open_error=E" (0 when the device opened)
//   socket_download N IMAGE_FILE BLOCK   also prints "result=..." : ok, card_info_failed=E,
//                                        init_failed=E, no_ready_reply or transfer_failed
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cardlink/driver_requests.h"
#include "download/packets.h"
#include "download/transfer.h"
#include "tests/wine/image_file.h"

namespace {

void Download(HANDLE device, const std::vector<BYTE>& image, DWORD block) {
    BYTE cardInfo[CARD_INFO_SIZE] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_CARD_GET_INFO, nullptr, 0, cardInfo, CARD_INFO_SIZE,
                         &returned, nullptr)) {
        std::printf("result=card_info_failed=%lu\n", LastRequestError());
        return;
    }
    if (const DWORD error = InitializeHardware(device); error != 0) {
        std::printf("result=init_failed=%lu\n", error);
        return;
    }
    const DWORD registerBase = CardInfoRegisterBase(cardInfo);
    if (!RequestDownload(device, registerBase, block)) {
        std::printf("result=no_ready_reply\n");
        return;
    }
    std::atomic<LONG> percent{0};
    const bool done = TransferImage(nullptr, device, registerBase, image.data(),
                                    static_cast<DWORD>(image.size()), &percent);
    std::printf("result=%s\n", done ? "ok" : "transfer_failed");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: socket_download N [IMAGE_FILE BLOCK]\n");
        return 2;
    }
    std::vector<BYTE> image;
    if (argc == 4 && !ReadImage(argv[2], &image)) {
        std::fprintf(stderr, "socket_download: cannot read %s\n", argv[2]);
        return 2;
    }
    char path[64];
    wsprintfA(path, DEVICE_PATH_FORMAT, DEVICE_NAME, std::atoi(argv[1]));
    const HANDLE device = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        std::printf("open_error=%lu\n", GetLastError());
        return 0;
    }
    std::printf("open_error=0\n");
    if (argc == 4) Download(device, image, static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
    CloseHandle(device);
    return 0;
}
