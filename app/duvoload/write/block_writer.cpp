#include "app/duvoload/write/block_writer.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "app/duvoload/console/console_text.h"
#include "app/duvoload/console/interruption.h"
#include "app/duvoload/record/local_time.h"
#include "app/duvoload/record/outcome.h"
#include "app/duvoload/console/progress_line.h"
#include "app/duvoload/record/run_record.h"
#include "app/duvoload/write/planned_record.h"
#include "app/duvoload/write/write_order.h"
#include "download/sequence.h"

namespace {

class CStopwatch {
  public:
    CStopwatch() {
        QueryPerformanceFrequency(&m_frequency);
        QueryPerformanceCounter(&m_start);
    }
    double Seconds() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - m_start.QuadPart) /
               static_cast<double>(m_frequency.QuadPart);
    }

  private:
    LARGE_INTEGER m_frequency{};
    LARGE_INTEGER m_start{};
};

// What one download's events need: the progress line and the clock.
struct BlockRun {
    unsigned socket;
    int block;
    CProgressLine* progress;
    const CStopwatch* clock;
    const std::function<void(const std::string&)>* showProgress;
};

void OnProgress(void* context, const DownloadProgress& update) {
    auto* run = static_cast<BlockRun*>(context);
    const bool sending = update.phase == DownloadPhase::Sending;
    const ProgressPhase phase = sending ? ProgressPhase::Sending : ProgressPhase::Programming;
    // The shared percent of the sending phase trails by one chunk (it never shows 100); the
    // console shows the share of the bytes acknowledged instead.
    const long percent = sending && update.length > 0
                             ? static_cast<long>(std::uint64_t{update.bytes} * 100 / update.length)
                             : update.percent;
    if (!run->progress->Wants(phase, percent)) return;
    const std::string text = ProgressText(run->block, phase, percent, update.bytes, update.length,
                                          run->clock->Seconds());
    if (*run->showProgress) {
        (*run->showProgress)(text);
    } else {
        run->progress->Show(text);
    }
}

// The failure's text on stderr, as the dialog's box would show it; a device that cannot be opened
// gets a hint of what to check.
void ShowFailure(unsigned socket, const DownloadResult& result) {
    WriteText(StdStream::Err, result.message);
    if (result.kind == ResultKind::NoDevice) {
        char hint[160];
        std::snprintf(hint, sizeof hint,
                      "duvoload: hint: no card driver answers at \\\\.\\duvo%u; is the card in "
                      "socket %u, and is its driver started?",
                      socket, socket);
        WriteLine(StdStream::Err, hint);
    }
}

void OnFailed(void* context, const DownloadResult& result) {
    auto* run = static_cast<BlockRun*>(context);
    run->progress->Finish();
    ShowFailure(run->socket, result);
}

bool OnAbandon(void* /*context*/) {
    return AbandonRequested();
}

DownloadEvents EventsFor(BlockRun* run) {
    DownloadEvents events;
    events.context = run;
    events.progress = OnProgress;
    events.failed = OnFailed;
    events.abandon = OnAbandon;
    return events;
}

// The record of a block's download, from its result.
BlockRecord WriteOne(const WriteSettings& settings, BlockRecord record,
                     const PlannedBlock& planned) {
    CProgressLine progress(settings.quiet, settings.console, settings.everyPercent);
    record.time = LocalTimeNow();
    const CStopwatch clock;
    BlockRun run{settings.socket, planned.block, &progress, &clock, &settings.showProgress};
    std::atomic<LONG> percent{0};
    const DownloadResult result =
        RunDownload(settings.socket, planned.image.bytes.data(), record.bytes,
                    static_cast<DWORD>(planned.block), &percent, EventsFor(&run));
    progress.Finish();
    record.seconds = clock.Seconds();
    record.kind = result.kind;
    record.status = result.kind == ResultKind::Written ? BlockStatus::Written : BlockStatus::Failed;
    record.code = result.code;
    record.message = result.message;
    if (!record.message.empty() && record.message.back() == '\n') record.message.pop_back();
    return record;
}

}  // namespace

int WriteBlocks(const WriteSettings& settings, const std::vector<PlannedBlock>& plan,
                CBlockLog& log, std::vector<BlockRecord>* recorded) {
    std::vector<BlockRecord> records;
    for (const PlannedBlock& planned : plan) {
        records.push_back(PlannedRecord(settings.socket, planned, settings.tag, settings.card));
    }
    WriteSteps steps;
    steps.write = [&](std::size_t i) { return WriteOne(settings, records[i], plan[i]); };
    steps.stopRequested = StopRequested;
    steps.report = [&](std::size_t, const BlockRecord& record) {
        if (recorded != nullptr) recorded->push_back(record);
        return RecordBlock(log, record);
    };
    return WriteInOrder(records, steps);
}

int ProbeSocket(unsigned socket) {
    DownloadEvents events;
    events.context = &socket;
    events.failed = [](void* context, const DownloadResult& result) {
        ShowFailure(*static_cast<unsigned*>(context), result);
    };
    DWORD registerBase = 0;
    const DownloadResult result = ProbeCard(socket, &registerBase, events);
    if (result.kind != ResultKind::Written) {
        return ExitCodeFor(result.kind);
    }
    char line[64];
    std::snprintf(line, sizeof line, "slot %u: register base 0x%08lX", socket,
                  static_cast<unsigned long>(registerBase));
    if (!WriteLine(StdStream::Out, line)) return EXIT_OUTPUT_FAILED;
    return EXIT_ALL_WRITTEN;
}
