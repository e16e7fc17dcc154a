#include "download/transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <type_traits>
#include <vector>

#include "card_fixture.h"

namespace {

using virtualcard::FlashFault;
using virtualcard::ReplyFault;

class TransferTest : public CardTest {
  protected:
    bool Transfer(const std::vector<BYTE>& image) {
        const HANDLE device = OpenCard();
        ForgetPercents();
        percent = kUntouched;
        if (!RequestDownload(device, config.registerBase, 5)) {
            ADD_FAILURE() << "the card refused the request";
            return false;
        }
        Card().ClearTrace();
        const bool ok = TransferImage(kOwner, device, config.registerBase, image.data(),
                                      static_cast<DWORD>(image.size()), &percent);
        NotePercent();
        return ok;
    }

    std::vector<std::vector<BYTE>> DataPackets() const {
        std::vector<std::vector<BYTE>> data;
        for (auto& packet : HostPackets()) {
            if (!packet.empty() && packet[0] == PKT_DATA) {
                data.push_back(packet);
            }
        }
        return data;
    }

    std::size_t PostedAppMessages() const {
        std::size_t n = 0;
        for (const auto& m : win32_standin::PostedMessages()) {
            n += m.window == kOwner && m.message == WM_APP && m.wParam == 0 && m.lParam == 0;
        }
        return n;
    }

    static std::vector<LONG> Ramp(int budget) {
        std::vector<LONG> ramp;
        for (int i = 0; i < budget; ++i) {
            const LONG value = i * 100 / budget;
            if (ramp.empty() || ramp.back() != value) {
                ramp.push_back(value);
            }
        }
        return ramp;
    }
};

TEST(DataPacket, CarriesOffsetChunkZeroFillAndXorChecksumLittleEndian) {
    const BYTE image[3] = {0x11, 0x22, 0x33};
    BYTE packet[256];
    std::fill(std::begin(packet), std::end(packet), 0xCC);
    BuildDataPacket(packet, image, 3, 0);
    EXPECT_EQ(0xF0, packet[0]);
    EXPECT_EQ(0x00, packet[1]);
    EXPECT_EQ((std::vector<BYTE>{0, 0, 0, 0}), std::vector<BYTE>(packet + 2, packet + 6));
    EXPECT_EQ((std::vector<BYTE>{0x11, 0x22, 0x33, 0x00}),
              std::vector<BYTE>(packet + 6, packet + 10));
    for (int i = 9; i < 134; ++i) {
        ASSERT_EQ(0, packet[i]) << i;
    }
    EXPECT_EQ(0x11 ^ 0x33, packet[134]);  // even bytes 6, 8, ...
    EXPECT_EQ(0x22, packet[135]);         // odd bytes 7, 9, ...
    EXPECT_EQ(0xCC, packet[136]);

    std::vector<BYTE> big(65536 + 200, 0x5A);
    BuildDataPacket(packet, big.data(), static_cast<DWORD>(big.size()), 65536);
    EXPECT_EQ((std::vector<BYTE>{0x00, 0x00, 0x01, 0x00}),
              std::vector<BYTE>(packet + 2, packet + 6));
    EXPECT_EQ(0, packet[134]);  // 64 equal words cancel out
    EXPECT_EQ(0, packet[135]);
}

TEST(FlashWait, BudgetGrowsWithEveryStarted64KiB) {
    EXPECT_EQ(0, FlashWaitBudget(0, 0));
    EXPECT_EQ(200, FlashWaitBudget(0, 1));
    EXPECT_EQ(20, FlashWaitBudget(1, 0));
    EXPECT_EQ(20, FlashWaitBudget(65536, 0));
    EXPECT_EQ(240, FlashWaitBudget(65537, 1));
    EXPECT_EQ(40, FlashWaitBudget(131072, 0));
    EXPECT_EQ(280, FlashWaitBudget(917503, 0));
    EXPECT_EQ(480, FlashWaitBudget(917503, 1));
    EXPECT_EQ(20 * 65536, FlashWaitBudget(0xFFFFFFFF, 0));
}

// Image sizes: chunks sent, the percent shown after each acknowledgement, what lands in flash.
TEST_F(TransferTest, ImagesOfEverySizeLandWhole) {
    struct Case {
        std::size_t length;
        std::vector<LONG> dataPercents;
    };
    const Case cases[] = {
        {1, {0}}, {128, {0}}, {129, {0, 99}}, {1000, {0, 12, 25, 38, 51, 64, 76, 89}}, {65537, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        win32_standin::Reset();
        const std::vector<BYTE> image = Image(c.length, static_cast<unsigned>(c.length));
        const std::size_t chunks = (c.length + 127) / 128;
        Card().Configure(config);
        ASSERT_TRUE(Transfer(image));

        const auto data = DataPackets();
        ASSERT_EQ(chunks, data.size());
        for (std::size_t k = 0; k < chunks; ++k) {
            std::vector<BYTE> expected(136);
            BuildDataPacket(expected.data(), image.data(), static_cast<DWORD>(c.length),
                            static_cast<DWORD>(k * 128));
            ASSERT_EQ(expected, data[k]) << "chunk " << k;
        }
        const auto packets = HostPackets();
        EXPECT_EQ((std::vector<BYTE>{0xF6, 0, 'D', 'O', 'N', 'E', 0, 0, 0, 0, 0, 0}),
                  packets.back());
        EXPECT_EQ(1u, PostedAppMessages());
        EXPECT_EQ(100, percent.load());

        if (!c.dataPercents.empty()) {
            std::vector<LONG> expected = {kUntouched};
            expected.insert(expected.end(), c.dataPercents.begin(), c.dataPercents.end());
            expected.push_back(0);
            expected.push_back(100);
            expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
            EXPECT_EQ(expected, Percents());
        }
        // The card holds the image and the zero fill of its last chunk.
        std::vector<BYTE> flash(image);
        flash.resize(chunks * 128, 0);
        const auto block = Card().Block(5);
        EXPECT_EQ(flash, std::vector<BYTE>(block.begin(), block.end()));
    }
}

TEST_F(TransferTest, TheLargestImageTakes7168ChunksAndShows99BeforeTheEnd) {
    const std::vector<BYTE> image = Image(917503);
    ASSERT_TRUE(Transfer(image));
    EXPECT_EQ(7168u, Card().counters().dataPacketsAccepted);
    const auto& seen = Percents();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(99, seen[seen.size() - 3]);
    EXPECT_EQ(917504u, Card().BlockLength(5));
}

TEST_F(TransferTest, AnEmptyImageSendsOnlyTheEndAndFailsWithoutTheExtendedWait) {
    EXPECT_FALSE(Transfer({}));
    ASSERT_EQ(1u, HostPackets().size());
    EXPECT_EQ(PKT_END, HostPackets()[0][0]);
    EXPECT_EQ(1u, PostedAppMessages());
    EXPECT_EQ(0u, win32_standin::SleepCount());
    EXPECT_EQ(0, percent.load());
}

TEST_F(TransferTest, AnEmptyImageWithTheExtendedWaitPolls400Times) {
    config.extendedWait = true;
    config.faults.flash = FlashFault::kNever;
    EXPECT_FALSE(Transfer({}));
    EXPECT_EQ(400u * 40u, win32_standin::SleepCount());
    EXPECT_EQ(199 * 100 / 200, percent.load());
}

// Replies that are not the acknowledgement: three are survived, a fourth fails the transfer.
TEST_F(TransferTest, EachChunkHasFourAttempts) {
    const ReplyFault kinds[] = {ReplyFault::kWrongCode, ReplyFault::kWrongText, ReplyFault::kEmpty,
                                ReplyFault::kShort, ReplyFault::kLastLetter};
    for (const ReplyFault kind : kinds) {
        for (const std::uint32_t failures : {3u, 4u}) {
            SCOPED_TRACE(testing::Message()
                         << "kind " << static_cast<int>(kind) << ", " << failures << " failures");
            win32_standin::Reset();
            config.faults.ackReply = kind;
            config.faults.ackFaultChunk = 2;
            config.faults.ackFaultAttempts = failures;
            Card().Configure(config);
            const std::vector<BYTE> image = Image(1000);
            const bool ok = Transfer(image);
            EXPECT_EQ(failures == 3, ok);

            const auto data = DataPackets();
            ASSERT_EQ(failures == 3 ? 8u + 3u : 2u + 4u, data.size());
            for (std::size_t attempt = 2; attempt < 6; ++attempt) {
                EXPECT_EQ(data[2], data[attempt]) << "every attempt sends the same bytes";
            }
            EXPECT_EQ(failures == 3 ? 1u : 0u, PostedAppMessages());
            if (failures == 4) {
                EXPECT_NE(PKT_END, HostPackets().back()[0]);
                EXPECT_EQ(12, percent.load());  // the last value written stays
            }
        }
    }
}

TEST_F(TransferTest, SilenceAfterAChunkEndsTheTransferAtOnce) {
    for (const std::uint32_t chunk : {0u, 3u}) {
        SCOPED_TRACE(chunk);
        win32_standin::Reset();
        config.faults.silentAfterChunk = chunk;
        Card().Configure(config);
        EXPECT_FALSE(Transfer(Image(1000)));
        EXPECT_EQ(chunk + 1, DataPackets().size());
        EXPECT_EQ(40u, win32_standin::SleepCount());
        EXPECT_EQ(0u, PostedAppMessages());
    }
}

TEST_F(TransferTest, AFlashThatNeverFinishesRampsTwiceThenFails) {
    config.faults.flash = FlashFault::kNever;
    EXPECT_FALSE(Transfer(Image(1000)));
    EXPECT_EQ(2u * 20u * 40u, win32_standin::SleepCount());
    std::vector<LONG> expected = {kUntouched, 0, 12, 25, 38, 51, 64, 76, 89};
    for (int pass = 0; pass < 2; ++pass) {
        const auto ramp = Ramp(20);  // 0, 5, ..., 95
        expected.insert(expected.end(), ramp.begin(), ramp.end());
    }
    EXPECT_EQ(expected, Percents());
    EXPECT_EQ(95, percent.load());
    EXPECT_EQ(1u, PostedAppMessages());
}

TEST_F(TransferTest, CompletionIsTakenAtAnyPollOfEitherPass) {
    // FLASH_DONE appears at the given status read after the end packet: each empty receive call
    // costs 40 reads, so 40 * k + 1 is the first read of receive call k.
    struct Case {
        std::uint32_t statusRead;
        LONG lastRamp;
    };
    for (const Case c : {Case{1, 0}, Case{40 * 5 + 1, 20}, Case{40 * 25 + 1, 20}}) {
        SCOPED_TRACE(c.statusRead);
        win32_standin::Reset();
        config.faults.flash = FlashFault::kAfterPolls;
        config.faults.flashDonePolls = c.statusRead;
        Card().Configure(config);
        EXPECT_TRUE(Transfer(Image(1000)));
        EXPECT_EQ(100, percent.load());
        const auto& seen = Percents();
        EXPECT_EQ(c.lastRamp, seen[seen.size() - 2]);
    }
}

TEST_F(TransferTest, LateAcknowledgementsAndATwoByteCompletionAreSurvived) {
    config.faults.lateAcks = 3;
    EXPECT_TRUE(Transfer(Image(300)));
    EXPECT_EQ(100, percent.load());

    win32_standin::Reset();
    config.faults = {};
    config.faults.flash = FlashFault::kTwoBytes;
    Card().Configure(config);
    EXPECT_TRUE(Transfer(Image(300)));
}

// The dialog reads the percent when WM_APP arrives and shows the flash phase from it, so the end
// packet must be out and the percent back at 0 before the message is posted, in that order.
TEST_F(TransferTest, TheEndPacketGoesOutThenThePercentDropsToZeroThenWmAppIsPosted) {
    using Self = std::remove_pointer_t<decltype(this)>;
    struct AtPost {
        Self* test = nullptr;
        LONG percent = kUntouched;
        std::vector<LONG> percentsSeenByTheCard;
        std::vector<std::vector<BYTE>> hostPackets;
        std::uint64_t completedHostPackets = 0;
    } atPost;
    atPost.test = this;
    win32_standin::SetPostHook(
        [](void* context, const win32_standin::PostedMessage&) {
            auto& at = *static_cast<AtPost*>(context);
            at.percent = at.test->percent.load();
            at.percentsSeenByTheCard = at.test->Percents();
            at.hostPackets = at.test->HostPackets();
            at.completedHostPackets = at.test->Card().counters().hostPackets;
        },
        &atPost);
    ASSERT_TRUE(Transfer(Image(1000)));
    ASSERT_EQ(1u, PostedAppMessages());

    // The request and eight data packets before the transfer; the end packet whole.
    EXPECT_EQ(1u + 8u + 1u, atPost.completedHostPackets);
    ASSERT_FALSE(atPost.hostPackets.empty());
    EXPECT_EQ((std::vector<BYTE>{0xF6, 0, 'D', 'O', 'N', 'E', 0, 0, 0, 0, 0, 0}),
              atPost.hostPackets.back());
    // The card saw the last data percent through the end packet, and 0 only after the post.
    EXPECT_EQ(89, atPost.percentsSeenByTheCard.back());
    EXPECT_EQ(0, atPost.percent);
}

// A reply with the completion's code and another text is not the completion: the wait goes on.
TEST_F(TransferTest, ACompletionCodeWithAnotherTextIsNotTakenForCompletion) {
    for (const FlashFault fault : {FlashFault::kWrongText, FlashFault::kLastLetter}) {
        SCOPED_TRACE(static_cast<int>(fault));
        win32_standin::Reset();
        config.faults.flash = fault;
        Card().Configure(config);
        Card().ResetCounters();
        EXPECT_FALSE(Transfer(Image(1000)));
        EXPECT_EQ(1u, Card().counters().blocksProgrammed);  // the card did send its reply
        EXPECT_EQ(95, percent.load());                      // both passes of the wait ran out
    }
}

TEST_F(TransferTest, RepliesLongerThan255BytesAreDrainedAndStillUnderstood) {
    config.faults.replyExtraBytes = 400;
    EXPECT_TRUE(Transfer(Image(300)));
    EXPECT_EQ(3u, DataPackets().size());
}

}  // namespace
