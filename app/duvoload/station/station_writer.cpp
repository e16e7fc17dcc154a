#include "app/duvoload/station/station_writer.h"

#include <windows.h>

#include "app/duvoload/console/console_text.h"
#include "app/duvoload/console/interruption.h"
#include "app/duvoload/gang/gang_member.h"
#include "app/duvoload/gang/gang_report.h"
#include "app/duvoload/record/json_report.h"
#include "app/duvoload/record/local_time.h"
#include "app/duvoload/record/outcome.h"
#include "app/duvoload/record/run_record.h"
#include "app/duvoload/station/station_exit_code.h"
#include "app/duvoload/station/station_text.h"
#include "app/duvoload/write/block_writer.h"
#include "download/card_presence.h"

namespace {

// A socket is tried about every half second; a stop request is seen within a tenth of one.
constexpr DWORD kTryIntervalMs = 500;
constexpr DWORD kStopCheckMs = 100;

struct Station {
    const Options& options;
    const std::vector<PlannedBlock>& plan;
    CBlockLog& log;
    bool live = false;  // stderr is a console: one live line for the socket, one for the totals
    // One socket of a station on several sockets: its states, cards and records go to the parent
    // as fields, its progress as progress lines; the parent shows them and sums them up.
    bool member = false;
    SocketCount count;
};

// A line of the socket's: its live line redrawn with the totals below it, or a plain line.
void Show(Station& station, const std::string& text) {
    if (station.options.quiet) return;
    if (station.live) {
        SetLiveLine(0, text);
        SetLiveLine(1, StationTotalsLine({station.count}));
    } else {
        WriteLine(StdStream::Err, text);
    }
}

void ShowState(Station& station, const StationState& state) {
    if (station.member) {
        SendStationState(state);
    } else {
        Show(station, StationStateLine(station.options.socket, state));
    }
}

bool PrintSocketRecord(const BlockRecord& record) {
    return WriteLine(StdStream::Out, GangResultLine(record));
}

CardEnd EndOf(int exitCode) {
    switch (exitCode) {
        case EXIT_ALL_WRITTEN:
            return CardEnd::Written;
        case EXIT_OUTPUT_FAILED:
            return CardEnd::RecordLost;
        case EXIT_INTERRUPTED:
            return CardEnd::Interrupted;
        default:
            return CardEnd::Failed;
    }
}

double SecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

CardEnd WriteCard(Station& station, unsigned card) {
    const Options& options = station.options;
    WriteSettings settings{.socket = options.socket,
                           .quiet = options.quiet,
                           .everyPercent = station.live || options.gangMember == GangMember::Live,
                           .card = card,
                           .tag = options.tag,
                           .showProgress = {}};
    settings.showProgress = [&](const std::string& text) {
        if (station.member) {
            WriteLine(StdStream::Progress, text);
        } else {
            Show(station, CardProgressLine(options.socket, card, text));
        }
    };
    CardRecord record;
    record.socket = options.socket;
    record.card = card;
    record.time = LocalTimeNow();
    record.tag = options.tag;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    std::vector<BlockRecord> recorded;
    record.end = EndOf(WriteBlocks(settings, station.plan, station.log, &recorded));
    record.seconds = SecondsSince(start);
    for (const BlockRecord& block : recorded) {
        if (block.status != BlockStatus::Written) {
            record.stop = block;
            break;
        }
    }
    if (record.end == CardEnd::Written) {
        ++station.count.totals.written;
    } else {
        ++station.count.totals.failed;
    }
    if (station.member) return SendCardEnd(record) ? record.end : CardEnd::RecordLost;
    const std::string line = options.json ? JsonCardObject(record) : CardLine(record);
    if (!WriteLine(StdStream::Out, line)) return CardEnd::RecordLost;
    return record.end;
}

// About half a second, cut short by a stop request.
void Pause() {
    for (DWORD waited = 0; waited < kTryIntervalMs && !StopRequested(); waited += kStopCheckMs) {
        Sleep(kStopCheckMs);
    }
}

}  // namespace

int RunStation(const Options& options, const std::vector<PlannedBlock>& plan, CBlockLog& log) {
    Station station{options, plan, log, false, options.gangMember != GangMember::None, {}};
    station.live = !station.member && !options.quiet && IsConsole(StdStream::Err);
    station.count.socket = options.socket;
    // A socket's process sends its records as fields already.
    if (!station.member) SendRecordsTo(options.json ? PrintJsonBlock : PrintSocketRecord);
    StationSteps steps;
    steps.trySocket = [&] { return TryCard(options.socket); };
    steps.writeCard = [&](unsigned card) { return WriteCard(station, card); };
    steps.pause = Pause;
    steps.stopRequested = StopRequested;
    steps.show = [&](const StationState& state) { ShowState(station, state); };
    const StationTotals totals = RunStationSocket(options.cards, steps);
    station.count.totals.interrupted = totals.interrupted;
    station.count.totals.recordLost = totals.recordLost;
    if (station.live) EndLiveLines();
    int exitCode = StationExitCode(station.count.totals);
    if (station.member) return exitCode;
    const std::string summary =
        options.json ? JsonRunObject(exitCode, options.tag,
                                     {{options.socket, exitCode, true, station.count.totals.written,
                                       station.count.totals.failed}})
                     : StationSummaryLine({station.count});
    if (!WriteLine(StdStream::Out, summary) && exitCode == EXIT_ALL_WRITTEN) {
        exitCode = EXIT_OUTPUT_FAILED;
    }
    return exitCode;
}
