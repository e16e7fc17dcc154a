// A gang run's command line (--slots), its exit code and its summary line.
#include <gtest/gtest.h>

#include "app/duvoload/gang/gang_protocol.h"
#include "app/duvoload/gang/gang_report.h"
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
        EXPECT_EQ(o.slots, c.sockets) << c.list;
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

TEST(GangProtocol, EachLineOfASocketKeepsWhereItBelongs) {
    const struct {
        MemberLine kind;
        const char* text;
    } lines[] = {{MemberLine::Result, "block 3: written 20000 bytes in 1.20 s (16.28 KB/s)"},
                 {MemberLine::Message, "Duvo1 not respond [87025353]"},
                 {MemberLine::Progress, "block 3: sending 40% (8192 of 20000 bytes, 3.10 KB/s)"},
                 {MemberLine::Result, ""}};
    for (const auto& line : lines) {
        std::string text;
        EXPECT_EQ(UntagMemberLine(TagMemberLine(line.kind, line.text), &text), line.kind);
        EXPECT_EQ(text, line.text);
    }
    std::string text;
    EXPECT_EQ(UntagMemberLine("a stray line", &text), MemberLine::Message);
    EXPECT_EQ(text, "a stray line");
    // The parent counts the blocks a socket reported by their result lines.
    EXPECT_EQ(ResultLineBlock("block 14: failed [87025353] Duvo1 not respond"), 14);
    EXPECT_EQ(ResultLineBlock("block 3: not attempted"), 3);
    EXPECT_EQ(ResultLineBlock("blocks: 3"), 0);
    EXPECT_EQ(ResultLineBlock("block 123: written"), 0);
}

}  // namespace
