#include "cardlink/mailbox.h"

#include <gtest/gtest.h>

#include <vector>

#include "register_script.h"

namespace {

using R = RegisterScript;
using Log = std::vector<RegisterAccess>;

constexpr DWORD kData = REG_DATA;
constexpr DWORD kControl = REG_CONTROL;
constexpr DWORD kLo = REG_LENGTH_LO;
constexpr DWORD kHi = REG_LENGTH_HI;

class MailboxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        win32_standin::Reset();
        device = card.OpenHandle();
    }

    void AnnounceAt(int poll, DWORD length, BYTE extraStatusBits = 0) {
        card.status = [poll, extraStatusBits](int read) {
            return static_cast<BYTE>((read >= poll ? STATUS_CARD_PACKET : 0) | extraStatusBits);
        };
        card.cardLength = length;
        card.cardBytes.clear();
        for (DWORD i = 0; i < length; ++i) {
            card.cardBytes.push_back(static_cast<BYTE>(i * 7 + 1));
        }
    }

    std::size_t Count(bool write, DWORD offset) const {
        std::size_t n = 0;
        for (const RegisterAccess& access : card.log) {
            n += access.write == write && access.registerNumber == R::kBase + offset;
        }
        return n;
    }

    RegisterScript card;
    HANDLE device = nullptr;
    BYTE buffer[300] = {};
    WORD length = 0xBEEF;
};

TEST_F(MailboxTest, ReceiveStoresAtMost255BytesAndDrainsTheRest) {
    struct Case {
        DWORD packetLength;
        WORD stored;
    };
    for (const Case c : {Case{0, 0}, Case{6, 6}, Case{255, 255}, Case{256, 255}, Case{0x0134, 255},
                         Case{65535, 255}}) {
        SCOPED_TRACE(c.packetLength);
        card.log.clear();
        RegisterScript fresh("\\\\.\\script1");
        const HANDLE handle = fresh.OpenHandle();
        fresh.status = [](int) { return STATUS_CARD_PACKET; };
        fresh.cardLength = c.packetLength;
        fresh.cardBytes.assign(c.packetLength, 0);
        for (DWORD i = 0; i < c.packetLength; ++i) {
            fresh.cardBytes[i] = static_cast<BYTE>(i + 3);
        }
        BYTE out[300] = {};
        WORD got = 0xBEEF;
        EXPECT_TRUE(ReceivePacket(handle, R::kBase, out, &got));
        EXPECT_EQ(c.stored, got);
        for (WORD i = 0; i < c.stored; ++i) {
            ASSERT_EQ(static_cast<BYTE>(i + 3), out[i]);
        }
        EXPECT_EQ(0, out[c.stored]);
        // One status read, both length registers low byte first, then every data byte.
        ASSERT_EQ(3u + c.packetLength, fresh.log.size());
        EXPECT_EQ(R::R(kControl, STATUS_CARD_PACKET), fresh.log[0]);
        EXPECT_EQ(R::R(kLo, c.packetLength & 0xFF), fresh.log[1]);
        EXPECT_EQ(R::R(kHi, c.packetLength >> 8), fresh.log[2]);
        EXPECT_EQ(0u, win32_standin::SleepCount());
    }
}

TEST_F(MailboxTest, ReceiveWithoutBufferReadsExactlyTheAnnouncedBytes) {
    AnnounceAt(0, 308);
    EXPECT_TRUE(ReceivePacket(device, R::kBase, nullptr, nullptr));
    EXPECT_EQ(308u, Count(false, kData));
    EXPECT_EQ(311u, card.log.size());
    EXPECT_EQ(0u, Count(true, kControl));
}

TEST_F(MailboxTest, ReceiveGivesUpAfterFortyPollsEachFollowedByASleep) {
    EXPECT_FALSE(ReceivePacket(device, R::kBase, buffer, &length));
    EXPECT_EQ(0, length);
    EXPECT_EQ(40u, card.log.size());
    EXPECT_EQ(40u, Count(false, kControl));
    EXPECT_EQ(40u, win32_standin::SleepCount());
    EXPECT_EQ(80u, win32_standin::SleptMs());
}

TEST_F(MailboxTest, ReceiveTakesAPacketAnnouncedAtTheFortiethPoll) {
    AnnounceAt(39, 6);
    EXPECT_TRUE(ReceivePacket(device, R::kBase, buffer, &length));
    EXPECT_EQ(6, length);
    EXPECT_EQ(40u, Count(false, kControl));
    EXPECT_EQ(39u, win32_standin::SleepCount());
}

TEST_F(MailboxTest, ReceiveOnADeadDeviceTakesEveryBitForAFull0xFFPacket) {
    card.failWith = 1167;
    EXPECT_TRUE(ReceivePacket(device, R::kBase, buffer, &length));
    EXPECT_EQ(255, length);
    for (int i = 0; i < 255; ++i) {
        ASSERT_EQ(0xFF, buffer[i]);
    }
    EXPECT_EQ(65538u, card.log.size());
}

TEST_F(MailboxTest, SendOfTenBytesToAnAcceptingCard) {
    card.status = [](int) { return STATUS_HOST_WRITE; };
    const BYTE packet[10] = {0xFE, 0, 'D', 'V', 'D', 'N', '0', '0', '0', '2'};
    EXPECT_TRUE(SendPacket(device, R::kBase, packet, 10));
    Log expected = {R::R(kControl, STATUS_HOST_WRITE), R::W(kControl, 1),
                    R::R(kControl, STATUS_HOST_WRITE), R::W(kLo, 10), R::W(kHi, 0)};
    for (BYTE b : packet) {
        expected.push_back(R::W(kData, b));
    }
    expected.push_back(R::W(kControl, 0));
    EXPECT_EQ(expected, card.log);
}

TEST_F(MailboxTest, SendWritesTheLengthLowByteFirst) {
    card.status = [](int) { return STATUS_HOST_WRITE; };
    std::vector<BYTE> packet(300, 0xA5);
    EXPECT_TRUE(SendPacket(device, R::kBase, packet.data(), 300));
    EXPECT_EQ(R::W(kLo, 0x2C), card.log[3]);
    EXPECT_EQ(R::W(kHi, 0x01), card.log[4]);
    EXPECT_EQ(300u, Count(true, kData));
    EXPECT_EQ(306u, card.log.size());

    card.log.clear();
    EXPECT_TRUE(SendPacket(device, R::kBase, nullptr, 0));
    const Log empty = {R::R(kControl, STATUS_HOST_WRITE),
                       R::W(kControl, 1),
                       R::R(kControl, STATUS_HOST_WRITE),
                       R::W(kLo, 0),
                       R::W(kHi, 0),
                       R::W(kControl, 0)};
    EXPECT_EQ(empty, card.log);
}

TEST_F(MailboxTest, SendToACardThatDoesNotAcceptWritesOnlyTheBrackets) {
    const BYTE packet[12] = {0xF6};
    EXPECT_TRUE(SendPacket(device, R::kBase, packet, 12));
    const Log expected = {R::R(kControl, 0), R::W(kControl, 1), R::R(kControl, 0),
                          R::W(kControl, 0)};
    EXPECT_EQ(expected, card.log);
}

TEST_F(MailboxTest, SendFirstDrainsAPendingCardPacket) {
    // The packet is pending for the first two status reads, then the host may write.
    card.status = [](int read) { return read < 2 ? STATUS_CARD_PACKET : STATUS_HOST_WRITE; };
    card.cardLength = 3;
    card.cardBytes = {0xF2, 0x00, 'R'};
    const BYTE packet[1] = {0x42};
    EXPECT_TRUE(SendPacket(device, R::kBase, packet, 1));
    const Log expected = {R::R(kControl, STATUS_CARD_PACKET),
                          R::R(kControl, STATUS_CARD_PACKET),
                          R::R(kLo, 3),
                          R::R(kHi, 0),
                          R::R(kData, 0xF2),
                          R::R(kData, 0x00),
                          R::R(kData, 'R'),
                          R::W(kControl, 1),
                          R::R(kControl, STATUS_HOST_WRITE),
                          R::W(kLo, 1),
                          R::W(kHi, 0),
                          R::W(kData, 0x42),
                          R::W(kControl, 0)};
    EXPECT_EQ(expected, card.log);
}

}  // namespace
