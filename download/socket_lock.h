// One program per socket: a named lock for each card socket, taken before the card's device is
// opened and released after it is closed. While one download or probe has the card, any other,
// in this program or another, is refused at once and never opens the device: a second open
// would reset the card's mailbox under the first.
#pragma once

#include <windows.h>

// Another program (or another thread of this one) holds the socket's lock (ERROR_BUSY).
inline constexpr DWORD ERR_SOCKET_IN_USE = 0xAA;

// The lock's name for socket `unit`, in the Global\ namespace that every session of the machine
// shares, so that a program in another user's session is kept out as well.
inline constexpr const char* SOCKET_LOCK_NAME_FORMAT = "Global\\DuvoPcmciaSocket%u";

// Takes the lock of socket `unit` without waiting. 0 with `*lock` set when the calling thread
// now holds it (also when its last holder ended without releasing it); ERR_SOCKET_IN_USE when
// someone else holds it; otherwise the Windows error code of the failure.
DWORD AcquireSocketLock(DWORD unit, HANDLE* lock);

// Releases a lock taken by AcquireSocketLock on the same thread.
void ReleaseSocketLock(HANDLE lock);
