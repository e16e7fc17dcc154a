#include "download/card_presence.h"

#include "cardlink/driver_requests.h"
#include "cardlink/request_blocks.h"
#include "download/socket_lock.h"

namespace {

CardPresence AskLockedSocket(DWORD unit) {
    char path[64];
    wsprintfA(path, DEVICE_PATH_FORMAT, DEVICE_NAME, static_cast<int>(unit));
    const HANDLE device = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return CardPresence::Empty;
    BYTE cardInfo[CARD_INFO_SIZE] = {};
    DWORD returned = 0;
    const BOOL answered = DeviceIoControl(device, IOCTL_CARD_GET_INFO, nullptr, 0, cardInfo,
                                          CARD_INFO_SIZE, &returned, nullptr);
    CloseHandle(device);
    return answered ? CardPresence::Answered : CardPresence::Silent;
}

}  // namespace

CardPresence TryCard(DWORD unit) {
    // A lock that cannot be taken, held by another or refused by the system, leaves the socket
    // untried: it is not free.
    HANDLE lock = nullptr;
    if (AcquireSocketLock(unit, &lock).status != SocketLockStatus::Held) return CardPresence::InUse;
    const CardPresence presence = AskLockedSocket(unit);
    ReleaseSocketLock(lock);
    return presence;
}
