#include "app/duvoload/record/outcome.h"
#include "app/duvoload/record/local_time.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "app/duvoload/console/progress_text.h"
#include "app/duvoload/write/write_order.h"

namespace {

// The guide's table of results, row by row: the result, every code shown with it, its exit code.
struct GuideRow {
    std::string result;
    std::vector<std::uint32_t> codes;
    int exitCode = -1;  // -1: none (not attempted)
};

std::vector<std::string> Cells(const std::string& row) {
    std::vector<std::string> cells;
    std::stringstream stream(row.substr(1));
    std::string cell;
    while (std::getline(stream, cell, '|')) {
        const std::size_t first = cell.find_first_not_of(' ');
        cells.push_back(first == std::string::npos
                            ? ""
                            : cell.substr(first, cell.find_last_not_of(' ') - first + 1));
    }
    return cells;
}

std::vector<GuideRow> GuideResultsTable() {
    std::ifstream guide(DUVO_GUIDE_PATH);
    std::vector<GuideRow> rows;
    std::string line;
    bool inTable = false;
    while (std::getline(guide, line)) {
        if (line.rfind("| Result | Code shown |", 0) == 0) {
            inTable = true;
            std::getline(guide, line);  // the separator row
            continue;
        }
        if (!inTable) continue;
        if (line.empty() || line[0] != '|') break;
        const std::vector<std::string> cells = Cells(line);
        GuideRow row;
        row.result = cells.at(0);
        for (std::size_t at = cells.at(1).find('`'); at != std::string::npos;
             at = cells[1].find('`', cells[1].find('`', at + 1) + 1)) {
            row.codes.push_back(
                static_cast<std::uint32_t>(std::stoul(cells[1].substr(at + 1, 8), nullptr, 16)));
        }
        if (!cells.at(3).empty()) row.exitCode = std::stoi(cells[3]);
        rows.push_back(row);
    }
    return rows;
}

// A one-block run whose block ends as `record` says: its exit code.
int ExitCodeOfRun(const BlockRecord& record) {
    WriteSteps steps;
    steps.write = [&](std::size_t) { return record; };
    steps.stopRequested = [] { return false; };
    steps.report = [](std::size_t, const BlockRecord&) { return true; };
    return WriteInOrder({BlockRecord{}}, steps);
}

// Each result of the guide, with every code the guide shows for it, ends a run with the guide's
// exit code: the code's number never decides (000000AA is a driver's failure and a socket in use).
TEST(Outcome, TheExitCodeOfEveryResultIsTheGuides) {
    const std::map<std::string, ResultKind> kinds = {
        {"written", ResultKind::Written},
        {"the card's own failure", ResultKind::CardFailed},
        {"a system or driver error", ResultKind::SystemError},
        {"no device", ResultKind::NoDevice},
        {"socket in use", ResultKind::SocketInUse},
        {"abandoned", ResultKind::Abandoned},
    };
    const std::vector<GuideRow> rows = GuideResultsTable();
    ASSERT_EQ(rows.size(), kinds.size() + 1) << "the guide's table of results, not attempted last";
    for (const GuideRow& row : rows) {
        SCOPED_TRACE(row.result);
        if (row.result == "not attempted") {
            EXPECT_EQ(row.exitCode, -1);
            continue;
        }
        ASSERT_EQ(kinds.count(row.result), 1u);
        BlockRecord record;
        record.kind = kinds.at(row.result);
        record.status =
            record.kind == ResultKind::Written ? BlockStatus::Written : BlockStatus::Failed;
        std::vector<std::uint32_t> codes = row.codes;
        if (codes.empty()) codes.push_back(0);
        for (std::uint32_t code : codes) {
            record.code = code;
            EXPECT_EQ(ExitCodeOfRun(record), row.exitCode) << std::hex << code;
        }
    }
}

BlockRecord Record(int block, BlockStatus status, std::uint32_t bytes, double seconds,
                   std::uint32_t code, const std::string& message, const std::string& time) {
    return BlockRecord{
        .socket = 1,
        .block = block,
        .file = std::string(1, 'p'),
        .bytes = bytes,
        .sha256 = std::string(1, 'h'),
        .status = status,
        .kind = status == BlockStatus::Written ? ResultKind::Written : ResultKind::CardFailed,
        .code = code,
        .message = message,
        .time = time,
        .seconds = seconds,
        .card = 0,
        .tag = ""};
}

TEST(Outcome, ResultAndLogLines) {
    BlockRecord written = Record(3, BlockStatus::Written, 1024, 0.5, 0, "", "T3");
    const BlockRecord failed = Record(4, BlockStatus::Failed, 1000, 1.25, 0x87025353,
                                      "Duvo1 not respond [87025353]", "T4");
    BlockRecord skipped = Record(5, BlockStatus::NotAttempted, 77, 0, 0, "", "T");
    EXPECT_EQ(ResultLine(written), "block 3: written 1024 bytes in 0.50 s (2.00 KB/s)");
    EXPECT_EQ(ResultLine(failed), "block 4: failed [87025353] Duvo1 not respond");
    EXPECT_EQ(ResultLine(skipped), "block 5: not attempted");
    written.file = "C:\\a b.bin";
    written.sha256 = "ab12";
    EXPECT_EQ(LogLine(written), "T3\t1\t3\tC:\\a b.bin\t1024\tab12\twritten\t0.50\t\t");
    EXPECT_EQ(LogLine(failed), "T4\t1\t4\tp\t1000\th\tfailed 87025353\t1.25\t\t");
    EXPECT_EQ(LogLine(skipped), "T\t1\t5\tp\t77\th\tnot attempted\t0.00\t\t");
    // A tab or an escape in a path cannot split the line's fields or reach a terminal raw.
    skipped.file = "a\tb\x1B[2J.bin";
    EXPECT_EQ(LogLine(skipped), "T\t1\t5\ta\\x09b\\x1B[2J.bin\t77\th\tnot attempted\t0.00\t\t");
    // A station's card and the run's tag come last, after the fields scripts already cut.
    written.card = 3;
    written.tag = "WO-7 \xCE\xA9";
    EXPECT_EQ(ResultLine(written), "card 3 block 3: written 1024 bytes in 0.50 s (2.00 KB/s)");
    EXPECT_EQ(LogLine(written),
              "T3\t1\t3\tC:\\a b.bin\t1024\tab12\twritten\t0.50\t3\tWO-7 \xCE\xA9");
}

TEST(Outcome, RefusedLinesAndTheTimeWithItsOffset) {
    EXPECT_EQ(
        RefusedLogLine("T", 1, 3, "Z:\\a.bin", "100", "ab", "argument \"4=b\": \"b\" is empty",
                       "lot 9"),
        "T\t1\t3\tZ:\\a.bin\t100\tab\trefused argument \"4=b\": \"b\" is empty\t0.00\t\tlot 9");
    EXPECT_EQ(RefusedLogLine("T", 0, 0, "m.txt", "", "", "line 2:\x1B", ""),
              "T\t0\t\tm.txt\t\t\trefused line 2:\\x1B\t0.00\t\t");
    EXPECT_EQ(IsoLocalTime(2026, 12, 8, 6, 17, 3, 60), "2026-12-08T06:17:03+01:00");
    EXPECT_EQ(IsoLocalTime(2026, 1, 2, 3, 4, 5, 0), "2026-01-02T03:04:05+00:00");
    EXPECT_EQ(IsoLocalTime(2026, 1, 2, 3, 4, 5, -300), "2026-01-02T03:04:05-05:00");
    EXPECT_EQ(IsoLocalTime(2026, 1, 2, 3, 4, 5, 330), "2026-01-02T03:04:05+05:30");
    EXPECT_EQ(IsoLocalTime(2026, 1, 2, 3, 4, 5, -570), "2026-01-02T03:04:05-09:30");
}

TEST(Progress, TextOfBothPhases) {
    EXPECT_EQ(ProgressText(3, ProgressPhase::Sending, 45, 5120, 10000, 2.0),
              "block 3: sending 45% (5120 of 10000 bytes, 2.50 KB/s)");
    EXPECT_EQ(ProgressText(3, ProgressPhase::Sending, 0, 0, 10000, 0.0),
              "block 3: sending 0% (0 of 10000 bytes, 0.00 KB/s)");
    EXPECT_EQ(ProgressText(14, ProgressPhase::Programming, 40, 10000, 10000, 9.0),
              "block 14: programming flash 40%");
}

TEST(Progress, TenPercentStepsPerPhase) {
    // Sending 0..100 in ones, then the flash wait's two runs up to 95 and the final 100.
    TenPercentSteps steps;
    std::vector<long> shown;
    for (long p = 0; p <= 100; ++p) {
        if (steps.Passes(ProgressPhase::Sending, p)) shown.push_back(p);
    }
    EXPECT_EQ(shown, (std::vector<long>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    shown.clear();
    for (int run = 0; run < 2; ++run) {
        for (long p = 0; p <= 95; p += 5) {
            if (steps.Passes(ProgressPhase::Programming, p)) shown.push_back(p);
        }
    }
    if (steps.Passes(ProgressPhase::Programming, 100)) shown.push_back(100);
    EXPECT_EQ(shown, (std::vector<long>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    // A percent that jumps past several steps is shown once.
    EXPECT_TRUE(steps.Passes(ProgressPhase::Sending, 37));
    EXPECT_FALSE(steps.Passes(ProgressPhase::Sending, 39));
    EXPECT_TRUE(steps.Passes(ProgressPhase::Sending, 40));
}

}  // namespace
