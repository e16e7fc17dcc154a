#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "card_fixture.h"
#include "download/packets.h"

namespace {

using virtualcard::ReplyFault;

class DownloadRequestTest : public CardTest {
  protected:
    bool Request(DWORD block) {
        const HANDLE device = OpenCard();
        return RequestDownload(device, config.registerBase, block);
    }
    void Magic(const char* magic) { std::strcpy(config.faults.readyMagic, magic); }
};

TEST_F(DownloadRequestTest, NamesTheBlockInFourUpperCaseHexDigits) {
    for (const auto& [block, text] : {std::pair<DWORD, std::string>{2, "DVDN0002"},
                                      std::pair<DWORD, std::string>{14, "DVDN000E"}}) {
        SCOPED_TRACE(text);
        win32_standin::Reset();
        Card().ClearTrace();
        EXPECT_TRUE(Request(block));
        const auto packets = HostPackets();
        ASSERT_EQ(1u, packets.size());
        std::vector<BYTE> expected = {0xFE, 0x00};
        expected.insert(expected.end(), text.begin(), text.end());
        EXPECT_EQ(expected, packets[0]);
    }
}

TEST_F(DownloadRequestTest, EitherReadyMagicIsAcceptedAndSetsTheFlashWait) {
    config.extendedWait = true;
    EXPECT_TRUE(Request(2));
    EXPECT_EQ(1u, g_extendedFlashWait);

    config.extendedWait = false;
    Card().Configure(config);
    EXPECT_TRUE(Request(3));
    EXPECT_EQ(0u, g_extendedFlashWait);
}

TEST_F(DownloadRequestTest, AReplyLongerThanTwelveBytesIsJudgedByItsMagicAlone) {
    config.extendedWait = true;
    config.faults.requestReplyLength = 300;  // a long packet: 255 bytes kept, the rest drained
    EXPECT_TRUE(Request(2));
    EXPECT_EQ(1u, g_extendedFlashWait);
}

// Every reply that is not a ready magic fails the request and leaves the flag as it was.
struct BadReply {
    const char* name;
    void (*apply)(virtualcard::FaultPlan&);
};

const BadReply kBadReplies[] = {
    {"lower-case magic", [](auto& f) { std::strcpy(f.readyMagic, "duvordyorn"); }},
    {"unknown magic", [](auto& f) { std::strcpy(f.readyMagic, "DUVORDYXXX"); }},
    {"acknowledgement code", [](auto& f) { f.requestReply = ReplyFault::kWrongCode; }},
    {"completion code",
     [](auto& f) {
         f.requestReply = ReplyFault::kWrongCode;
         f.requestReplyCode = 0xF7;
     }},
    {"magic's last letter changed", [](auto& f) { f.requestReply = ReplyFault::kLastLetter; }},
    {"empty packet", [](auto& f) { f.requestReply = ReplyFault::kEmpty; }},
    {"ten bytes", [](auto& f) { f.requestReplyLength = 10; }},
    {"eleven bytes", [](auto& f) { f.requestReplyLength = 11; }},
    {"no reply", [](auto& f) { f.requestReply = ReplyFault::kSilent; }},
};

TEST_F(DownloadRequestTest, AnyOtherReplyFailsAndKeepsTheFlashWait) {
    for (const BadReply& bad : kBadReplies) {
        SCOPED_TRACE(bad.name);
        config = {};
        config.extendedWait = true;
        bad.apply(config.faults);
        g_extendedFlashWait = 1;
        virtualcard::NativeHost card(config, "\\\\.\\duvo0");
        const HANDLE device = CreateFileA("\\\\.\\duvo0", 0, 3, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_FALSE(RequestDownload(device, config.registerBase, 2));
        EXPECT_EQ(1u, g_extendedFlashWait);
        CloseHandle(device);
    }
}

TEST_F(DownloadRequestTest, ACardThatNeverAnswersIsPolledEightTimesFortyTimes) {
    config.faults.requestReply = ReplyFault::kSilent;
    EXPECT_FALSE(Request(2));
    EXPECT_EQ(320u, win32_standin::SleepCount());
    // The request itself (16 requests), then 320 status polls.
    EXPECT_EQ(16u + 320u, RegisterRequests());
}

TEST_F(DownloadRequestTest, APacketPendingBeforeTheRequestIsDiscardedNotTakenForTheReply) {
    config.faults.pendingPacketLength = 12;
    EXPECT_TRUE(Request(2));
    EXPECT_EQ(0u, g_extendedFlashWait);
    EXPECT_EQ(1u, HostPackets().size());
    // Status, status again, both lengths and the 12 bytes are read before the host's first write.
    std::size_t readsBeforeFirstWrite = 0;
    for (const virtualcard::TraceEntry& e : Card().Trace()) {
        if (e.write) {
            break;
        }
        ++readsBeforeFirstWrite;
    }
    EXPECT_EQ(16u, readsBeforeFirstWrite);
}

}  // namespace
