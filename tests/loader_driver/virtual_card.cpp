#include "tests/loader_driver/virtual_card.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char kParametersKey[] =
    "System\\CurrentControlSet\\Services\\DuvoVirtualCard\\Parameters";
constexpr const char kDataDir[] = "C:\\ProgramData\\DuvoVirtualCard\\";
constexpr const char kServiceTool[] = "C:\\DuvoTools\\duvo_card_service.exe";
constexpr size_t kChunk = 128;

std::string BlockPath(DWORD block) {
    char name[32];
    std::snprintf(name, sizeof(name), "block%02lu.bin", static_cast<unsigned long>(block));
    return std::string(kDataDir) + name;
}

bool ReadWholeFile(const std::string& path, std::vector<BYTE>* bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    bytes->resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    const BOOL ok = bytes->empty() || ReadFile(file, bytes->data(),
                                               static_cast<DWORD>(bytes->size()), &read, nullptr);
    CloseHandle(file);
    return ok && read == bytes->size();
}

bool RunServiceTool(const char* command) {
    std::string line = std::string("\"") + kServiceTool + "\" " + command;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    WaitForSingleObject(process.hProcess, 30000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}

}  // namespace

bool VirtualCard::Configure(const CardSettings& settings) {
    const REGSAM access = KEY_ALL_ACCESS | KEY_WOW64_64KEY;
    // The whole tree: the key of socket 0 holds the other sockets' keys, which a plain key
    // deletion refuses to leave orphaned (and the old values would then stay).
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kParametersKey);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, 0, access, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    bool ok = true;
    for (const auto& [name, value] : settings) {
        ok = ok &&
             RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof(value)) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return ok;
}

void VirtualCard::Reset() {
    for (DWORD block = 0; block < 16; ++block) {
        DeleteFileA(BlockPath(block).c_str());
    }
    DeleteFileA((std::string(kDataDir) + "trace.txt").c_str());
    DeleteFileA((std::string(kDataDir) + "status.txt").c_str());
}

bool VirtualCard::BlockHolds(DWORD block, const std::vector<BYTE>& image) {
    std::vector<BYTE> stored;
    if (!ReadWholeFile(BlockPath(block), &stored)) {
        return false;
    }
    std::vector<BYTE> expected(image);
    expected.resize((image.size() + kChunk - 1) / kChunk * kChunk, 0);
    return stored == expected;
}

bool VirtualCard::BlockExists(DWORD block) {
    return GetFileAttributesA(BlockPath(block).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int VirtualCard::TracedRequests() {
    std::vector<BYTE> trace;
    if (!ReadWholeFile(std::string(kDataDir) + "trace.txt", &trace)) {
        return 0;
    }
    int lines = 0;
    for (BYTE c : trace) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

namespace {

// The status file once it is whole: the driver rewrites it at every open and close of the
// device, after the caller's own call has returned, so a read can meet it cut short. Empty when
// there is none.
std::string WholeStatusFile() {
    const std::string path = std::string(kDataDir) + "status.txt";
    std::string text;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return text;
        std::vector<BYTE> status;
        if (ReadWholeFile(path, &status)) {
            text.assign(1, '\n');
            text.append(status.begin(), status.end());
            if (text.find("\nblocks_programmed=") != std::string::npos) break;
        }
        Sleep(10);
    }
    return text;
}

// A counter of the status file as it stands; -1 when the file or the counter is missing.
long long StatusCounter(const std::string& name) {
    const std::string text = WholeStatusFile();
    std::string key(1, '\n');
    key += name;
    key += '=';
    const size_t at = text.find(key);
    return at == std::string::npos ? -1 : std::atoll(text.c_str() + at + key.size());
}

}  // namespace

long long VirtualCard::CurrentCounter(const std::string& name) {
    // The driver rewrites its status file at every open, but under Wine the open returns before
    // the driver has handled it: wait until the file counts this open.
    const long long opensBefore = StatusCounter("opens");
    HANDLE device = CreateFileA("\\\\.\\duvo0", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        return -1;
    }
    long long value = -1;
    for (int attempt = 0; attempt < 500 && value < 0; ++attempt) {
        if (StatusCounter("opens") > opensBefore) {
            value = StatusCounter(name);
        } else {
            Sleep(10);
        }
    }
    CloseHandle(device);
    return value;
}

bool VirtualCard::StopDriver() {
    return RunServiceTool("stop");
}

bool VirtualCard::StartDriver() {
    return RunServiceTool("start") && RunServiceTool("wait-device 20000");
}
