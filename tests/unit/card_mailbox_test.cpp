// The card's register mailbox: when it takes a host packet, how it announces and withdraws its
// own packets.
#include "card_model_fixture.h"

#include <algorithm>

namespace {

using namespace card_model_testing;

TEST_F(CardModelTest, HostWriteShowsOnlyWhileAnAcceptedPacketIsOpen) {
    EXPECT_EQ(Read(kControl), 0);
    Write(kControl, 1);
    EXPECT_EQ(Read(kControl), kHostWrite);
    Write(kControl, 0);
    EXPECT_EQ(Read(kControl), 0);

    CardConfig config;
    config.faults.refuseHostPackets = true;
    Configure(config);
    Write(kControl, 1);
    EXPECT_EQ(Read(kControl), 0);
    Write(kControl, 0);
    EXPECT_EQ(card_.counters().hostPackets, 1u);  // only the first, accepted one
}

TEST_F(CardModelTest, ACardPacketIsWithdrawnAfterItsLengthAndEveryDataByte) {
    Send(DownloadRequest(3));
    EXPECT_EQ(Read(kControl), kCardPacket);
    EXPECT_EQ(Read(kLengthLo), 12);
    EXPECT_EQ(Read(kLengthHi), 0);
    Bytes reply;
    for (int i = 0; i < 11; ++i) reply.push_back(Read(kData));
    EXPECT_TRUE(CardPacketPending());
    reply.push_back(Read(kData));
    EXPECT_FALSE(CardPacketPending());
    EXPECT_EQ(reply, Concat({0xFE, 0x00}, Text("DUVORDYANG")));
}

TEST_F(CardModelTest, AnEmptyCardPacketIsWithdrawnAfterBothLengthBytes) {
    CardConfig config;
    config.faults.requestReply = ReplyFault::kEmpty;
    Configure(config);
    Send(DownloadRequest(3));
    EXPECT_EQ(Read(kLengthLo), 0);
    EXPECT_TRUE(CardPacketPending());
    EXPECT_EQ(Read(kLengthHi), 0);
    EXPECT_FALSE(CardPacketPending());
}

TEST_F(CardModelTest, LongPacketsAreGeneratedWithoutBeingStored) {
    struct Case {
        uint32_t pending;
        uint32_t extra;
        uint32_t expected;
    };
    for (const Case& c : {Case{300, 0, 300}, Case{0, 65535 - 12, 65535}}) {
        CardConfig config;
        config.faults.pendingPacketLength = c.pending;
        config.faults.replyExtraBytes = c.extra;
        Configure(config);
        if (c.pending == 0) Send(DownloadRequest(3));
        const Bytes packet = Receive();
        ASSERT_EQ(packet.size(), c.expected);
        if (c.pending == 0) {
            EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 12),
                      Concat({0xFE, 0x00}, Text("DUVORDYANG")));
            EXPECT_TRUE(
                std::all_of(packet.begin() + 12, packet.end(), [](uint8_t b) { return b == 0; }));
        }
        EXPECT_FALSE(CardPacketPending());
    }
}

TEST_F(CardModelTest, APendingPacketIsAnnouncedAgainAtEveryOpen) {
    CardConfig config;
    config.faults.pendingPacketLength = 5;
    Configure(config);
    card_.Open();
    EXPECT_EQ(Receive().size(), 5u);
    EXPECT_FALSE(CardPacketPending());
    card_.Open();
    EXPECT_TRUE(CardPacketPending());
}

}  // namespace
