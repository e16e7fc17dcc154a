#include "download/socket_lock.h"

#include <cstdio>

#include "cardlink/driver_requests.h"

SocketLockResult AcquireSocketLock(DWORD unit, HANDLE* lock) {
    char name[64];
    std::snprintf(name, sizeof name, SOCKET_LOCK_NAME_FORMAT, static_cast<unsigned>(unit));
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr) {
        const DWORD error = LastRequestError();
        // A lock made by another user's program exists, and is not ours to open: that program
        // is using the socket.
        if (error == ERROR_ACCESS_DENIED) return {SocketLockStatus::InUse, 0};
        return {SocketLockStatus::Failed, error};
    }
    switch (WaitForSingleObject(mutex, 0)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:  // its holder ended without releasing it: the socket is free
            *lock = mutex;
            return {SocketLockStatus::Held, 0};
        case WAIT_TIMEOUT:
            CloseHandle(mutex);
            return {SocketLockStatus::InUse, 0};
        default: {
            const DWORD error = LastRequestError();
            CloseHandle(mutex);
            return {SocketLockStatus::Failed, error};
        }
    }
}

void ReleaseSocketLock(HANDLE lock) {
    ReleaseMutex(lock);
    CloseHandle(lock);
}
