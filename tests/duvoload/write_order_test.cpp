#include "app/duvoload/write/write_order.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Four blocks; `results` gives the download result of each block written (0: written),
// `stopAfter` the number of blocks after which a stop is requested (-1: never), and
// `unrecordedFrom` the first block whose record cannot be kept (-1: none).
struct PlannedRun {
    std::vector<std::uint32_t> results;
    int stopAfter;
    int exitCode;
    const char* statuses;  // W written, F failed, - not attempted
    int unrecordedFrom = -1;
};

TEST(WriteInOrder, FirstFailureOrStopDecidesAndEndsTheRun) {
    const PlannedRun runs[] = {
        {{0, 0, 0, 0}, -1, 0, "WWWW"},
        {{0, 0x87025353}, -1, 1, "WF--"},
        {{0x05419368}, -1, 1, "F---"},
        {{0, 0, 0xFFFFFFFF}, -1, 3, "WWF-"},  // no card for a later block
        {{0, 1223}, -1, 130, "WF--"},         // abandoned by a second Ctrl+C
        {{0, 0}, 2, 130, "WW--"},             // first Ctrl+C during block 2
        {{0, 0x87025353}, 2, 1, "WF--"},      // Ctrl+C during block 2, which then fails
        {{}, 0, 130, "----"},                 // Ctrl+C before the first block
        {{0, 0, 0, 0}, 4, 0, "WWWW"},         // during the last block: all written
        {{0, 0xAA}, -1, 5, "WF--"},           // the socket in use by another program
        {{0, 0}, -1, 4, "WW--", 1},           // block 2's log line lost: no block after it
        {{0, 0, 0, 0}, -1, 4, "WWWW", 3},     // the last block's line lost
        {{0, 0x87025353}, -1, 1, "WF--", 1},  // the failure came first
    };
    for (const PlannedRun& run : runs) {
        std::vector<BlockOutcome> blocks;
        for (int block : {3, 12, 5, 9})
            blocks.push_back(BlockOutcome{block, {}, 100, 0, 0, "", ""});
        std::size_t written = 0;
        std::string statuses;
        WriteSteps steps;
        steps.write = [&](std::size_t i) {
            EXPECT_EQ(i, written++);
            const std::uint32_t result = run.results.at(i);
            return BlockOutcome{blocks[i].block,
                                result == 0 ? BlockStatus::Written : BlockStatus::Failed,
                                100,
                                1.0,
                                result,
                                "text",
                                "T"};
        };
        steps.stopRequested = [&] {
            return run.stopAfter >= 0 && written >= static_cast<std::size_t>(run.stopAfter);
        };
        steps.report = [&](std::size_t i, const BlockOutcome& outcome) {
            EXPECT_EQ(i, statuses.size());
            EXPECT_EQ(outcome.block, blocks[i].block);
            EXPECT_EQ(outcome.bytes, 100u);
            statuses += outcome.status == BlockStatus::Written  ? 'W'
                        : outcome.status == BlockStatus::Failed ? 'F'
                                                                : '-';
            return run.unrecordedFrom < 0 || i < static_cast<std::size_t>(run.unrecordedFrom);
        };
        EXPECT_EQ(WriteInOrder(blocks, steps), run.exitCode) << run.statuses;
        EXPECT_EQ(statuses, run.statuses);
    }
}

}  // namespace
