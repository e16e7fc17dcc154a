#include "app/duvoload/station/station_sockets.h"

#include <windows.h>

#include <string>

#include "app/duvoload/console/console_text.h"
#include "app/duvoload/console/interruption.h"
#include "app/duvoload/gang/gang_protocol.h"
#include "app/duvoload/gang/gang_report.h"
#include "app/duvoload/gang/member_command.h"
#include "app/duvoload/gang/member_lines.h"
#include "app/duvoload/gang/socket_process.h"
#include "app/duvoload/gang/unreported_blocks.h"
#include "app/duvoload/record/json_report.h"
#include "app/duvoload/record/outcome.h"
#include "app/duvoload/record/run_record.h"
#include "app/duvoload/station/station_exit_code.h"
#include "app/duvoload/station/station_text.h"

namespace {

// One socket's process, and what this process keeps of it.
struct StationSocket {
    SocketProcess process;
    StationState state;             // as it last said
    SocketCount count;              // its cards so far
    std::vector<BlockRecord> card;  // the records of the card being written
    int exitCode = EXIT_DOWNLOAD_FAILED;
};

struct Stations {
    const Options& options;
    const std::vector<PlannedBlock>& plan;
    CBlockLog& log;
    bool live = false;  // stderr is a console: one live line per socket, the totals below
    std::vector<StationSocket> sockets;
    // The relays of all sockets run at once: the counts, and the lines drawn from them, one at a
    // time.
    CRITICAL_SECTION lock;
};

std::vector<SocketCount> Counts(const Stations& stations) {
    std::vector<SocketCount> counts;
    for (const StationSocket& socket : stations.sockets) counts.push_back(socket.count);
    return counts;
}

// A socket's line: its live line, with the totals redrawn below the sockets, or a plain line.
void Show(Stations& stations, std::size_t index, const std::string& text) {
    if (stations.options.quiet) return;
    if (stations.live) {
        SetLiveLine(index, text);
        SetLiveLine(stations.sockets.size(), StationTotalsLine(Counts(stations)));
    } else {
        WriteLine(StdStream::Err, text);
    }
}

// A card's end: its line (text or JSON) with the block that ended it, and the counts.
void EndCard(Stations& stations, StationSocket& socket, CardRecord card) {
    card.socket = socket.process.socket;
    card.tag = stations.options.tag;
    for (const BlockRecord& block : socket.card) {
        if (block.status != BlockStatus::Written) {
            card.stop = block;
            break;
        }
    }
    StationTotals& totals = socket.count.totals;
    if (card.end == CardEnd::Written) {
        ++totals.written;
    } else {
        ++totals.failed;
    }
    totals.interrupted = totals.interrupted || card.end == CardEnd::Interrupted;
    totals.recordLost = totals.recordLost || card.end == CardEnd::RecordLost;
    WriteLine(StdStream::Out, stations.options.json ? JsonCardObject(card) : CardLine(card));
}

void OnLine(Stations& stations, std::size_t index, const std::string& line) {
    StationSocket& socket = stations.sockets[index];
    const unsigned number = socket.process.socket;
    DecodedMemberLine decoded = DecodeMemberLine(line);
    EnterCriticalSection(&stations.lock);
    switch (decoded.kind) {
        case MemberLine::Record:
            decoded.record.socket = number;
            WriteLine(StdStream::Out, stations.options.json ? JsonBlockObject(decoded.record)
                                                            : GangResultLine(decoded.record));
            socket.card.push_back(decoded.record);
            break;
        case MemberLine::State:
            socket.state = decoded.state;
            if (socket.state.phase == StationPhase::Writing) socket.card.clear();
            Show(stations, index, StationStateLine(number, socket.state));
            break;
        case MemberLine::Card:
            EndCard(stations, socket, decoded.card);
            break;
        case MemberLine::Progress:
            Show(stations, index, CardProgressLine(number, socket.state.card, decoded.text));
            break;
        case MemberLine::Message:
            WriteLine(StdStream::Err, GangMessageLine(number, decoded.text));
            break;
    }
    LeaveCriticalSection(&stations.lock);
}

// The socket's exit code once its process has ended with `code`. A process that ended otherwise
// than a station's socket ends (a crash, a kill: Wine gives a killed process 0) failed its
// socket; the card it was writing goes on record as failed, its unreported blocks with it.
int SocketCode(Stations& stations, StationSocket& socket, DWORD code) {
    const unsigned cards = socket.count.totals.written + socket.count.totals.failed;
    const bool writing = socket.state.phase == StationPhase::Writing;
    const bool known = code == EXIT_ALL_WRITTEN || code == EXIT_DOWNLOAD_FAILED ||
                       code == EXIT_OUTPUT_FAILED || code == EXIT_INTERRUPTED;
    const bool ended = StopRequested() || code != EXIT_ALL_WRITTEN ||
                       (stations.options.cards != 0 && cards >= stations.options.cards);
    if (known && ended && !writing) return static_cast<int>(code);
    SayOfSocket(socket.process.socket, ProcessEndedWith(code) + " before its station ended");
    if (writing) {
        UnreportedBlocks unreported{.socket = socket.process.socket,
                                    .card = socket.state.card,
                                    .reported = {},
                                    .endedAbnormally = true,
                                    .tag = stations.options.tag};
        for (const BlockRecord& block : socket.card) unreported.reported.push_back(block.block);
        BlockRecord failed;
        RecordUnreported(unreported, stations.plan, stations.log, &failed);
        socket.card.push_back(failed);
        CardRecord card;
        card.card = socket.state.card;
        card.end = CardEnd::Failed;
        EndCard(stations, socket, card);
    }
    return EXIT_DOWNLOAD_FAILED;
}

}  // namespace

int RunStationSockets(const Options& options, const std::vector<PlannedBlock>& plan,
                      CBlockLog& log) {
    Stations stations{options, plan, log, !options.quiet && IsConsole(StdStream::Err), {}, {}};
    InitializeCriticalSection(&stations.lock);
    const std::u16string program = ProgramPath();
    int refusedCode = 0;
    const HANDLE job =
        PrepareSocketsRun(options.sockets, plan, options.tag, options.json, log, &refusedCode);
    if (job == nullptr) return refusedCode;
    stations.sockets.resize(options.sockets.size());
    for (std::size_t i = 0; i < stations.sockets.size(); ++i) {
        StationSocket& socket = stations.sockets[i];
        socket.process.socket = options.sockets[i];
        socket.count.socket = options.sockets[i];
        socket.process.onLine = [&stations, i](const std::string& line) {
            OnLine(stations, i, line);
        };
    }
    if (stations.live) {
        for (std::size_t i = 0; i < stations.sockets.size(); ++i) {
            SetLiveLine(i, StationStateLine(options.sockets[i], {}));
        }
        SetLiveLine(stations.sockets.size(), StationTotalsLine(Counts(stations)));
    }
    for (StationSocket& socket : stations.sockets) {
        const std::u16string utf16 =
            MemberCommandLine(program, options, socket.process.socket, stations.live);
        const std::wstring line(utf16.begin(), utf16.end());
        std::string reason;
        const StartResult started = StartSocketProcess(&socket.process, line, job, &reason);
        if (started == StartResult::Started) continue;
        // A station runs on every socket it names, or on none.
        for (StationSocket& other : stations.sockets) EndUnfed(&other.process);
        if (stations.live) EndLiveLines();
        CloseHandle(job);
        return RefuseSockets(options.sockets, plan, options.tag, log,
                             "cannot start socket " + std::to_string(socket.process.socket) +
                                 "'s process: " + reason);
    }
    const std::string encoded = EncodeGangPlan(plan);
    for (StationSocket& socket : stations.sockets) SendPlan(&socket.process, encoded);
    std::vector<int> codes;
    for (StationSocket& socket : stations.sockets) {
        const DWORD code = AwaitSocketProcess(&socket.process);
        EnterCriticalSection(&stations.lock);
        socket.exitCode = SocketCode(stations, socket, code);
        LeaveCriticalSection(&stations.lock);
        codes.push_back(socket.exitCode);
    }
    if (stations.live) EndLiveLines();
    int exitCode = CombinedStationExitCode(codes);
    std::vector<SocketReport> reports;
    for (const StationSocket& socket : stations.sockets) {
        reports.push_back({socket.process.socket, socket.exitCode, true,
                           socket.count.totals.written, socket.count.totals.failed});
    }
    const std::vector<SocketCount> counts = Counts(stations);
    WriteLine(StdStream::Out, options.json ? JsonRunObject(exitCode, options.tag, reports)
                                           : StationSummaryLine(counts));
    CloseHandle(job);
    DeleteCriticalSection(&stations.lock);
    // A line that could not be written leaves the station's record incomplete: that wins over any
    // card's end, as it does for one socket.
    return OutputFailed() ? EXIT_OUTPUT_FAILED : exitCode;
}
