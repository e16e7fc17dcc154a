#include "app/duvoload/record/outcome.h"
#include "app/duvoload/record/local_time.h"

#include <gtest/gtest.h>

#include "app/duvoload/console/progress_text.h"

namespace {

TEST(Outcome, ExitCodeOfAFailure) {
    EXPECT_EQ(ExitCodeForFailure(0xFFFFFFFF), 3);
    EXPECT_EQ(ExitCodeForFailure(1223), 130);
    EXPECT_EQ(ExitCodeForFailure(0x87025353), 1);
    EXPECT_EQ(ExitCodeForFailure(0x05419368), 1);
    EXPECT_EQ(ExitCodeForFailure(21), 1);
    EXPECT_EQ(ExitCodeForFailure(0xAA), 5);
}

TEST(Outcome, ResultAndLogLines) {
    const BlockOutcome written{3, BlockStatus::Written, 1024, 0.5, 0, "", "T3"};
    const BlockOutcome failed{
        4, BlockStatus::Failed, 1000, 1.25, 0x87025353, "Duvo1 not respond [87025353]", "T4"};
    const BlockOutcome skipped{5, BlockStatus::NotAttempted, 77, 0, 0, "", ""};
    EXPECT_EQ(ResultLine(written), "block 3: written 1024 bytes in 0.50 s (2.00 KB/s)");
    EXPECT_EQ(ResultLine(failed), "block 4: failed [87025353] Duvo1 not respond");
    EXPECT_EQ(ResultLine(skipped), "block 5: not attempted");
    EXPECT_EQ(LogLine("T", 1, "C:\\a b.bin", "ab12", written),
              "T3\t1\t3\tC:\\a b.bin\t1024\tab12\twritten\t0.50");
    EXPECT_EQ(LogLine("T", 0, "p", "h", failed), "T4\t0\t4\tp\t1000\th\tfailed 87025353\t1.25");
    EXPECT_EQ(LogLine("T", 0, "p", "h", skipped), "T\t0\t5\tp\t77\th\tnot attempted\t0.00");
    // A tab or an escape in a path cannot split the line's fields or reach a terminal raw.
    EXPECT_EQ(LogLine("T", 0, "a\tb\x1B[2J.bin", "h", skipped),
              "T\t0\t5\ta\\x09b\\x1B[2J.bin\t77\th\tnot attempted\t0.00");
}

// One code per line: the code of the text's end is the one in front.
TEST(Outcome, AFailedBlocksLineCarriesOneCode) {
    const struct {
        std::uint32_t code;
        const char* text;
        const char* line;
    } cases[] = {
        {0xFFFFFFFF, "Duvo0 open failed [00000002]",
         "block 2: failed [FFFFFFFF] Duvo0 open failed"},
        {0xAA, "Duvo3 is in use by another program [000000AA]",
         "block 2: failed [000000AA] Duvo3 is in use by another program"},
        {1223, "Duvo0 download cancelled [000004C7]",
         "block 2: failed [000004C7] Duvo0 download cancelled"},
        {21, "Duvo0 failed [00000015]", "block 2: failed [00000015] Duvo0 failed"},
        {7, "no code [here]", "block 2: failed [00000007] no code [here]"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResultLine(BlockOutcome{2, BlockStatus::Failed, 1, 0, c.code, c.text, "T"}),
                  c.line);
    }
}

TEST(Outcome, RefusedLinesAndTheTimeWithItsOffset) {
    EXPECT_EQ(
        RefusedLogLine("T", 1, 3, "Z:\\a.bin", "100", "ab", "argument \"4=b\": \"b\" is empty"),
        "T\t1\t3\tZ:\\a.bin\t100\tab\trefused argument \"4=b\": \"b\" is empty\t0.00");
    EXPECT_EQ(RefusedLogLine("T", 0, 0, "m.txt", "", "", "line 2:\x1B"),
              "T\t0\t\tm.txt\t\t\trefused line 2:\\x1B\t0.00");
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
