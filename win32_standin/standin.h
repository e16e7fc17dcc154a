// The test side of the native Win32 stand-in: devices registered by path, a virtual clock, and
// records of what the protocol code asked of the platform. Calls are expected from one thread at
// a time (a worker thread may make them while the test waits for it).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace win32_standin {

// What CreateFileA opens. The stand-in passes DeviceIoControl's arguments through unchanged.
class Device {
  public:
    virtual ~Device() = default;
    virtual void Open() {}
    // True on success; on failure `*error` becomes the thread's last error.
    virtual bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* bytesReturned, DWORD* error) = 0;
};

// CreateFileA(path) opens `device` until UnregisterDevice; the device stays the caller's.
void RegisterDevice(const char* path, Device* device);
void UnregisterDevice(const char* path);

// Virtual time: starts at 0, advanced only by Sleep.
uint64_t NowUs();
uint64_t SleepCount();
uint64_t SleptMs();

inline constexpr std::size_t kTextCapacity = 2048;
inline constexpr std::size_t kPathCapacity = 260;

struct MessageBoxCall {
    HWND owner;
    char text[kTextCapacity];
    char caption[kTextCapacity];
    UINT style;
    std::size_t openHandles;  // handles open when the box was shown
};

struct PostedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct CreateFileCall {
    char path[kPathCapacity];
    DWORD access;
    DWORD share;
    DWORD creation;
    DWORD flags;
    HANDLE result;
};

struct CloseHandleCall {
    HANDLE handle;
    bool known;  // the handle was open
};

// Named mutexes (CreateMutexA, WaitForSingleObject, ReleaseMutex, CloseHandle) are this
// program's own: owned by one of its threads, recursively, until released; gone with the last
// handle. What other programs do with a name is set by the test:
enum class MutexElsewhere {
    None,       // no other program has the name
    Held,       // another program owns the mutex: a wait here times out
    Abandoned,  // its owner ended without releasing it: the next wait gets WAIT_ABANDONED
    OtherUser,  // another user's program made it: CreateMutexA fails with ERROR_ACCESS_DENIED
    OtherKind,  // an object of another kind has the name: ERROR_INVALID_HANDLE
};
void SetMutexElsewhere(const char* name, MutexElsewhere state);
// True while a thread of this program owns the mutex of that name.
bool MutexOwnedHere(const char* name);
std::size_t OpenMutexHandleCount();

// Records in call order. Each kind keeps its first calls up to a fixed capacity (no allocation,
// so the benchmark can count allocations); the Total functions count every call. Closes of mutex
// handles are not recorded with those of devices.
std::span<const MessageBoxCall> MessageBoxes();
std::span<const PostedMessage> PostedMessages();
std::span<const CreateFileCall> CreateFileCalls();
std::span<const CloseHandleCall> CloseHandleCalls();
std::size_t TotalPostedMessages();

// Called by PostMessageA with each message, before it is recorded, on the posting thread; a test
// takes its snapshot of that moment there. Cleared by Reset.
using PostHook = void (*)(void* context, const PostedMessage& message);
void SetPostHook(PostHook hook, void* context);

// How often CloseHandle was called with `handle`, and how many device handles are open now.
std::size_t CloseCount(HANDLE handle);
std::size_t OpenHandleCount();

// Clears the clock, the records, the open handles, the mutexes and this thread's last error.
// Registered devices stay registered: their owners unregister them.
void Reset();

}  // namespace win32_standin
