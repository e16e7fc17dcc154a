// Installs and controls the virtual card driver service inside a Wine prefix (or on Windows).
// A 64-bit program: only a 64-bit service manager client gets the x64 driver loaded.
//
//   duvo_card_service install <absolute ImagePath>   create or update the auto-start service
//   duvo_card_service start | stop | remove
//   duvo_card_service status                          print the service's state and exit codes
//   duvo_card_service wait-device <milliseconds> [NAME]
//                                                     wait until \\.\NAME (default duvo0) opens
//                                                     (starting the service if it is still
//                                                     stopped after 3 s)
//   duvo_card_service card-remove N | card-insert N   empty socket N, or put a fresh card in
//                                                     (the driver's socket control device)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "virtualcard/driver/socket_control_codes.h"

namespace {

constexpr const char* kServiceName = "DuvoVirtualCard";
constexpr const char* kDisplayName = "Duvo virtual PC Card";
constexpr const char* kDefaultDevice = "duvo0";

int Fail(const char* what) {
    std::fprintf(stderr, "duvo_card_service: %s failed [%lu]\n", what, GetLastError());
    return 1;
}

class ScHandle {
  public:
    explicit ScHandle(SC_HANDLE handle) : handle_(handle) {}
    ~ScHandle() {
        if (handle_ != nullptr) CloseServiceHandle(handle_);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE get() const { return handle_; }

  private:
    SC_HANDLE handle_;
};

int Install(const char* imagePath) {
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (manager.get() == nullptr) return Fail("OpenSCManager");
    ScHandle existing(OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
    if (existing.get() != nullptr) {
        if (!ChangeServiceConfigA(existing.get(), SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START,
                                  SERVICE_ERROR_NORMAL, imagePath, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, kDisplayName)) {
            return Fail("ChangeServiceConfig");
        }
        return 0;
    }
    ScHandle created(CreateServiceA(manager.get(), kServiceName, kDisplayName, SERVICE_ALL_ACCESS,
                                    SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                    imagePath, nullptr, nullptr, nullptr, nullptr, nullptr));
    if (created.get() == nullptr) return Fail("CreateService");
    return 0;
}

bool WaitForState(SC_HANDLE service, DWORD state, DWORD timeoutMs) {
    for (DWORD waited = 0;; waited += 20) {
        SERVICE_STATUS status;
        if (!QueryServiceStatus(service, &status)) return false;
        if (status.dwCurrentState == state) return true;
        if (waited >= timeoutMs) return false;
        Sleep(20);
    }
}

int Control(const char* command) {
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (manager.get() == nullptr) return Fail("OpenSCManager");
    ScHandle service(OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
    if (service.get() == nullptr) return Fail("OpenService");
    if (std::strcmp(command, "start") == 0) {
        if (!StartServiceA(service.get(), 0, nullptr) &&
            GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
            return Fail("StartService");
        }
        return WaitForState(service.get(), SERVICE_RUNNING, 10000) ? 0 : Fail("start wait");
    }
    if (std::strcmp(command, "stop") == 0) {
        SERVICE_STATUS status;
        if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status) &&
            GetLastError() != ERROR_SERVICE_NOT_ACTIVE) {
            return Fail("ControlService(stop)");
        }
        return WaitForState(service.get(), SERVICE_STOPPED, 10000) ? 0 : Fail("stop wait");
    }
    if (std::strcmp(command, "status") == 0) {
        SERVICE_STATUS status;
        if (!QueryServiceStatus(service.get(), &status)) return Fail("QueryServiceStatus");
        std::printf("state=%lu win32_exit_code=%lu service_exit_code=%lu\n", status.dwCurrentState,
                    status.dwWin32ExitCode, status.dwServiceSpecificExitCode);
        return 0;
    }
    if (!DeleteService(service.get())) return Fail("DeleteService");
    return 0;
}

bool DeviceOpens(const char* path) {
    HANDLE device = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return false;
    CloseHandle(device);
    return true;
}

// Under Wine the service manager now and then leaves an auto-start driver stopped in a fresh
// session (seen after a session in which the driver had been stopped); it is started here then.
void StartIfStopped() {
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (manager.get() == nullptr) return;
    ScHandle service(OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
    SERVICE_STATUS status;
    if (service.get() == nullptr || !QueryServiceStatus(service.get(), &status) ||
        status.dwCurrentState != SERVICE_STOPPED) {
        return;
    }
    std::fprintf(stderr, "duvo_card_service: the driver was left stopped; starting it\n");
    StartServiceA(service.get(), 0, nullptr);
}

int WaitDevice(DWORD timeoutMs, const char* name) {
    constexpr DWORD kStartAfterMs = 3000;
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "\\\\.\\%s", name);
    for (DWORD waited = 0;; waited += 20) {
        if (DeviceOpens(path)) return 0;
        if (waited >= timeoutMs) {
            char what[MAX_PATH + 16];
            std::snprintf(what, sizeof what, "opening %s", path);
            return Fail(what);
        }
        if (waited == kStartAfterMs) StartIfStopped();
        Sleep(20);
    }
}

// A request to the driver's socket control device.
int SocketRequest(DWORD code, const char* socketText) {
    char* end = nullptr;
    const unsigned long socket = std::strtoul(socketText, &end, 10);
    if (*socketText == '\0' || *end != '\0' || socket > 7) {
        std::fprintf(stderr, "duvo_card_service: %s is not a socket from 0 to 7\n", socketText);
        return 2;
    }
    HANDLE control =
        CreateFileA("\\\\.\\DuvoVirtualCardSockets", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (control == INVALID_HANDLE_VALUE) return Fail("opening the socket control device");
    const BYTE input[4] = {static_cast<BYTE>(socket), 0, 0, 0};
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(control, code, const_cast<BYTE*>(input), sizeof input, nullptr,
                                    0, &returned, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(control);
    SetLastError(error);
    return ok ? 0
              : Fail(code == virtualcard::driver::kIoctlRemoveCard ? "card-remove" : "card-insert");
}

int Usage() {
    std::fprintf(stderr,
                 "usage: duvo_card_service install IMAGEPATH | start | stop | remove | status | "
                 "wait-device MS [NAME] | card-remove N | card-insert N\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const char* command = argv[1];
    if (std::strcmp(command, "install") == 0 && argc == 3) return Install(argv[2]);
    if (std::strcmp(command, "wait-device") == 0 && (argc == 3 || argc == 4)) {
        return WaitDevice(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)),
                          argc == 4 ? argv[3] : kDefaultDevice);
    }
    if (std::strcmp(command, "card-remove") == 0 && argc == 3) {
        return SocketRequest(virtualcard::driver::kIoctlRemoveCard, argv[2]);
    }
    if (std::strcmp(command, "card-insert") == 0 && argc == 3) {
        return SocketRequest(virtualcard::driver::kIoctlInsertCard, argv[2]);
    }
    if (argc == 2 && (std::strcmp(command, "start") == 0 || std::strcmp(command, "stop") == 0 ||
                      std::strcmp(command, "remove") == 0 || std::strcmp(command, "status") == 0)) {
        return Control(command);
    }
    return Usage();
}
