#include "app/duvoload/gang/socket_process.h"

#include <cstdio>

#include "app/duvoload/console/console_text.h"
#include "app/duvoload/console/system_message.h"
#include "app/duvoload/gang/gang_report.h"
#include "app/duvoload/record/outcome.h"

namespace {

void CloseAll(SocketProcess* socket) {
    for (HANDLE* handle :
         {&socket->process, &socket->planWrite, &socket->outputRead, &socket->relay}) {
        if (*handle != nullptr) CloseHandle(*handle);
        *handle = nullptr;
    }
}

// The relay thread: hands on each line of the socket's process as it comes, until the process
// closes its output.
DWORD WINAPI Relay(void* parameter) {
    auto* socket = static_cast<SocketProcess*>(parameter);
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(socket->outputRead, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        std::size_t end = 0;
        while ((end = pending.find('\n')) != std::string::npos) {
            socket->onLine(pending.substr(0, end));
            pending.erase(0, end + 1);
        }
    }
    if (!pending.empty()) socket->onLine(pending);
    return 0;
}

}  // namespace

std::u16string ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            return std::u16string(path.begin(), path.begin() + length);
        }
        path.resize(path.size() * 2);
    }
}

HANDLE KillOnCloseJob(std::string* reason) {
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) {
        *reason = SystemMessage(GetLastError());
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        *reason = SystemMessage(GetLastError());
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

StartResult StartSocketProcess(SocketProcess* socket, const std::wstring& commandLine, HANDLE job,
                               std::string* reason) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE planRead = nullptr;
    HANDLE outputWrite = nullptr;
    if (!CreatePipe(&planRead, &socket->planWrite, &inherit, 0)) {
        *reason = SystemMessage(GetLastError());
        return StartResult::NotStarted;
    }
    if (!CreatePipe(&socket->outputRead, &outputWrite, &inherit, 0)) {
        *reason = SystemMessage(GetLastError());
        CloseHandle(planRead);
        CloseAll(socket);
        return StartResult::NotStarted;
    }
    SetHandleInformation(socket->planWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(socket->outputRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = planRead;
    startup.hStdOutput = outputWrite;
    startup.hStdError = outputWrite;
    PROCESS_INFORMATION started{};
    std::wstring line = commandLine;
    const BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                                   nullptr, nullptr, &startup, &started);
    const DWORD error = GetLastError();
    CloseHandle(planRead);
    CloseHandle(outputWrite);
    if (!ok) {
        *reason = SystemMessage(error);
        CloseAll(socket);
        return StartResult::NotStarted;
    }
    socket->process = started.hProcess;
    if (!AssignProcessToJobObject(job, started.hProcess)) {
        *reason = SystemMessage(GetLastError());
        TerminateProcess(started.hProcess, EXIT_DOWNLOAD_FAILED);
        CloseHandle(started.hThread);
        CloseAll(socket);
        return StartResult::NotInJob;
    }
    socket->relay = CreateThread(nullptr, 0, Relay, socket, 0, nullptr);
    if (socket->relay == nullptr) {
        // Nobody would read its lines.
        *reason = SystemMessage(GetLastError());
        TerminateProcess(started.hProcess, EXIT_DOWNLOAD_FAILED);
        CloseHandle(started.hThread);
        CloseAll(socket);
        return StartResult::NotFollowed;
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    return StartResult::Started;
}

void SendPlan(SocketProcess* socket, const std::string& plan) {
    for (std::size_t done = 0; done < plan.size();) {
        DWORD written = 0;
        if (!WriteFile(socket->planWrite, plan.data() + done,
                       static_cast<DWORD>(plan.size() - done), &written, nullptr) ||
            written == 0) {
            break;  // the process has ended: its exit code tells why
        }
        done += written;
    }
    CloseHandle(socket->planWrite);
    socket->planWrite = nullptr;
}

DWORD AwaitSocketProcess(SocketProcess* socket) {
    WaitForSingleObject(socket->process, INFINITE);
    DWORD code = EXIT_DOWNLOAD_FAILED;
    GetExitCodeProcess(socket->process, &code);
    // Its last lines are handed on before anything is added.
    WaitForSingleObject(socket->relay, INFINITE);
    CloseAll(socket);
    return code;
}

void EndUnfed(SocketProcess* socket) {
    if (socket->process == nullptr) return;
    TerminateProcess(socket->process, EXIT_DOWNLOAD_FAILED);
    if (socket->planWrite != nullptr) CloseHandle(socket->planWrite);
    socket->planWrite = nullptr;
    WaitForSingleObject(socket->relay, INFINITE);
    CloseAll(socket);
}

void SayOfSocket(unsigned socket, const std::string& text) {
    WriteLine(StdStream::Err, GangMessageLine(socket, "duvoload: " + text));
}

std::string ProcessEndedWith(DWORD code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(code));
    return std::string("its process ended with ") + hex;
}
