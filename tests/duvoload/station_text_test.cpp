#include "app/duvoload/station/station_text.h"

#include <gtest/gtest.h>

#include "app/duvoload/record/json_report.h"

namespace {

BlockRecord FailedBlock() {
    BlockRecord block;
    block.socket = 0;
    block.card = 3;
    block.block = 6;
    block.file = "C:\\Firmware\\\xCE\xA9.bin";
    block.bytes = 4000;
    block.sha256 = "ab";
    block.status = BlockStatus::Failed;
    block.kind = ResultKind::CardFailed;
    block.code = 0x87025353;
    block.message = "Duvo0 not respond [87025353]";
    block.time = "2026-12-08T06:17:03+01:00";
    block.seconds = 1.204;
    block.tag = "WO \"7\"";
    return block;
}

TEST(StationText, CardLinesStatesAndTotals) {
    CardRecord card;
    card.card = 3;
    card.end = CardEnd::Failed;
    card.stop = FailedBlock();
    EXPECT_EQ(CardLine(card), "socket 0 card 3: failed at block 6 [87025353] Duvo0 not respond");
    card.end = CardEnd::Written;
    EXPECT_EQ(CardLine(card), "socket 0 card 3: written");
    card.end = CardEnd::Interrupted;
    EXPECT_EQ(CardLine(card), "socket 0 card 3: not completely written (stopped before block 6)");

    EXPECT_EQ(StationStateLine(1, {StationPhase::Waiting, 0, CardEnd::Written}),
              "socket 1: waiting for a card");
    EXPECT_EQ(StationStateLine(1, {StationPhase::InUse, 0, CardEnd::Written}),
              "socket 1: waiting for a card (in use by another program)");
    EXPECT_EQ(StationStateLine(1, {StationPhase::Remove, 3, CardEnd::Written}),
              "socket 1 card 3: written - remove the card");
    EXPECT_EQ(StationStateLine(1, {StationPhase::Remove, 4, CardEnd::Failed}),
              "socket 1 card 4: FAILED - remove the card");

    const std::vector<SocketCount> sockets = {{0, {3, 0, false, false}}, {1, {2, 1, false, false}}};
    EXPECT_EQ(StationTotalsLine(sockets), "cards: 5 written, 1 failed");
    EXPECT_EQ(StationSummaryLine(sockets),
              "5 cards written, 1 failed (socket 0: 3 written, 0 failed; socket 1: 2 written, 1 "
              "failed)");
    EXPECT_EQ(StationSummaryLine({{1, {1, 0, false, false}}}),
              "1 card written, 0 failed (socket 1: 1 written, 0 failed)");
    EXPECT_EQ(CardProgressLine(1, 4, "block 3: sending 41%"),
              "socket 1 card 4: block 3: sending 41%");
}

TEST(JsonReport, OneObjectOfEachKind) {
    EXPECT_EQ(
        JsonBlockObject(FailedBlock()),
        R"({"schema":1,"object":"block","socket":0,"card":3,"block":6,)"
        R"("file":"C:\\Firmware\\\u03A9.bin","bytes":4000,"sha256":"ab",)"
        R"("result":"card-failed","code":"87025353","message":"Duvo0 not respond [87025353]",)"
        R"("started":"2026-12-08T06:17:03+01:00","seconds":1.20,"tag":"WO \"7\""})");
    BlockRecord written = FailedBlock();
    written.status = BlockStatus::Written;
    written.kind = ResultKind::Written;
    written.code = 0;
    written.message.clear();
    written.card = 0;
    written.tag.clear();
    EXPECT_EQ(JsonBlockObject(written),
              R"({"schema":1,"object":"block","socket":0,"card":null,"block":6,)"
              R"("file":"C:\\Firmware\\\u03A9.bin","bytes":4000,"sha256":"ab",)"
              R"("result":"written","code":null,"message":null,)"
              R"("started":"2026-12-08T06:17:03+01:00","seconds":1.20,"tag":null})");
    const CardRecord card{.socket = 0,
                          .card = 3,
                          .end = CardEnd::Failed,
                          .stop = FailedBlock(),
                          .time = "2026-12-08T06:17:02+01:00",
                          .seconds = 2.5,
                          .tag = "lot"};
    EXPECT_EQ(JsonCardObject(card),
              R"({"schema":1,"object":"card","socket":0,"card":3,"result":"failed","block":6,)"
              R"("code":"87025353","message":"Duvo0 not respond [87025353]",)"
              R"("started":"2026-12-08T06:17:02+01:00","seconds":2.50,"tag":"lot"})");
    EXPECT_EQ(JsonRunObject(1, "lot", {{0, 0, true, 2, 0}, {1, 1, true, 1, 1}}),
              R"({"schema":1,"object":"run","exit_code":1,"tag":"lot","sockets":[)"
              R"({"socket":0,"exit_code":0,"cards_written":2,"cards_failed":0},)"
              R"({"socket":1,"exit_code":1,"cards_written":1,"cards_failed":1}]})");
}

}  // namespace
