// A gang run's command line (--slots), its exit code and its summary line.
#include <gtest/gtest.h>

#include "app/duvoload/gang/gang_protocol.h"
#include "app/duvoload/gang/gang_report.h"
#include "app/duvoload/gang/member_command.h"
#include "app/duvoload/gang/member_lines.h"
#include "app/duvoload/plan/options.h"
#include "app/duvoload/record/outcome.h"
#include "app/duvoload/plan/sha256.h"

namespace {

TEST(Slots, TakesSocketsAndRangesInTheOrderGiven) {
    const struct {
        const char* list;
        std::vector<unsigned> sockets;
    } cases[] = {
        {"0,1,2,3", {0, 1, 2, 3}}, {"0-3", {0, 1, 2, 3}}, {"3,0-1", {3, 0, 1}},
        {"1-1,0", {1, 0}},         {"98-99", {98, 99}},   {"07,2", {7, 2}},
    };
    for (const auto& c : cases) {
        Options o;
        std::string error;
        ASSERT_TRUE(ParseArguments({"--slots", c.list, "2=a.bin"}, &o, &error)) << c.list << error;
        EXPECT_EQ(o.sockets, c.sockets) << c.list;
        EXPECT_EQ(o.action, Action::Write);
    }
}

TEST(Slots, RefusesWithOneMessageNamingTheList) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--slots", "0,0", "2=a.bin"}, "option --slots \"0,0\": socket 0 is named twice"},
        {{"--slots", "0-2,1", "2=a.bin"}, "option --slots \"0-2,1\": socket 1 is named twice"},
        {{"--slots", "9", "2=a.bin"},
         "option --slots \"9\": a gang is two sockets or more; for one socket use --slot 9"},
        {{"--slots", "1-0", "2=a.bin"}, "option --slots \"1-0\": the range \"1-0\" runs backwards"},
        {{"--slots", "", "2=a.bin"}, "option --slots \"\": the list is empty"},
        {{"--slots", "0,,1", "2=a.bin"}, "option --slots \"0,,1\": an empty item in the list"},
        {{"--slots", "0,1,", "2=a.bin"}, "option --slots \"0,1,\": an empty item in the list"},
        {{"--slots", "0,100", "2=a.bin"},
         "option --slots \"0,100\": \"100\" is not a socket number (0 to 99) or a range of them "
         "(0-3)"},
        {{"--slots", "0, 1", "2=a.bin"},
         "option --slots \"0, 1\": \" 1\" is not a socket number (0 to 99) or a range of them "
         "(0-3)"},
        {{"--slots", "-1,2", "2=a.bin"},
         "option --slots \"-1,2\": \"-1\" is not a socket number (0 to 99) or a range of them "
         "(0-3)"},
        {{"--slots"}, "option --slots: a value must follow"},
        {{"--slot", "1", "--slots", "0,2", "2=a.bin"}, "--slot and --slots cannot be combined"},
        {{"--slots", "0,1", "--probe"}, "--probe checks one socket: it takes --slot, not --slots"},
    };
    for (const auto& c : cases) {
        Options o;
        std::string error;
        EXPECT_FALSE(ParseArguments(c.args, &o, &error)) << c.message;
        EXPECT_EQ(error, c.message);
    }
}

TEST(GangReport, TheFirstSocketOfTheListThatDidNotWriteEverythingDecides) {
    EXPECT_EQ(GangExitCode({0, 0, 0, 0}), EXIT_ALL_WRITTEN);
    EXPECT_EQ(GangExitCode({0, EXIT_SOCKET_IN_USE, EXIT_NO_CARD, 0}), EXIT_SOCKET_IN_USE);
    EXPECT_EQ(GangExitCode({EXIT_INTERRUPTED, EXIT_DOWNLOAD_FAILED}), EXIT_INTERRUPTED);
    // --slots 0,5: socket 0 failed, socket 5 is empty; socket 0 is to blame.
    EXPECT_EQ(GangExitCode({EXIT_DOWNLOAD_FAILED, EXIT_NO_CARD}), EXIT_DOWNLOAD_FAILED);
    EXPECT_EQ(GangSummaryLine({0, 1, 2, 3}, {0, 1, 0, 0}),
              "3 of 4 sockets written (socket 0: 0, socket 1: 1, socket 2: 0, socket 3: 0)");
    EXPECT_EQ(GangSummaryLine({5, 2}, {3, 5}), "0 of 2 sockets written (socket 5: 3, socket 2: 5)");
}

PlannedBlock Planned(int block, const std::string& path, const std::string& bytes) {
    PlannedBlock planned;
    planned.block = block;
    planned.fullPath = path;
    planned.image.bytes.assign(bytes.begin(), bytes.end());
    planned.image.sha256 = Sha256Hex(planned.image.bytes.data(), planned.image.bytes.size());
    return planned;
}

TEST(GangProtocol, APlanReachesEachSocketAsItWasChecked) {
    // Bytes a line-based reader would trip on: line ends, NULs, a path with a space and a
    // name outside ASCII.
    const std::vector<PlannedBlock> plan = {
        Planned(2, "C:\\x y\\\xce\xa9mega.bin", std::string("a\nb\0\r\nend\n", 11)),
        Planned(14, "Z:\\b.bin", std::string(128, '\xff'))};
    const std::string data = EncodeGangPlan(plan);
    std::vector<PlannedBlock> decoded;
    std::string error;
    ASSERT_TRUE(DecodeGangPlan(data, &decoded, &error)) << error;
    ASSERT_EQ(decoded.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(decoded[i].block, plan[i].block);
        EXPECT_EQ(decoded[i].fullPath, plan[i].fullPath);
        EXPECT_EQ(decoded[i].image.bytes, plan[i].image.bytes);
        EXPECT_EQ(decoded[i].image.sha256, plan[i].image.sha256);
    }
    // Cut short anywhere, or with one image byte changed, the plan is refused whole.
    for (std::size_t length = 0; length < data.size(); length += 7) {
        EXPECT_FALSE(DecodeGangPlan(data.substr(0, length), &decoded, &error)) << length;
    }
    std::string changed = data;
    changed[changed.find("a\nb")] = 'A';
    EXPECT_FALSE(DecodeGangPlan(changed, &decoded, &error));
    EXPECT_EQ(error, "the plan's image of block 2 does not match its SHA-256");
    EXPECT_FALSE(DecodeGangPlan(data + "x", &decoded, &error));
    // A block the card does not have is refused, however well formed its entry.
    for (const int block : {0, 1, 15, 99}) {
        EXPECT_FALSE(
            DecodeGangPlan(EncodeGangPlan({Planned(block, "Z:\\b.bin", "x")}), &decoded, &error))
            << block;
        EXPECT_EQ(error, "the plan from the gang run is incomplete or malformed");
    }
}

TEST(GangProtocol, AnImageOfSixDigitsOfBytesReachesItsSocket) {
    const std::vector<PlannedBlock> plan = {Planned(3, "Z:\\big.bin", std::string(100000, 'x'))};
    std::vector<PlannedBlock> decoded;
    std::string error;
    ASSERT_TRUE(DecodeGangPlan(EncodeGangPlan(plan), &decoded, &error)) << error;
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded[0].image.bytes.size(), 100000u);
}

TEST(MemberLines, ARecordComesBackFieldForFieldWhateverItsTextsHold) {
    BlockRecord record;
    record.socket = 5;
    record.block = 3;
    record.file = "C:\\a\tb\\n\r\n\xce\xa9.bin";
    record.bytes = 100000;
    record.sha256 = std::string(64, 'a');
    record.status = BlockStatus::Failed;
    record.kind = ResultKind::SystemError;
    record.code = 170;
    record.message = "block 4: Duvo5 failed [000000AA]";
    record.time = "2026-12-08T06:17:03+01:00";
    record.seconds = 1.25;
    record.card = 12;
    record.tag = "lot\\7 \"x\"";
    const std::string line = EncodeRecordLine(record);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const DecodedMemberLine decoded = DecodeMemberLine(line);
    ASSERT_EQ(decoded.kind, MemberLine::Record);
    const BlockRecord& back = decoded.record;
    EXPECT_EQ(back.socket, 5u);
    EXPECT_EQ(back.block, 3);
    EXPECT_EQ(back.file, record.file);
    EXPECT_EQ(back.bytes, 100000u);
    EXPECT_EQ(back.sha256, record.sha256);
    EXPECT_EQ(back.status, BlockStatus::Failed);
    EXPECT_EQ(back.kind, ResultKind::SystemError);
    EXPECT_EQ(back.code, 170u);
    EXPECT_EQ(back.message, record.message);
    EXPECT_EQ(back.time, record.time);
    EXPECT_EQ(back.seconds, 1.25);
    EXPECT_EQ(back.card, 12u);
    EXPECT_EQ(back.tag, record.tag);
}

// A station's socket tells its parent each state and each card's end as fields.
TEST(MemberLines, AStationsStatesAndCardsComeBackFieldForField) {
    for (const StationPhase phase : {StationPhase::Waiting, StationPhase::InUse,
                                     StationPhase::Writing, StationPhase::Remove}) {
        for (const CardEnd end :
             {CardEnd::Written, CardEnd::Failed, CardEnd::Interrupted, CardEnd::RecordLost}) {
            const DecodedMemberLine decoded = DecodeMemberLine(EncodeStateLine({phase, 7, end}));
            ASSERT_EQ(decoded.kind, MemberLine::State);
            EXPECT_EQ(decoded.state.phase, phase);
            EXPECT_EQ(decoded.state.card, 7u);
            EXPECT_EQ(decoded.state.end, end);
        }
    }
    CardRecord card;
    card.card = 4294967295u;
    card.end = CardEnd::Interrupted;
    card.time = "2026-12-08T06:17:03+01:00";
    card.seconds = 12.5;
    const DecodedMemberLine decoded = DecodeMemberLine(EncodeCardLine(card));
    ASSERT_EQ(decoded.kind, MemberLine::Card);
    EXPECT_EQ(decoded.card.card, card.card);
    EXPECT_EQ(decoded.card.end, CardEnd::Interrupted);
    EXPECT_EQ(decoded.card.time, card.time);
    EXPECT_EQ(decoded.card.seconds, 12.5);
    // A field missing or a word never sent: shown as text, taken for nothing.
    for (const char* line :
         {"S writing\t7", "S dreaming\t7\twritten", "C 4\twritten\tt", "C x\twritten\tt\t1.000"}) {
        EXPECT_EQ(DecodeMemberLine(line).kind, MemberLine::Message) << line;
    }
}

// Only a record counts as a block reported: a message or a progress line that reads like a
// result line (any wording) is shown as text and counts for nothing.
TEST(MemberLines, OnlyARecordReportsABlock) {
    const struct {
        std::string line;
        MemberLine kind;
        const char* text;
    } cases[] = {
        {EncodeTextLine(MemberLine::Message, "block 3: written"), MemberLine::Message,
         "block 3: written"},
        {EncodeTextLine(MemberLine::Progress, "block 3: sending 40%"), MemberLine::Progress,
         "block 3: sending 40%"},
        {EncodeTextLine(MemberLine::Message, "a \\ and a\ttab"), MemberLine::Message,
         "a \\ and a\ttab"},
        {"block 3: written 1 bytes", MemberLine::Message, "block 3: written 1 bytes"},
        {"R block 3: written", MemberLine::Message, "R block 3: written"},
        {"M a \\q", MemberLine::Message, "M a \\q"},
    };
    for (const auto& c : cases) {
        const DecodedMemberLine decoded = DecodeMemberLine(c.line);
        EXPECT_EQ(decoded.kind, c.kind) << c.line;
        EXPECT_EQ(decoded.text, c.text) << c.line;
    }
}

// The parent's view of a socket's process that has ended: its code, whether it reported every
// block, whether the parent could keep the records it added.
TEST(GangReport, ASocketsCodeFromHowItsProcessEnded) {
    const struct {
        unsigned long processCode;
        bool everyBlockReported;
        bool recordsKept;
        int exitCode;
    } cases[] = {
        {0, true, true, 0},
        {3, true, true, 3},
        {130, true, true, 130},
        {2, false, true, 2},  // refused its plan: no block taken up
        {0, false, true, 1},  // Wine's code for a killed process
        {0xC0000005, true, true, 1},
        {0xC0000005, false, false, 1},  // dead, and its blocks' records lost: still 1
        {0, true, false, 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SocketExitCode(c.processCode, c.everyBlockReported, c.recordsKept), c.exitCode)
            << c.processCode << " " << c.everyBlockReported << c.recordsKept;
    }
}

TEST(GangReport, ASocketsOwnLinesNameIt) {
    EXPECT_EQ(GangMessageLine(5, "duvoload: hint: no card driver answers"),
              "duvoload: socket 5: hint: no card driver answers");
    EXPECT_EQ(GangMessageLine(5, "Duvo5 not respond [87025353]"), "Duvo5 not respond [87025353]");
    BlockRecord record;
    record.socket = 2;
    record.block = 4;
    EXPECT_EQ(GangResultLine(record), "socket 2 block 4: not attempted");
}

TEST(GangReport, EverySocketsProcessSharesTheRunsOptions) {
    Options options;
    EXPECT_EQ(MemberCommandLine(u"C:\\duvoload.exe", options, 5, true),
              u"C:\\duvoload.exe --slot 5 --gang-member live");
    options.quiet = true;
    options.logPath = "C:\\a b\\f.log";
    EXPECT_EQ(MemberCommandLine(u"C:\\p q\\duvoload.exe", options, 0, false),
              u"\"C:\\p q\\duvoload.exe\" --slot 0 --gang-member plain --quiet --log \"C:\\a "
              u"b\\f.log\"");
    options = {};
    options.station = true;
    options.cards = 3;
    EXPECT_EQ(MemberCommandLine(u"C:\\duvoload.exe", options, 1, true),
              u"C:\\duvoload.exe --slot 1 --gang-member live --station --cards 3");
}

}  // namespace
