#include "app/duvoload/gang/gang_writer.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "app/duvoload/console/console_text.h"
#include "app/duvoload/console/system_message.h"
#include "app/duvoload/gang/gang_protocol.h"
#include "app/duvoload/gang/gang_report.h"
#include "app/duvoload/record/json_report.h"
#include "app/duvoload/gang/member_command.h"
#include "app/duvoload/gang/member_lines.h"
#include "app/duvoload/record/outcome.h"
#include "app/duvoload/record/run_record.h"
#include "app/duvoload/write/planned_record.h"

namespace {

// One socket's process, and what the parent keeps of it.
struct SocketProcess {
    unsigned socket = 0;
    std::size_t liveIndex = 0;  // its live line, when the parent shows live lines
    bool live = false;
    bool json = false;         // its records as JSON objects (--json)
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

// A job that ends every socket's process when the parent ends, however it ends: no socket's
// download goes on unwatched, with nobody to report it. Null, with the system's reason, when the
// system cannot make one.
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

// Starts the socket's process, in `job`, with its stdin and its stdout/stderr on pipes of ours;
// false with the system's reason when it cannot be started or put in the job (it is then ended
// before it has run).
enum class StartResult { Started, NotStarted, NotInJob };

StartResult Start(SocketProcess* socket, const std::wstring& commandLine, HANDLE job,
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
        return StartResult::NotStarted;
    }
    if (!AssignProcessToJobObject(job, started.hProcess)) {
        *reason = SystemMessage(GetLastError());
        TerminateProcess(started.hProcess, EXIT_DOWNLOAD_FAILED);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        CloseHandle(socket->planWrite);
        CloseHandle(socket->outputRead);
        return StartResult::NotInJob;
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    socket->process = started.hProcess;
    return StartResult::Started;
}

// One line from the socket's process, shown where it belongs; a record counts its block as
// reported.
void Show(SocketProcess& socket, const std::string& line) {
    DecodedMemberLine decoded = DecodeMemberLine(line);
    switch (decoded.kind) {
        case MemberLine::Record:
            decoded.record.socket = socket.socket;
            WriteLine(StdStream::Out, socket.json ? JsonBlockObject(decoded.record)
                                                  : GangResultLine(decoded.record));
            socket.reported.push_back(decoded.record.block);
            break;
        case MemberLine::Message:
            WriteLine(StdStream::Err, GangMessageLine(socket.socket, decoded.text));
            break;
        case MemberLine::Progress:
            if (socket.live) {
                SetLiveLine(socket.liveIndex, Prefix(socket.socket) + decoded.text);
            } else {
                WriteLine(StdStream::Err, Prefix(socket.socket) + decoded.text);
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

// The blocks a socket's process never reported go on record here, on stdout and in the log: it
// could not start, could not take its plan, or ended otherwise than duvoload ends (a crash, a
// kill). Then the block it may have been writing is failed (ERROR_PROCESS_ABORTED: it is not
// known to be written), and the rest are not attempted. Returns the socket's exit code.
bool RecordUnreported(const SocketProcess& socket, bool endedAbnormally,
                      const std::vector<PlannedBlock>& plan, const std::string& tag,
                      CBlockLog& log) {
    bool failedOne = false;
    bool kept = true;
    for (const PlannedBlock& planned : plan) {
        bool reported = false;
        for (int block : socket.reported) reported = reported || block == planned.block;
        if (reported) continue;
        BlockRecord record = PlannedRecord(socket.socket, planned, tag);
        if (endedAbnormally && !failedOne) {
            record.status = BlockStatus::Failed;
            record.kind = ResultKind::SystemError;
            record.code = ERROR_PROCESS_ABORTED;
            record.message = "its process ended unexpectedly";
            failedOne = true;
        }
        kept = RecordBlock(log, record) && kept;
    }
    return kept;
}

bool PrintGangRecord(const BlockRecord& record) {
    return WriteLine(StdStream::Out, GangResultLine(record));
}

// The gang's last line: the summary, or the run's JSON object.
bool PrintGangEnd(const Options& options, const std::vector<int>& codes, int exitCode) {
    if (!options.json) return WriteLine(StdStream::Out, GangSummaryLine(options.sockets, codes));
    std::vector<SocketReport> sockets;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        sockets.push_back({.socket = options.sockets[i], .exitCode = codes[i]});
    }
    return WriteLine(StdStream::Out, JsonRunObject(exitCode, options.tag, sockets));
}

// Ends the sockets' processes started so far; none has been given its plan.
void EndStarted(std::vector<SocketProcess>& sockets) {
    for (SocketProcess& socket : sockets) {
        if (socket.process == nullptr) continue;
        TerminateProcess(socket.process, EXIT_DOWNLOAD_FAILED);
        CloseHandle(socket.planWrite);
        WaitForSingleObject(socket.relay, INFINITE);
        CloseHandle(socket.relay);
        CloseHandle(socket.outputRead);
        CloseHandle(socket.process);
        socket.process = nullptr;
    }
}

// Refuses the gang before any card is touched: every socket's blocks on record as refused.
int RefuseGang(const Options& options, const std::vector<PlannedBlock>& plan, CBlockLog& log,
               const std::string& reason) {
    WriteLine(StdStream::Err, "duvoload: " + reason);
    std::vector<RefusedBlock> refused;
    for (const PlannedBlock& planned : plan) {
        refused.push_back({planned.block, planned.fullPath,
                           std::to_string(planned.image.bytes.size()), planned.image.sha256});
    }
    for (unsigned socket : options.sockets) {
        RecordRefusedRun(socket, log, refused, reason, options.tag);
    }
    return EXIT_DOWNLOAD_FAILED;
}

}  // namespace

int WriteGang(const Options& options, const std::vector<PlannedBlock>& plan, CBlockLog& log) {
    const bool live = !options.quiet && IsConsole(StdStream::Err);
    const std::string encoded = EncodeGangPlan(plan);
    const std::wstring path = ProgramPath();
    const std::u16string program(path.begin(), path.end());
    std::string reason;
    const HANDLE job = KillOnCloseJob(&reason);
    if (job == nullptr) {
        return RefuseGang(options, plan, log,
                          "cannot tie the sockets' processes to this one: " + reason);
    }
    SendRecordsTo(options.json ? PrintJsonBlock : PrintGangRecord);
    std::vector<SocketProcess> sockets(options.sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        SocketProcess& socket = sockets[i];
        socket.socket = options.sockets[i];
        socket.liveIndex = i;
        socket.live = live;
        socket.json = options.json;
        // The live lines stand in the list's order from the start.
        if (live) SetLiveLine(i, Prefix(socket.socket));
        const std::u16string utf16 = MemberCommandLine(program, options, socket.socket, live);
        const std::wstring line(utf16.begin(), utf16.end());
        switch (Start(&socket, line, job, &reason)) {
            case StartResult::Started:
                break;
            case StartResult::NotStarted:
                SayOfSocket(socket.socket, "cannot start its process: " + reason);
                RecordUnreported(socket, false, plan, options.tag, log);
                continue;
            case StartResult::NotInJob:
                EndStarted(sockets);
                EndLiveLines();
                CloseHandle(job);
                return RefuseGang(options, plan, log,
                                  "cannot tie socket " + std::to_string(socket.socket) +
                                      "'s process to this one: " + reason);
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
            RecordUnreported(socket, false, plan, options.tag, log);
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
            const bool everyBlockReported = socket.reported.size() >= plan.size();
            const bool abnormal = EndedAbnormally(code, everyBlockReported);
            if (abnormal) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(code));
                SayOfSocket(socket.socket, std::string("its process ended with ") + hex +
                                               " before it reported every block");
            }
            const bool kept = RecordUnreported(socket, abnormal, plan, options.tag, log);
            socket.exitCode = SocketExitCode(code, everyBlockReported, kept);
        }
        codes.push_back(socket.exitCode);
    }
    EndLiveLines();
    const int exitCode = GangExitCode(codes);
    PrintGangEnd(options, codes, exitCode);
    // Closing the job ends any socket's process still running (none should be).
    CloseHandle(job);
    return exitCode == EXIT_ALL_WRITTEN && OutputFailed() ? EXIT_OUTPUT_FAILED : exitCode;
}
