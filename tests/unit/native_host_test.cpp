// The card hosted natively: whole downloads through the Win32 stand-in, on its virtual clock.
#include "card_model_fixture.h"

#include <algorithm>
#include <atomic>

#include "cardlink/driver_requests.h"
#include "cardlink/mailbox.h"
#include "download/sequence.h"
#include "virtualcard/native_host.h"
#include "win32_standin/standin.h"

namespace {

using namespace card_model_testing;

TEST(NativeHostTest, AWholeDownloadOfTheLargestImageMakesTheRequestFloor) {
    win32_standin::Reset();
    CardConfig config;
    config.programmingTimeMs = 0;  // completion at the first poll
    virtualcard::NativeHost host(config, virtualcard::kDefaultDevicePath, 8);
    const Bytes image = Image(917503);
    std::atomic<LONG> percent{0};
    EXPECT_EQ(DownloadImage(nullptr, image.data(), static_cast<DWORD>(image.size()), 9, &percent),
              0u);
    ASSERT_EQ(host.BlockLength(9), 917504u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), host.Block(9).begin()));
    EXPECT_EQ(host.counters().registerReads + host.counters().registerWrites, 1082426u);
    EXPECT_EQ(host.counters().rejectedRequests, 0u);
    EXPECT_EQ(host.counters().protocolErrors, 0u);
    EXPECT_EQ(host.Trace().size(), 8u);
    EXPECT_EQ(host.TraceDropped(), 1082426u - 8u);
}

// A host that closes the device in the middle of a download (a user abandoning a block, a
// program ended) leaves the card with unread replies, a half-written packet or programming under
// way. The next open's download must go as on a fresh card, request for request, and the
// abandoned one writes nothing.
TEST(NativeHostTest, ADownloadAbandonedAnywhereLeavesTheNextOpenADownloadAsUsual) {
    win32_standin::Reset();
    CardConfig config;
    config.programmingTimeMs = 0;
    std::atomic<LONG> percent{0};
    const Bytes after = Image(1000);
    const auto requests = [](const virtualcard::NativeHost& card) {
        return card.counters().registerReads + card.counters().registerWrites;
    };
    uint64_t freshRequests = 0;
    {
        virtualcard::NativeHost fresh(config);
        ASSERT_EQ(DownloadImage(nullptr, after.data(), 1000, 4, &percent), 0u);
        freshRequests = requests(fresh);
    }

    enum class Left { kUnreadAcks, kHalfWrittenPacket, kProgramming };
    const char* const names[] = {"unread acknowledgements", "a half-written packet",
                                 "programming under way"};
    for (Left left : {Left::kUnreadAcks, Left::kHalfWrittenPacket, Left::kProgramming}) {
        SCOPED_TRACE(names[static_cast<int>(left)]);
        win32_standin::Reset();
        virtualcard::NativeHost host(config);
        const Bytes before = Image(300);
        ASSERT_EQ(DownloadImage(nullptr, before.data(), 300, 4, &percent), 0u);

        const Bytes abandoned(384, 0x5A);
        HANDLE device =
            CreateFileA(virtualcard::kDefaultDevicePath, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const Bytes request = DownloadRequest(4);
        SendPacket(device, kBase, request.data(), static_cast<WORD>(request.size()));
        for (uint32_t offset = 0; offset < abandoned.size(); offset += 128) {
            const Bytes chunk = DataPacket(offset, abandoned);
            SendPacket(device, kBase, chunk.data(), static_cast<WORD>(chunk.size()));
        }
        if (left == Left::kHalfWrittenPacket) {
            WriteCardRegister(device, kBase + kControl, 1, nullptr);
            WriteCardRegister(device, kBase + kLengthLo, 136, nullptr);
            WriteCardRegister(device, kBase + kData, 0xF0, nullptr);
        } else if (left == Left::kProgramming) {
            BYTE ack[256];
            WORD length = 0;
            while (ReceivePacket(device, kBase, ack, &length)) {
            }
            SendPacket(device, kBase, kEndPacket.data(), static_cast<WORD>(kEndPacket.size()));
        }
        CloseHandle(device);

        const uint64_t requestsBefore = requests(host);
        EXPECT_EQ(DownloadImage(nullptr, after.data(), 1000, 4, &percent), 0u);
        EXPECT_EQ(requests(host) - requestsBefore, freshRequests);
        EXPECT_TRUE(win32_standin::MessageBoxes().empty());
        ASSERT_EQ(host.BlockLength(4), 1024u);
        EXPECT_TRUE(std::equal(after.begin(), after.end(), host.Block(4).begin()));
        EXPECT_EQ(host.counters().blocksProgrammed, 2u);  // the abandoned download wrote nothing
        EXPECT_EQ(host.counters().dataPacketsRejected, 0u);
    }
}

TEST(NativeHostTest, TheCardRunsOnTheStandInsVirtualClock) {
    win32_standin::Reset();
    CardConfig config;
    config.programmingTimeMs = 40;
    virtualcard::NativeHost host(config);
    const Bytes image = Image(1000);
    std::atomic<LONG> percent{0};
    EXPECT_EQ(DownloadImage(nullptr, image.data(), static_cast<DWORD>(image.size()), 3, &percent),
              0u);
    // Only the completion wait sleeps: polls at 0, 2, ..., 40 ms, the last one finds the packet.
    EXPECT_EQ(win32_standin::SleepCount(), 20u);
    EXPECT_EQ(win32_standin::NowUs(), 40'000u);
    EXPECT_EQ(host.BlockLength(3), 1024u);
}

// A socket emptied and filled again while a program runs, as a programming station sees it:
// opens fail as for a device that is not there, and every card put in is a fresh one, with blank
// blocks and a fault plan of its own.
TEST(NativeHostTest, ACardTakenOutAndPutBackIsAFreshCard) {
    win32_standin::Reset();
    CardConfig config;
    config.programmingTimeMs = 0;
    virtualcard::NativeHost host(config);
    std::atomic<LONG> percent{0};
    const Bytes image = Image(300);
    ASSERT_EQ(DownloadImage(nullptr, image.data(), 300, 5, &percent), 0u);
    ASSERT_EQ(host.BlockLength(5), 384u);

    host.Remove();
    EXPECT_FALSE(host.CardPresent());
    EXPECT_EQ(
        CreateFileA(virtualcard::kDefaultDevicePath, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    CardConfig silent = config;
    silent.faults.requestReply = ReplyFault::kSilent;
    host.Insert(silent);
    EXPECT_TRUE(host.CardPresent());
    EXPECT_EQ(host.BlockLength(5), 0u);
    EXPECT_EQ(DownloadImage(nullptr, image.data(), 300, 6, &percent), ERR_NO_READY_REPLY);

    host.Insert(config);  // another card, in place of the silent one
    EXPECT_EQ(DownloadImage(nullptr, image.data(), 300, 6, &percent), 0u);
    EXPECT_EQ(host.BlockLength(6), 384u);
    EXPECT_EQ(host.counters().blocksProgrammed, 2u);  // the socket's count goes on
}

}  // namespace
