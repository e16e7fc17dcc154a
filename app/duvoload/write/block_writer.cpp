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

// What one download's events need: the progress line, the clock and the failure's text.
struct BlockRun {
    unsigned slot;
    int block;
    CProgressLine* progress;
    const CStopwatch* clock;
    std::string failureText;
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
    if (run->progress->Wants(phase, percent)) {
        run->progress->Show(ProgressText(run->block, phase, percent, update.bytes, update.length,
                                         run->clock->Seconds()));
    }
}

// The failure's text on stderr, as the dialog's box would show it; a device that cannot be opened
// gets a hint of what to check.
void ShowFailure(unsigned slot, const char* text, DWORD result) {
    WriteText(StdStream::Err, text);
    if (result == ERR_OPEN_FAILED) {
        char hint[160];
        std::snprintf(hint, sizeof hint,
                      "duvoload: hint: no card driver answers at \\\\.\\duvo%u; is the card in "
                      "socket %u, and is its driver started?",
                      slot, slot);
        WriteLine(StdStream::Err, hint);
    }
}

void OnFailed(void* context, const char* text, DWORD result) {
    auto* run = static_cast<BlockRun*>(context);
    run->progress->Finish();
    ShowFailure(run->slot, text, result);
    run->failureText = text;
    if (!run->failureText.empty() && run->failureText.back() == '\n') {
        run->failureText.pop_back();
    }
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

BlockOutcome WriteOne(const WriteSettings& settings, const PlannedBlock& planned) {
    CProgressLine progress(settings.quiet, settings.console, settings.everyPercent);
    const std::string started = LocalTimeNow();
    const CStopwatch clock;
    BlockRun run{settings.slot, planned.block, &progress, &clock, {}};
    std::atomic<LONG> percent{0};
    const auto length = static_cast<DWORD>(planned.image.bytes.size());
    const DWORD result = RunDownload(settings.slot, planned.image.bytes.data(), length,
                                     static_cast<DWORD>(planned.block), &percent, EventsFor(&run));
    progress.Finish();
    BlockOutcome outcome;
    outcome.block = planned.block;
    outcome.bytes = length;
    outcome.seconds = clock.Seconds();
    outcome.status = result == 0 ? BlockStatus::Written : BlockStatus::Failed;
    outcome.code = result;
    outcome.text = run.failureText;
    outcome.started = started;
    return outcome;
}

}  // namespace

int WriteBlocks(const WriteSettings& settings, const std::vector<PlannedBlock>& plan,
                CBlockLog& log) {
    std::vector<BlockOutcome> outcomes;
    for (const PlannedBlock& planned : plan) {
        BlockOutcome outcome;
        outcome.block = planned.block;
        outcome.bytes = static_cast<std::uint32_t>(planned.image.bytes.size());
        outcomes.push_back(outcome);
    }
    WriteSteps steps;
    steps.write = [&](std::size_t i) { return WriteOne(settings, plan[i]); };
    steps.stopRequested = StopRequested;
    steps.report = [&](std::size_t i, const BlockOutcome& outcome) {
        return RecordBlockOutcome(settings.slot, log, plan[i].fullPath, plan[i].image.sha256,
                                  outcome);
    };
    return WriteInOrder(outcomes, steps);
}

int ProbeSlot(unsigned slot) {
    DownloadEvents events;
    events.context = &slot;
    events.failed = [](void* context, const char* text, DWORD result) {
        ShowFailure(*static_cast<unsigned*>(context), text, result);
    };
    DWORD registerBase = 0;
    const DWORD result = ProbeCard(slot, &registerBase, events);
    if (result != 0) {
        return ExitCodeForFailure(result);
    }
    char line[64];
    std::snprintf(line, sizeof line, "slot %u: register base 0x%08lX", slot,
                  static_cast<unsigned long>(registerBase));
    WriteLine(StdStream::Out, line);
    return EXIT_ALL_WRITTEN;
}
