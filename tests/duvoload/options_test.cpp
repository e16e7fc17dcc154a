#include "app/duvoload/plan/options.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseArguments, AcceptsTheDocumentedForms) {
    Options o;
    std::string error;
    ASSERT_TRUE(ParseArguments(
        {"--slot", "1", "--log", "run.log", "--quiet", "2=a.bin", "14=C:\\x y\\b.bin"}, &o, &error))
        << error;
    EXPECT_EQ(o.action, Action::Write);
    EXPECT_EQ(o.socket, 1u);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.logPath, "run.log");
    ASSERT_EQ(o.blocks.size(), 2u);
    EXPECT_EQ(o.blocks[0].block, 2);
    EXPECT_EQ(o.blocks[0].path, "a.bin");
    EXPECT_EQ(o.blocks[0].origin, "argument \"2=a.bin\"");
    EXPECT_EQ(o.blocks[1].block, 14);
    EXPECT_EQ(o.blocks[1].path, "C:\\x y\\b.bin");

    ASSERT_TRUE(ParseArguments({"--manifest", "m.txt"}, &o, &error)) << error;
    EXPECT_EQ(o.manifestPath, "m.txt");
    EXPECT_EQ(o.socket, 0u);
    ASSERT_TRUE(ParseArguments({"--slot", "3", "--probe"}, &o, &error)) << error;
    EXPECT_EQ(o.action, Action::Probe);
    EXPECT_EQ(o.socket, 3u);
    ASSERT_TRUE(ParseArguments({"--slot", "42", "2=a.bin"}, &o, &error)) << error;
    EXPECT_EQ(o.socket, 42u);
    ASSERT_TRUE(ParseArguments({"--slot", "99", "--probe"}, &o, &error)) << error;
    EXPECT_EQ(o.socket, 99u);
    // As a gang run starts each socket's process, which takes its blocks from its parent.
    ASSERT_TRUE(ParseArguments({"--slot", "5", "--gang-member", "plain", "--quiet"}, &o, &error))
        << error;
    EXPECT_EQ(o.gangMember, GangMember::Plain);
    EXPECT_EQ(o.socket, 5u);
    EXPECT_TRUE(o.sockets.empty());
    EXPECT_TRUE(o.blocks.empty());
    ASSERT_TRUE(ParseArguments(
        {"--station", "--slot", "1", "--cards", "3", "--json", "--tag", "WO 7 \xCE\xA9", "2=a.bin"},
        &o, &error))
        << error;
    EXPECT_TRUE(o.station);
    EXPECT_EQ(o.cards, 3u);
    EXPECT_TRUE(o.json);
    EXPECT_EQ(o.tag, "WO 7 \xCE\xA9");
    o = {};
    ASSERT_TRUE(
        ParseArguments({"--station", "--slots", "0,3", "--cards", "2", "2=a.bin"}, &o, &error))
        << error;
    EXPECT_TRUE(o.station);
    EXPECT_EQ(o.sockets, (std::vector<unsigned>{0, 3}));
    ASSERT_TRUE(ParseArguments({"2=a.bin", "--help"}, &o, &error));
    EXPECT_EQ(o.action, Action::Help);
    ASSERT_TRUE(ParseArguments({"--version"}, &o, &error));
    EXPECT_EQ(o.action, Action::Version);
}

TEST(ParseArguments, RefusesWithOneMessageNamingTheArgument) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--force", "2=a.bin"}, "unknown option \"--force\" (see --help)"},
        {{"1=a.bin"}, "argument \"1=a.bin\": block 1 is not between 2 and 14"},
        {{"15=a.bin"}, "argument \"15=a.bin\": block 15 is not between 2 and 14"},
        // 2^32 + 2: a block number that wraps to 2 in 32 bits.
        {{"4294967298=a.bin"},
         "argument \"4294967298=a.bin\": block 4294967298 is not between 2 and 14"},
        {{"x=a.bin"}, "argument \"x=a.bin\": block \"x\" is not a number"},
        {{"x="}, "argument \"x=\": block \"x\" is not a number"},
        {{"3="}, "argument \"3=\": no file after \"=\""},
        {{"=a.bin"}, "argument \"=a.bin\": no block number"},
        {{"a.bin"}, "argument \"a.bin\": expected BLOCK=FILE"},
        {{"2=a.bin", "02=b.bin"},
         "argument \"02=b.bin\": block 2 is already named by argument \"2=a.bin\""},
        {{}, "no block to write: name BLOCK=FILE or --manifest FILE (see --help)"},
        {{"--quiet"}, "no block to write: name BLOCK=FILE or --manifest FILE (see --help)"},
        {{"--slot"}, "option --slot: a value must follow"},
        {{"--slot", "x", "2=a"}, "option --slot \"x\": not a socket number (0 to 99)"},
        {{"--slot", "100", "2=a"}, "option --slot \"100\": not a socket number (0 to 99)"},
        {{"--log", "", "2=a"}, "option --log: the file name is empty"},
        {{"--manifest", "m", "2=a"}, "--manifest and BLOCK=FILE arguments cannot be combined"},
        {{"--probe", "2=a"}, "--probe writes nothing: it takes no blocks, manifest or log"},
        {{"--probe", "--log", "x"}, "--probe writes nothing: it takes no blocks, manifest or log"},
        {{"--manifest", "m", "--probe"},
         "--probe writes nothing: it takes no blocks, manifest or log"},
        // A gang member's blocks and socket come from its parent: a list of its own is refused.
        {{"--gang-member", "plain", "--slots", "0,1"},
         "--gang-member takes its blocks from the gang run that starts it"},
        {{"--gang-member", "live", "2=a"},
         "--gang-member takes its blocks from the gang run that starts it"},
        {{"--tag", "", "2=a"}, "option --tag: the tag is empty"},
        {{"--tag", "lot\t4", "2=a"},
         "option --tag \"lot\t4\": the tag holds the control character \\x09"},
        {{"--tag", "lot\x1B[2J", "2=a"},
         "option --tag \"lot\x1B[2J\": the tag holds the control character \\x1B"},
        {{"--tag", "lot\r\n", "2=a"},
         "option --tag \"lot\r\n\": the tag holds the control character \\x0D"},
        {{"--tag", "lot\xC2\x85", "2=a"},
         "option --tag \"lot\xC2\x85\": the tag holds the control character \\u0085"},
        {{"--cards", "2", "2=a"}, "--cards counts the cards of a station: it takes --station"},
        {{"--station", "--cards", "0", "2=a"},
         "option --cards \"0\": not a number of cards (1 or more)"},
        {{"--station", "--cards", "x", "2=a"},
         "option --cards \"x\": not a number of cards (1 or more)"},
        {{"--station", "--probe"},
         "--probe writes nothing: it takes no --station, --json or --tag"},
    };
    for (const auto& c : cases) {
        Options o;
        std::string error;
        EXPECT_FALSE(ParseArguments(c.args, &o, &error)) << c.message;
        EXPECT_EQ(error, c.message);
    }
}

}  // namespace
