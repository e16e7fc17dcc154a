// Native stand-in for the Win32 calls of the protocol code. A test bed: fixed tables, no
// allocation on any call the protocol makes, time that passes only when Sleep is called.
#include "win32_standin/standin.h"

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace win32_standin {
namespace {

constexpr std::size_t kMaxDevices = 8;
constexpr std::size_t kMaxHandles = 16;
constexpr std::size_t kMaxMessageBoxes = 16;
constexpr std::size_t kMaxPostedMessages = 256;
constexpr std::size_t kMaxCreateFileCalls = 64;
constexpr std::size_t kMaxCloseHandleCalls = 64;
constexpr uintptr_t kFirstHandleValue = 0x1000;  // far from null and INVALID_HANDLE_VALUE
constexpr std::size_t kMaxMutexes = 8;
constexpr std::size_t kMaxMutexHandles = 16;
constexpr uintptr_t kFirstMutexHandleValue = 0x2000;
constexpr std::size_t kWsprintfLimit = 1024;  // wsprintfA writes at most this many bytes

struct Registration {
    char path[kPathCapacity];
    Device* device;
};

template <typename T, std::size_t N>
struct Record {
    std::array<T, N> entries;
    std::size_t count = 0;  // every call, also those beyond N
    void Add(const T& entry) {
        if (count < N) entries[count] = entry;
        ++count;
    }
    std::span<const T> View() const { return {entries.data(), count < N ? count : N}; }
};

struct NamedMutex {
    char name[kPathCapacity];
    bool used;
    std::size_t handles;    // this program's open handles
    std::thread::id owner;  // the owning thread of this program; none when not owned here
    std::size_t recursion;  // waits of the owner not yet released
    MutexElsewhere elsewhere;
};

struct State {
    std::array<Registration, kMaxDevices> devices{};
    std::array<NamedMutex, kMaxMutexes> mutexes{};
    std::array<NamedMutex*, kMaxMutexHandles> mutexHandles{};  // slot i: kFirstMutexHandleValue + i
    std::array<Device*, kMaxHandles> handles{};  // slot i is handle kFirstHandleValue + i
    std::atomic<uint64_t> nowUs{0};
    std::atomic<uint64_t> sleeps{0};
    Record<MessageBoxCall, kMaxMessageBoxes> messageBoxes;
    Record<PostedMessage, kMaxPostedMessages> postedMessages;
    Record<CreateFileCall, kMaxCreateFileCalls> createFileCalls;
    Record<CloseHandleCall, kMaxCloseHandleCalls> closeHandleCalls;
    PostHook postHook = nullptr;
    void* postHookContext = nullptr;
};

State& Global() {
    static State state;
    return state;
}

thread_local DWORD t_lastError = 0;

void CopyText(char* dst, std::size_t capacity, const char* src) {
    std::snprintf(dst, capacity, "%s", src != nullptr ? src : "");
}

Registration* FindRegistration(const char* path) {
    for (Registration& r : Global().devices) {
        if (r.device != nullptr && std::strcmp(r.path, path) == 0) return &r;
    }
    return nullptr;
}

NamedMutex* FindMutex(const char* name) {
    for (NamedMutex& m : Global().mutexes) {
        if (m.used && std::strcmp(m.name, name) == 0) return &m;
    }
    return nullptr;
}

NamedMutex& AddMutex(const char* name) {
    for (NamedMutex& m : Global().mutexes) {
        if (!m.used) {
            m = NamedMutex{};
            CopyText(m.name, sizeof m.name, name);
            m.used = true;
            return m;
        }
    }
    std::fprintf(stderr, "win32_standin: too many named mutexes\n");
    std::abort();
}

// A mutex that neither this program nor another one holds a handle to is gone.
void ForgetIfUnused(NamedMutex& m) {
    if (m.handles == 0 && m.elsewhere == MutexElsewhere::None) m.used = false;
}

NamedMutex* MutexOfHandle(HANDLE handle) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if (value < kFirstMutexHandleValue || value >= kFirstMutexHandleValue + kMaxMutexHandles) {
        return nullptr;
    }
    return Global().mutexHandles[value - kFirstMutexHandleValue];
}

// The slot of an open handle, or -1.
int HandleSlot(HANDLE handle) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if (value < kFirstHandleValue || value >= kFirstHandleValue + kMaxHandles) return -1;
    const std::size_t slot = value - kFirstHandleValue;
    return Global().handles[slot] != nullptr ? static_cast<int>(slot) : -1;
}

}  // namespace

void RegisterDevice(const char* path, Device* device) {
    if (Registration* existing = FindRegistration(path)) {
        existing->device = device;
        return;
    }
    for (Registration& r : Global().devices) {
        if (r.device == nullptr) {
            CopyText(r.path, sizeof r.path, path);
            r.device = device;
            return;
        }
    }
    std::fprintf(stderr, "win32_standin: too many devices registered\n");
    std::abort();
}

void UnregisterDevice(const char* path) {
    Registration* r = FindRegistration(path);
    if (r == nullptr) return;
    // Handles still open on the device fail from now on, like a removed device.
    for (Device*& d : Global().handles) {
        if (d == r->device) d = nullptr;
    }
    r->device = nullptr;
}

uint64_t NowUs() {
    return Global().nowUs.load();
}
uint64_t SleepCount() {
    return Global().sleeps.load();
}
uint64_t SleptMs() {
    return Global().nowUs.load() / 1000;
}

std::span<const MessageBoxCall> MessageBoxes() {
    return Global().messageBoxes.View();
}
std::span<const PostedMessage> PostedMessages() {
    return Global().postedMessages.View();
}
std::span<const CreateFileCall> CreateFileCalls() {
    return Global().createFileCalls.View();
}
std::span<const CloseHandleCall> CloseHandleCalls() {
    return Global().closeHandleCalls.View();
}
std::size_t TotalPostedMessages() {
    return Global().postedMessages.count;
}

void SetPostHook(PostHook hook, void* context) {
    Global().postHook = hook;
    Global().postHookContext = context;
}

std::size_t CloseCount(HANDLE handle) {
    std::size_t count = 0;
    for (const CloseHandleCall& call : CloseHandleCalls()) {
        if (call.handle == handle) ++count;
    }
    return count;
}

std::size_t OpenHandleCount() {
    std::size_t count = 0;
    for (Device* d : Global().handles) {
        if (d != nullptr) ++count;
    }
    return count;
}

void SetMutexElsewhere(const char* name, MutexElsewhere state) {
    NamedMutex* m = FindMutex(name);
    if (m == nullptr) m = &AddMutex(name);
    m->elsewhere = state;
    ForgetIfUnused(*m);
}

bool MutexOwnedHere(const char* name) {
    const NamedMutex* m = FindMutex(name);
    return m != nullptr && m->owner != std::thread::id{};
}

std::size_t OpenMutexHandleCount() {
    std::size_t count = 0;
    for (NamedMutex* m : Global().mutexHandles) {
        if (m != nullptr) ++count;
    }
    return count;
}

void Reset() {
    State& s = Global();
    s.handles.fill(nullptr);
    s.mutexes.fill(NamedMutex{});
    s.mutexHandles.fill(nullptr);
    s.nowUs = 0;
    s.sleeps = 0;
    s.messageBoxes.count = 0;
    s.postedMessages.count = 0;
    s.createFileCalls.count = 0;
    s.closeHandleCalls.count = 0;
    s.postHook = nullptr;
    s.postHookContext = nullptr;
    t_lastError = 0;
}

}  // namespace win32_standin

using namespace win32_standin;

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE) {
    State& s = Global();
    CreateFileCall call{};
    CopyText(call.path, sizeof call.path, lpFileName);
    call.access = dwDesiredAccess;
    call.share = dwShareMode;
    call.creation = dwCreationDisposition;
    call.flags = dwFlagsAndAttributes;
    call.result = INVALID_HANDLE_VALUE;

    Registration* r = lpFileName != nullptr ? FindRegistration(lpFileName) : nullptr;
    if (r == nullptr) {
        s.createFileCalls.Add(call);
        t_lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    for (std::size_t slot = 0; slot < kMaxHandles; ++slot) {
        if (s.handles[slot] == nullptr) {
            s.handles[slot] = r->device;
            r->device->Open();
            call.result = reinterpret_cast<HANDLE>(kFirstHandleValue + slot);
            s.createFileCalls.Add(call);
            return call.result;
        }
    }
    std::fprintf(stderr, "win32_standin: too many open handles\n");
    std::abort();
}

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                            DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                            LPDWORD lpBytesReturned, LPOVERLAPPED) {
    const int slot = HandleSlot(hDevice);
    if (slot < 0) {
        t_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    DWORD returned = 0;
    DWORD error = 0;
    const bool ok = Global().handles[slot]->Control(dwIoControlCode, lpInBuffer, nInBufferSize,
                                                    lpOutBuffer, nOutBufferSize, &returned, &error);
    if (lpBytesReturned != nullptr) *lpBytesReturned = returned;
    if (!ok) {
        t_lastError = error;
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (NamedMutex* m = MutexOfHandle(hObject)) {
        // Closing does not release ownership; the mutex goes with its last handle.
        Global().mutexHandles[reinterpret_cast<uintptr_t>(hObject) - kFirstMutexHandleValue] =
            nullptr;
        if (--m->handles == 0) {
            m->owner = {};
            m->recursion = 0;
            ForgetIfUnused(*m);
        }
        return TRUE;
    }
    const int slot = HandleSlot(hObject);
    Global().closeHandleCalls.Add(CloseHandleCall{hObject, slot >= 0});
    if (slot < 0) {
        t_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    Global().handles[slot] = nullptr;
    return TRUE;
}

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName) {
    if (lpName == nullptr) {
        std::fprintf(stderr, "win32_standin: only named mutexes are supported\n");
        std::abort();
    }
    NamedMutex* m = FindMutex(lpName);
    if (m != nullptr && m->elsewhere == MutexElsewhere::OtherUser) {
        t_lastError = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    if (m != nullptr && m->elsewhere == MutexElsewhere::OtherKind) {
        t_lastError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    const bool existed = m != nullptr;
    if (m == nullptr) m = &AddMutex(lpName);
    for (std::size_t slot = 0; slot < kMaxMutexHandles; ++slot) {
        if (Global().mutexHandles[slot] == nullptr) {
            Global().mutexHandles[slot] = m;
            ++m->handles;
            if (bInitialOwner && !existed) {
                m->owner = std::this_thread::get_id();
                m->recursion = 1;
            }
            t_lastError = existed ? ERROR_ALREADY_EXISTS : 0;
            return reinterpret_cast<HANDLE>(kFirstMutexHandleValue + slot);
        }
    }
    std::fprintf(stderr, "win32_standin: too many open mutex handles\n");
    std::abort();
}

// Nothing else runs while a wait lasts: a mutex held elsewhere stays held, and the wait times
// out once its time has passed on the virtual clock.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    NamedMutex* m = MutexOfHandle(hHandle);
    if (m == nullptr) {
        t_lastError = ERROR_INVALID_HANDLE;
        return WAIT_FAILED;
    }
    const std::thread::id self = std::this_thread::get_id();
    const bool heldElsewhere =
        m->elsewhere == MutexElsewhere::Held || (m->owner != std::thread::id{} && m->owner != self);
    if (heldElsewhere) {
        if (dwMilliseconds == INFINITE) {
            std::fprintf(stderr, "win32_standin: an endless wait for a mutex held elsewhere\n");
            std::abort();
        }
        Global().nowUs += static_cast<uint64_t>(dwMilliseconds) * 1000;
        return WAIT_TIMEOUT;
    }
    const bool abandoned = m->elsewhere == MutexElsewhere::Abandoned;
    m->elsewhere = MutexElsewhere::None;
    m->owner = self;
    ++m->recursion;
    return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    NamedMutex* m = MutexOfHandle(hMutex);
    if (m == nullptr) {
        t_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (m->owner != std::this_thread::get_id()) {
        t_lastError = ERROR_NOT_OWNER;
        return FALSE;
    }
    if (--m->recursion == 0) m->owner = {};
    return TRUE;
}

DWORD WINAPI GetLastError(void) {
    return t_lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    t_lastError = dwErrCode;
}

void WINAPI Sleep(DWORD dwMilliseconds) {
    Global().nowUs += static_cast<uint64_t>(dwMilliseconds) * 1000;
    ++Global().sleeps;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    const PostedMessage message{hWnd, Msg, wParam, lParam};
    if (Global().postHook != nullptr) {
        Global().postHook(Global().postHookContext, message);
    }
    Global().postedMessages.Add(message);
    return TRUE;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    MessageBoxCall call{};
    call.owner = hWnd;
    CopyText(call.text, sizeof call.text, lpText);
    CopyText(call.caption, sizeof call.caption, lpCaption);
    call.style = uType;
    call.openHandles = OpenHandleCount();
    Global().messageBoxes.Add(call);
    return IDOK;
}

int WINAPIV wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
    va_list args;
    va_start(args, lpFmt);
    const int written = std::vsnprintf(lpOut, kWsprintfLimit, lpFmt, args);
    va_end(args);
    if (written < 0) return 0;
    return written < static_cast<int>(kWsprintfLimit) ? written
                                                      : static_cast<int>(kWsprintfLimit) - 1;
}

}  // extern "C"
