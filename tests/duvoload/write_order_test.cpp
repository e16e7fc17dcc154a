#include "app/duvoload/write/write_order.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr ResultKind W = ResultKind::Written;
constexpr ResultKind kCard = ResultKind::CardFailed;

// Four blocks; `results` gives the download result of each block written,
// `stopAfter` the number of blocks after which a stop is requested (-1: never), and
// `unrecordedFrom` the first block whose record cannot be kept (-1: none).
struct PlannedRun {
    std::vector<ResultKind> results;
    int stopAfter;
    int exitCode;
    const char* statuses;  // W written, F failed, - not attempted
    int unrecordedFrom = -1;
};

TEST(WriteInOrder, FirstFailureOrStopDecidesAndEndsTheRun) {
    const PlannedRun runs[] = {
        {{W, W, W, W}, -1, 0, "WWWW"},
        {{W, kCard}, -1, 1, "WF--"},
        {{kCard}, -1, 1, "F---"},
        {{W, W, ResultKind::NoDevice}, -1, 3, "WWF-"},  // no card for a later block
        {{W, ResultKind::Abandoned}, -1, 130, "WF--"},  // abandoned by a second Ctrl+C
        {{W, W}, 2, 130, "WW--"},                       // first Ctrl+C during block 2
        {{W, kCard}, 2, 1, "WF--"},                     // Ctrl+C during block 2, which then fails
        {{}, 0, 130, "----"},                           // Ctrl+C before the first block
        {{W, W, W, W}, 4, 0, "WWWW"},                   // during the last block: all written
        {{W, ResultKind::SocketInUse}, -1, 5, "WF--"},  // the socket in use by another program
        {{W, ResultKind::SystemError}, -1, 1, "WF--"},  // a driver request failed
        {{W, W}, -1, 4, "WW--", 1},                     // block 2's record lost: no block after it
        {{W, W, W, W}, -1, 4, "WWWW", 3},               // the last block's record lost
        {{W, kCard}, -1, 1, "WF--", 1},                 // the failure came first
    };
    for (const PlannedRun& run : runs) {
        std::vector<BlockRecord> blocks;
        for (int block : {3, 12, 5, 9}) {
            BlockRecord record;
            record.block = block;
            record.bytes = 100;
            blocks.push_back(record);
        }
        std::size_t written = 0;
        std::string statuses;
        WriteSteps steps;
        steps.write = [&](std::size_t i) {
            EXPECT_EQ(i, written++);
            BlockRecord record = blocks[i];
            record.kind = run.results.at(i);
            record.status = record.kind == W ? BlockStatus::Written : BlockStatus::Failed;
            return record;
        };
        steps.stopRequested = [&] {
            return run.stopAfter >= 0 && written >= static_cast<std::size_t>(run.stopAfter);
        };
        steps.report = [&](std::size_t i, const BlockRecord& record) {
            EXPECT_EQ(i, statuses.size());
            EXPECT_EQ(record.block, blocks[i].block);
            EXPECT_EQ(record.bytes, 100u);
            statuses += record.status == BlockStatus::Written  ? 'W'
                        : record.status == BlockStatus::Failed ? 'F'
                                                               : '-';
            return run.unrecordedFrom < 0 || i < static_cast<std::size_t>(run.unrecordedFrom);
        };
        EXPECT_EQ(WriteInOrder(blocks, steps), run.exitCode) << run.statuses;
        EXPECT_EQ(statuses, run.statuses);
    }
}

}  // namespace
