// The card's packet protocol: which packets it answers and how, when it writes flash, and the
// replies its fault plan changes.
#include "card_model_fixture.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

using namespace card_model_testing;

TEST_F(CardModelTest, MalformedDownloadRequestsGetNoReply) {
    const Bytes cases[] = {
        Concat({0xFE, 0x00}, Text("DVDN000e")),   // lower-case hex
        Concat({0xFE, 0x00}, Text("DVDN0010")),   // block 16
        Concat({0xFE, 0x01}, Text("DVDN0002")),   // byte 1 not zero
        Concat({0xFE, 0x00}, Text("DVDX0002")),   // wrong letters
        Concat({0xFE, 0x00}, Text("DVDN00020")),  // 11 bytes
    };
    for (const Bytes& request : cases) Send(request);
    EXPECT_FALSE(CardPacketPending());
    EXPECT_EQ(card_.counters().protocolErrors, 5u);
    Send(DownloadRequest(15));
    EXPECT_TRUE(CardPacketPending());
}

TEST_F(CardModelTest, BadDataPacketsAreNotAcknowledged) {
    const Bytes image = Image(512);
    Send(DownloadRequest(4));
    Receive();
    Send(DataPacket(0, image));
    EXPECT_EQ(Receive(), kAck);

    Bytes badChecksum = DataPacket(128, image);
    badChecksum[134] ^= 1;
    Bytes badLength = DataPacket(128, image);
    badLength.pop_back();
    for (const Bytes& bad :
         {badChecksum, DataPacket(256, image), DataPacket(0x80000000, image), badLength}) {
        Send(bad);
        EXPECT_EQ(Receive(), kNak);
    }
    EXPECT_EQ(card_.counters().dataPacketsRejected, 4u);

    Send(DataPacket(0, image));  // a retry of the last chunk is taken again
    EXPECT_EQ(Receive(), kAck);
    Send(DataPacket(128, image));
    EXPECT_EQ(Receive(), kAck);
    EXPECT_EQ(card_.counters().dataPacketsAccepted, 3u);
}

TEST_F(CardModelTest, DataBeforeAnyDownloadRequestIsRejected) {
    Send(DataPacket(0, Image(128)));
    EXPECT_EQ(Receive(), kNak);
    Send(kEndPacket);
    EXPECT_EQ(card_.counters().protocolErrors, 1u);
}

TEST_F(CardModelTest, ABlockIsWrittenOnlyWhenProgrammingEnds) {
    CardConfig config;
    config.programmingTimeMs = 30;
    Configure(config);
    std::vector<uint32_t> programmed;
    card_.SetBlockProgrammed(
        [](void* c, uint32_t block, const uint8_t*, uint32_t length) {
            static_cast<std::vector<uint32_t>*>(c)->insert(
                static_cast<std::vector<uint32_t>*>(c)->end(), {block, length});
        },
        &programmed);

    const Bytes image = Image(300);
    SendWholeImage(5, image);
    nowUs_ += 29'999;
    EXPECT_FALSE(CardPacketPending());
    EXPECT_EQ(controls_.BlockLength(5), 0u);
    EXPECT_EQ(controls_.BlockData(5)[0], 0xFF);

    nowUs_ += 1;
    EXPECT_EQ(Receive(), kFlashDone);
    ASSERT_EQ(controls_.BlockLength(5), 384u);  // three whole chunks, zero-filled
    EXPECT_TRUE(std::equal(image.begin(), image.end(), controls_.BlockData(5)));
    EXPECT_TRUE(std::all_of(controls_.BlockData(5) + 300, controls_.BlockData(5) + 384,
                            [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(programmed, (std::vector<uint32_t>{5, 384}));
    EXPECT_EQ(card_.counters().blocksProgrammed, 1u);
}

TEST_F(CardModelTest, AnInterruptedDownloadLeavesTheFlashAlone) {
    CardConfig config;
    config.faults.flash = FlashFault::kNever;
    Configure(config);
    SendWholeImage(6, Image(256));
    nowUs_ += 10'000'000;
    EXPECT_FALSE(CardPacketPending());

    card_.Configure(CardConfig{});
    card_.Open();  // the next download starts afresh
    Send(DownloadRequest(6));
    Receive();
    Send(DataPacket(0, Image(256)));
    Receive();
    card_.Open();
    nowUs_ += 10'000'000;
    EXPECT_FALSE(CardPacketPending());
    EXPECT_EQ(controls_.BlockLength(6), 0u);
    EXPECT_EQ(card_.counters().blocksProgrammed, 0u);
}

TEST_F(CardModelTest, CompletionFaults) {
    struct Case {
        const char* what;
        FlashFault flash;
        uint32_t polls;
        uint32_t lateAcks;
        std::vector<Bytes> packets;  // in order, one per status poll that shows a packet
        uint32_t emptyPollsFirst;
    };
    const Case cases[] = {
        {"after polls", FlashFault::kAfterPolls, 4, 0, {kFlashDone}, 3},
        {"two bytes", FlashFault::kTwoBytes, 0, 0, {{0xF7, 0x00}}, 0},
        {"wrong text", FlashFault::kWrongText, 0, 0, {Concat({0xF7, 0x00}, Text("FAIL"))}, 0},
        {"last letter", FlashFault::kLastLetter, 0, 0, {Concat({0xF7, 0x00}, Text("DON?"))}, 0},
        {"late acks", FlashFault::kNone, 0, 2, {kAck, kAck, kFlashDone}, 0},
    };
    for (const Case& c : cases) {
        CardConfig config;
        config.programmingTimeMs = 0;
        config.faults.flash = c.flash;
        config.faults.flashDonePolls = c.polls;
        config.faults.lateAcks = c.lateAcks;
        Configure(config);
        SendWholeImage(7, Image(128));
        for (uint32_t i = 0; i < c.emptyPollsFirst; ++i)
            EXPECT_FALSE(CardPacketPending()) << c.what;
        for (const Bytes& expected : c.packets) EXPECT_EQ(Receive(), expected) << c.what;
        EXPECT_FALSE(CardPacketPending()) << c.what;
        EXPECT_EQ(controls_.BlockLength(7), 128u) << c.what;
    }
}

TEST_F(CardModelTest, AcknowledgementFaultsHitTheChosenChunkAndAttempts) {
    const std::pair<ReplyFault, const char*> faults[] = {{ReplyFault::kWrongText, "RxNG"},
                                                         {ReplyFault::kLastLetter, "RxO?"}};
    for (const auto& [fault, text] : faults) {
        CardConfig config;
        config.faults.ackReply = fault;
        config.faults.ackFaultChunk = 1;
        config.faults.ackFaultAttempts = 2;
        config.faults.silentAfterChunk = 2;
        Configure(config);
        const Bytes image = Image(384);
        Send(DownloadRequest(2));
        Receive();
        Send(DataPacket(0, image));
        EXPECT_EQ(Receive(), kAck);
        const Bytes wrongText = Concat({0xF2, 0x00}, Text(text));
        for (const Bytes& expected : {wrongText, wrongText, kAck}) {
            Send(DataPacket(128, image));
            EXPECT_EQ(Receive(), expected) << text;
        }
        Send(DataPacket(256, image));
        EXPECT_FALSE(CardPacketPending());
    }
}

TEST_F(CardModelTest, AReadyReplyWithItsLastLetterChanged) {
    CardConfig config;
    config.faults.requestReply = ReplyFault::kLastLetter;
    Configure(config);
    Send(DownloadRequest(2));
    EXPECT_EQ(Receive(), Concat({0xFE, 0x00}, Text("DUVORDYAN?")));
}

}  // namespace
