#include "app/duvoload/gang/gang_writer.h"

#include <windows.h>

#include <string>

#include "app/duvoload/console/console_text.h"
#include "app/duvoload/gang/gang_protocol.h"
#include "app/duvoload/gang/gang_report.h"
#include "app/duvoload/record/json_report.h"
#include "app/duvoload/gang/member_command.h"
#include "app/duvoload/gang/member_lines.h"
#include "app/duvoload/gang/socket_process.h"
#include "app/duvoload/gang/unreported_blocks.h"
#include "app/duvoload/record/outcome.h"
#include "app/duvoload/record/run_record.h"

namespace {

// One socket's process, and what the parent keeps of it.
struct GangSocket {
    SocketProcess process;
    std::size_t liveIndex = 0;  // its live line, when the parent shows live lines
    bool live = false;
    bool json = false;          // its records as JSON objects (--json)
    std::vector<int> reported;  // the blocks whose result line it sent
    int exitCode = EXIT_DOWNLOAD_FAILED;
};

std::string Prefix(unsigned socket) {
    return "socket " + std::to_string(socket) + " ";
}

// One line from the socket's process, shown where it belongs; a record counts its block as
// reported.
void Show(GangSocket& socket, const std::string& line) {
    const unsigned number = socket.process.socket;
    DecodedMemberLine decoded = DecodeMemberLine(line);
    switch (decoded.kind) {
        case MemberLine::Record:
            decoded.record.socket = number;
            WriteLine(StdStream::Out, socket.json ? JsonBlockObject(decoded.record)
                                                  : GangResultLine(decoded.record));
            socket.reported.push_back(decoded.record.block);
            break;
        case MemberLine::Progress:
            if (socket.live) {
                SetLiveLine(socket.liveIndex, Prefix(number) + decoded.text);
            } else {
                WriteLine(StdStream::Err, Prefix(number) + decoded.text);
            }
            break;
        default:  // a message: a station's lines never come from a gang's socket
            WriteLine(StdStream::Err, GangMessageLine(number, decoded.text));
            break;
    }
}

bool RecordUnreported(const GangSocket& socket, bool endedAbnormally,
                      const std::vector<PlannedBlock>& plan, const std::string& tag,
                      CBlockLog& log) {
    return RecordUnreported({.socket = socket.process.socket,
                             .card = 0,
                             .reported = socket.reported,
                             .endedAbnormally = endedAbnormally,
                             .tag = tag},
                            plan, log);
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

}  // namespace

int WriteGang(const Options& options, const std::vector<PlannedBlock>& plan, CBlockLog& log) {
    const bool live = !options.quiet && IsConsole(StdStream::Err);
    const std::string encoded = EncodeGangPlan(plan);
    const std::u16string program = ProgramPath();
    int refusedCode = 0;
    const HANDLE job =
        PrepareSocketsRun(options.sockets, plan, options.tag, options.json, log, &refusedCode);
    if (job == nullptr) return refusedCode;
    std::vector<GangSocket> sockets(options.sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        GangSocket& socket = sockets[i];
        socket.process.socket = options.sockets[i];
        socket.process.onLine = [&socket](const std::string& line) { Show(socket, line); };
        socket.liveIndex = i;
        socket.live = live;
        socket.json = options.json;
        // The live lines stand in the list's order from the start.
        if (live) SetLiveLine(i, Prefix(socket.process.socket));
        const std::u16string utf16 =
            MemberCommandLine(program, options, socket.process.socket, live);
        const std::wstring line(utf16.begin(), utf16.end());
        std::string reason;
        switch (StartSocketProcess(&socket.process, line, job, &reason)) {
            case StartResult::Started:
                break;
            case StartResult::NotStarted:
                SayOfSocket(socket.process.socket, "cannot start its process: " + reason);
                RecordUnreported(socket, false, plan, options.tag, log);
                break;
            case StartResult::NotFollowed:
                SayOfSocket(socket.process.socket, "cannot follow its process: " + reason);
                RecordUnreported(socket, false, plan, options.tag, log);
                break;
            case StartResult::NotInJob:
                for (GangSocket& started : sockets) EndUnfed(&started.process);
                EndLiveLines();
                CloseHandle(job);
                return RefuseSockets(options.sockets, plan, options.tag, log,
                                     "cannot tie socket " + std::to_string(socket.process.socket) +
                                         "'s process to this one: " + reason);
        }
    }
    for (GangSocket& socket : sockets) {
        if (socket.process.process != nullptr) SendPlan(&socket.process, encoded);
    }
    std::vector<int> codes;
    for (GangSocket& socket : sockets) {
        if (socket.process.process != nullptr) {
            const DWORD code = AwaitSocketProcess(&socket.process);
            const bool everyBlockReported = socket.reported.size() >= plan.size();
            const bool abnormal = EndedAbnormally(code, everyBlockReported);
            if (abnormal) {
                SayOfSocket(socket.process.socket,
                            ProcessEndedWith(code) + " before it reported every block");
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
