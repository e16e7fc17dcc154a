#include "tests/soak/process_usage.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>

namespace {

constexpr ULONG kSystemHandleInformation = 16;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};

using QuerySystemInformation = NTSTATUS(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

template <class Function>
Function NtFunction(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// Handles the process holds, from the system's handle list; -1 when it cannot be read.
long long HandleCount(DWORD pid) {
    auto query = NtFunction<QuerySystemInformation>("NtQuerySystemInformation");
    std::vector<BYTE> buffer(1 << 16);
    NTSTATUS status = 0;
    ULONG needed = 0;
    while ((status = query(kSystemHandleInformation, buffer.data(),
                           static_cast<ULONG>(buffer.size()), &needed)) == kInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) {
        return -1;
    }
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const SystemHandleEntry*>(buffer.data() + sizeof(PVOID));
    long long own = 0;
    for (ULONG i = 0; i < count; ++i) {
        own += entries[i].ownerPid == pid ? 1 : 0;
    }
    return own;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<long long*>(count);
    return TRUE;
}

struct WindowCount {
    DWORD pid;
    long long count;
};

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM lParam) {
    auto* windows = reinterpret_cast<WindowCount*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == windows->pid) {
        ++windows->count;
        EnumChildWindows(hwnd, CountChild, reinterpret_cast<LPARAM>(&windows->count));
    }
    return TRUE;
}

// USER objects as the windows of the process, top-level and child.
long long WindowCountOf(DWORD pid) {
    WindowCount windows{pid, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows.count;
}

// Committed private memory: the private bytes of the process as Windows counts them.
long long PrivateBytes(HANDLE process) {
    long long total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const BYTE* address = nullptr;
         VirtualQueryEx(process, address, &region, sizeof(region)) == sizeof(region);
         address = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            total += static_cast<long long>(region.RegionSize);
        }
        if (region.RegionSize == 0) break;
    }
    return total;
}

}  // namespace

Usage Sample(DWORD pid, bool sameBitness) {
    Usage usage;
    usage.handles = HandleCount(pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process == nullptr) {
        return usage;
    }
    SetLastError(0);
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) {
        usage.gdiObjects = gdi;
    }
    if (sameBitness) {
        usage.userObjects = WindowCountOf(pid);
        usage.privateBytes = PrivateBytes(process);
    }
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(process, &memory, sizeof(memory))) {
        usage.workingSet = static_cast<long long>(memory.WorkingSetSize);
        usage.peakWorkingSet = static_cast<long long>(memory.PeakWorkingSetSize);
    }
    CloseHandle(process);
    return usage;
}

void PrintWineReport(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    DWORD handles = 0;
    const BOOL handlesOk = GetProcessHandleCount(process, &handles);
    SetLastError(0);
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD gdiError = GetLastError();
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof(memory));
    std::printf(
        "wine reports for the loader: GetProcessHandleCount %s %lu, GetGuiResources %lu "
        "(error %lu), PrivateUsage %lu, WorkingSetSize %lu\n",
        handlesOk ? "ok" : "failed", static_cast<unsigned long>(handles),
        static_cast<unsigned long>(gdi), static_cast<unsigned long>(gdiError),
        static_cast<unsigned long>(memory.PrivateUsage),
        static_cast<unsigned long>(memory.WorkingSetSize));
    CloseHandle(process);
}

std::vector<DWORD> ProcessesNamed(const char* exe) {
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, exe) == 0) {
            pids.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return pids;
}
