#include "app/duvoload/gang/gang_writer.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "app/duvoload/console/console_text.h"
#include "app/duvoload/gang/gang_protocol.h"
#include "app/duvoload/gang/gang_report.h"
#include "app/duvoload/record/local_time.h"
#include "app/duvoload/record/outcome.h"
#include "app/duvoload/console/system_message.h"
#include "app/duvoload/console/unicode_text.h"

namespace {

// One socket's process, and what the parent keeps of it.
struct SocketProcess {
    unsigned socket = 0;
    std::size_t liveIndex = 0;  // its live line, when the parent shows live lines
    bool live = false;
    HANDLE process = nullptr;  // null when it could not be started
    HANDLE planWrite = nullptr;
    HANDLE outputRead = nullptr;
    HANDLE relay = nullptr;
    std::vector<int> reported;  // the blocks whose result line it sent
    int exitCode = EXIT_DOWNLOAD_FAILED;
};

std::string Prefix(unsigned socket) {
    return "socket " + std::to_string(socket) + " ";
}

// One line of the run's own about a socket: "duvoload: socket 2: ...".
void SayOfSocket(unsigned socket, const std::string& text) {
    WriteLine(StdStream::Err, "duvoload: socket " + std::to_string(socket) + ": " + text);
}

// An argument as the C runtime's command-line parser takes it back, quotes and backslashes
// included.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring CommandLine(const std::wstring& program, const Options& options,
                         const SocketProcess& socket) {
    std::wstring line = Quoted(program) + L" --slot " + std::to_wstring(socket.socket) +
                        L" --gang-member " + (socket.live ? L"live" : L"plain");
    if (options.quiet) line += L" --quiet";
    if (!options.logPath.empty()) line += L" --log " + Quoted(WideFromUtf8(options.logPath));
    return line;
}

// A job that ends every socket's process when the parent ends, however it ends: no socket's
// download goes on unwatched, with nobody to report it.
HANDLE KillOnCloseJob() {
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

// Starts the socket's process with its stdin and its stdout/stderr on pipes of ours; false with
// the system's reason when it cannot be started.
bool Start(SocketProcess* socket, const std::wstring& commandLine, HANDLE job,
           std::string* reason) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE planRead = nullptr;
    HANDLE outputWrite = nullptr;
    if (!CreatePipe(&planRead, &socket->planWrite, &inherit, 0)) {
        *reason = SystemMessage(GetLastError());
        return false;
    }
    if (!CreatePipe(&socket->outputRead, &outputWrite, &inherit, 0)) {
        *reason = SystemMessage(GetLastError());
        CloseHandle(planRead);
        return false;
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
        return false;
    }
    if (job != nullptr) AssignProcessToJobObject(job, started.hProcess);
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    socket->process = started.hProcess;
    return true;
}

// One line from the socket's process, shown where it belongs. Its own messages name the socket
// they come from; the card's texts do so already ("Duvo2 ...").
void Show(SocketProcess& socket, const std::string& line) {
    const std::string program = "duvoload: ";
    std::string text;
    switch (UntagMemberLine(line, &text)) {
        case MemberLine::Result:
            WriteLine(StdStream::Out, Prefix(socket.socket) + text);
            socket.reported.push_back(ResultLineBlock(text));
            break;
        case MemberLine::Message:
            if (text.compare(0, program.size(), program) == 0) {
                text.insert(program.size(), "socket " + std::to_string(socket.socket) + ": ");
            }
            WriteLine(StdStream::Err, text);
            break;
        case MemberLine::Progress:
            if (socket.live) {
                SetLiveLine(socket.liveIndex, Prefix(socket.socket) + text);
            } else {
                WriteLine(StdStream::Err, Prefix(socket.socket) + text);
            }
            break;
    }
}

// The relay thread: shows each line of the socket's process as it comes, until the process
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
            Show(*socket, pending.substr(0, end));
            pending.erase(0, end + 1);
        }
    }
    if (!pending.empty()) Show(*socket, pending);
    return 0;
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

// How the socket's process ended: its exit code as the system gives it.
DWORD AwaitProcessCode(const SocketProcess& socket) {
    WaitForSingleObject(socket.process, INFINITE);
    DWORD code = EXIT_DOWNLOAD_FAILED;
    GetExitCodeProcess(socket.process, &code);
    return code;
}

// True for the codes duvoload ends with: every block it took up has its result line.
bool IsDuvoloadCode(DWORD code) {
    switch (code) {
        case EXIT_ALL_WRITTEN:
        case EXIT_DOWNLOAD_FAILED:
        case EXIT_USAGE:
        case EXIT_NO_CARD:
        case EXIT_LOG_FAILED:
        case EXIT_SOCKET_IN_USE:
        case EXIT_INTERRUPTED:
            return true;
        default:
            return false;
    }
}

// The blocks a socket's process never reported go on record here, on stdout and in the log: it
// could not start, could not take its plan, or ended otherwise than duvoload ends (a crash, a
// kill). Then the block it may have been writing is failed (ERROR_PROCESS_ABORTED: it is not
// known to be written), and the rest are not attempted. Returns the socket's exit code.
int RecordUnreported(const SocketProcess& socket, bool endedAbnormally,
                     const std::vector<PlannedBlock>& plan, CBlockLog& log, int exitCode) {
    bool failedOne = false;
    for (const PlannedBlock& planned : plan) {
        bool reported = false;
        for (int block : socket.reported) reported = reported || block == planned.block;
        if (reported) continue;
        BlockOutcome outcome;
        outcome.block = planned.block;
        outcome.bytes = static_cast<std::uint32_t>(planned.image.bytes.size());
        if (endedAbnormally && !failedOne) {
            outcome.status = BlockStatus::Failed;
            outcome.code = ERROR_PROCESS_ABORTED;
            outcome.text = "its process ended unexpectedly";
            failedOne = true;
        }
        WriteLine(StdStream::Out, Prefix(socket.socket) + ResultLine(outcome));
        if (!log.Append(LogLine(LocalTimeNow(), socket.socket, planned.fullPath,
                                planned.image.sha256, outcome)) &&
            exitCode == EXIT_ALL_WRITTEN) {
            exitCode = EXIT_LOG_FAILED;
        }
    }
    return exitCode;
}

}  // namespace

int WriteGang(const Options& options, const std::vector<PlannedBlock>& plan, CBlockLog& log) {
    const bool live = !options.quiet && IsConsole(StdStream::Err);
    const std::string encoded = EncodeGangPlan(plan);
    const std::wstring program = ProgramPath();
    const HANDLE job = KillOnCloseJob();
    std::vector<SocketProcess> sockets(options.slots.size());
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        SocketProcess& socket = sockets[i];
        socket.socket = options.slots[i];
        socket.liveIndex = i;
        socket.live = live;
        // The live lines stand in the list's order from the start.
        if (live) SetLiveLine(i, Prefix(socket.socket));
        std::string reason;
        if (!Start(&socket, CommandLine(program, options, socket), job, &reason)) {
            SayOfSocket(socket.socket, "cannot start its process: " + reason);
            socket.exitCode = RecordUnreported(socket, false, plan, log, EXIT_DOWNLOAD_FAILED);
            continue;
        }
        socket.relay = CreateThread(nullptr, 0, Relay, &socket, 0, nullptr);
        if (socket.relay == nullptr) {
            // Nobody would read its lines: it is ended before it is given its plan.
            reason = SystemMessage(GetLastError());
            TerminateProcess(socket.process, EXIT_DOWNLOAD_FAILED);
            CloseHandle(socket.process);
            CloseHandle(socket.planWrite);
            CloseHandle(socket.outputRead);
            socket.process = nullptr;
            SayOfSocket(socket.socket, "cannot follow its process: " + reason);
            socket.exitCode = RecordUnreported(socket, false, plan, log, EXIT_DOWNLOAD_FAILED);
        }
    }
    for (SocketProcess& socket : sockets) {
        if (socket.process != nullptr) SendPlan(&socket, encoded);
    }
    std::vector<int> codes;
    for (SocketProcess& socket : sockets) {
        if (socket.process != nullptr) {
            const DWORD code = AwaitProcessCode(socket);
            // Its last lines are shown, and its blocks counted, before anything is added.
            WaitForSingleObject(socket.relay, INFINITE);
            CloseHandle(socket.relay);
            CloseHandle(socket.outputRead);
            CloseHandle(socket.process);
            // duvoload reports every block it takes up; a process that left some out, or ended
            // with another code, was cut short (Wine gives a killed process the code 0).
            const bool abnormal = !IsDuvoloadCode(code) ||
                                  (code != EXIT_USAGE && socket.reported.size() < plan.size());
            if (abnormal) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(code));
                SayOfSocket(socket.socket, std::string("its process ended with ") + hex +
                                               " before it reported every block");
            }
            socket.exitCode =
                RecordUnreported(socket, abnormal, plan, log,
                                 abnormal ? EXIT_DOWNLOAD_FAILED : static_cast<int>(code));
        }
        codes.push_back(socket.exitCode);
    }
    EndLiveLines();
    WriteLine(StdStream::Out, GangSummaryLine(options.slots, codes));
    if (job != nullptr) CloseHandle(job);
    return GangExitCode(codes);
}
