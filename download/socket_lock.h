// One program per socket: a named lock for each card socket, taken before the card's device is
// opened and released after it is closed. While one download or probe has the card, any other,
// in this program or another, is refused at once and never opens the device: a second open
// would reset the card's mailbox under the first.
#pragma once

#include <windows.h>

enum class SocketLockStatus {
    Held,    // the calling thread now holds it (also when its last holder ended without
             // releasing it)
    InUse,   // another program, or another thread of this one, holds it
    Failed,  // the lock could not be made or waited for
};

struct SocketLockResult {
    SocketLockStatus status;
    DWORD error;  // the Windows error code when Failed, else 0
};

// The lock's name for socket `unit`, in the Global\ namespace that every session of the machine
// shares, so that a program in another user's session is kept out as well.
inline constexpr const char* SOCKET_LOCK_NAME_FORMAT = "Global\\DuvoPcmciaSocket%u";

// Takes the lock of socket `unit` without waiting; `*lock` is set when it is Held.
SocketLockResult AcquireSocketLock(DWORD unit, HANDLE* lock);

// Releases a lock taken by AcquireSocketLock on the same thread.
void ReleaseSocketLock(HANDLE lock);
