#include "download/sequence.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "card_fixture.h"
#include "register_script.h"

namespace {

using virtualcard::FlashFault;
using virtualcard::ReplyFault;

class SequenceTest : public CardTest {
  protected:
    // The one message box the failed download showed, checked for owner, caption and style.
    std::string OnlyMessage() const {
        const auto boxes = win32_standin::MessageBoxes();
        if (boxes.size() != 1) {
            ADD_FAILURE() << boxes.size() << " message boxes";
            return {};
        }
        EXPECT_EQ(kOwner, boxes[0].owner);
        EXPECT_STREQ("Update", boxes[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes[0].style);
        EXPECT_EQ(0x10u, boxes[0].style);
        return boxes[0].text;
    }

    // The device was opened once as the driver expects it, closed exactly once, and the failure
    // (if any) was shown while it was still open.
    void ExpectDeviceClosedOnce() const {
        const auto opens = win32_standin::CreateFileCalls();
        ASSERT_EQ(1u, opens.size());
        EXPECT_STREQ("\\\\.\\duvo0", opens[0].path);
        EXPECT_EQ(0u, opens[0].access);
        EXPECT_EQ(static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE), opens[0].share);
        EXPECT_EQ(static_cast<DWORD>(OPEN_EXISTING), opens[0].creation);
        EXPECT_EQ(0u, opens[0].flags);
        EXPECT_EQ(1u, win32_standin::CloseCount(opens[0].result));
        EXPECT_EQ(0u, win32_standin::OpenHandleCount());
        for (const auto& box : win32_standin::MessageBoxes()) {
            EXPECT_EQ(1u, box.openHandles);
        }
    }
};

TEST_F(SequenceTest, ASuccessfulDownloadIsSilentAndProgramsTheChosenBlock) {
    const auto image = Image(1000);
    EXPECT_EQ(0u, Download(image, 14));
    EXPECT_TRUE(win32_standin::MessageBoxes().empty());
    EXPECT_EQ(100, percent.load());
    ExpectDeviceClosedOnce();
    std::vector<BYTE> expected(image);
    expected.resize(1024, 0);
    const auto block = Card().Block(14);
    EXPECT_EQ(expected, std::vector<BYTE>(block.begin(), block.end()));
    for (std::uint32_t other = 0; other < virtualcard::kBlockCount; ++other) {
        EXPECT_EQ(other == 14 ? 1024u : 0u, Card().BlockLength(other)) << other;
    }
}

TEST_F(SequenceTest, ADeviceThatCannotBeOpenedGivesAllOnesAndTheOpenError) {
    // No card registered at \\.\duvo0.
    std::atomic<LONG> progress{kUntouched};
    const auto image = Image(10);
    EXPECT_EQ(0xFFFFFFFFu, DownloadImage(kOwner, image.data(), 10, 2, &progress));
    EXPECT_EQ("Duvo0 open failed [00000002]\n", OnlyMessage());
    EXPECT_TRUE(win32_standin::CloseHandleCalls().empty());
    EXPECT_EQ(kUntouched, progress.load());
}

// Each failure: its text, its result, the device closed once after the box, and nothing flashed.
struct Failure {
    const char* name;
    void (*apply)(virtualcard::FaultPlan&);
    const char* text;
    DWORD result;
    bool percentTouched;
    ResultKind kind = ResultKind::CardFailed;
};

const Failure kFailures[] = {
    {"card information request fails", [](auto& f) { f.failRequestIndex = 0, f.failError = 21; },
     "Duvo0 failed [00000015]\n", 21, false, ResultKind::SystemError},
    {"hardware initialisation fails", [](auto& f) { f.failRequestIndex = 1, f.failError = 1117; },
     "Duvo0 failed to intialize [0000045D]\n", 1117, false, ResultKind::SystemError},
    // ERROR_BUSY and ERROR_CANCELLED from the driver are its failures like any other code.
    {"card information busy", [](auto& f) { f.failRequestIndex = 0, f.failError = 170; },
     "Duvo0 failed [000000AA]\n", 170, false, ResultKind::SystemError},
    {"hardware initialisation cancelled",
     [](auto& f) { f.failRequestIndex = 1, f.failError = 1223; },
     "Duvo0 failed to intialize [000004C7]\n", 1223, false, ResultKind::SystemError},
    {"no ready reply", [](auto& f) { f.requestReply = ReplyFault::kSilent; },
     "Duvo0 not respond [05419368]\n", ERR_NO_READY_REPLY, false},
    {"host packets refused", [](auto& f) { f.refuseHostPackets = true; },
     "Duvo0 not respond [05419368]\n", ERR_NO_READY_REPLY, false},
    {"silence after a chunk", [](auto& f) { f.silentAfterChunk = 4; },
     "Duvo0 not respond [87025353]\n", ERR_TRANSFER_FAILED, true},
    {"four bad acknowledgements",
     [](auto& f) {
         f.ackReply = ReplyFault::kWrongText;
         f.ackFaultChunk = 0;
         f.ackFaultAttempts = 4;
     },
     "Duvo0 not respond [87025353]\n", ERR_TRANSFER_FAILED, true},
    {"flash never completes", [](auto& f) { f.flash = FlashFault::kNever; },
     "Duvo0 not respond [87025353]\n", ERR_TRANSFER_FAILED, true},
    // Pulled mid-image: every later read fails and reads 0xFF, which looks like a card packet.
    {"card pulled mid-image", [](auto& f) { f.failFromIndex = 2 + 16 + 15 + 3 * 151 + 20; },
     "Duvo0 not respond [87025353]\n", ERR_TRANSFER_FAILED, true},
    {"register requests at the wrong base", [](auto& f) { f.cardInfoBytes = 32; },
     "Duvo0 not respond [05419368]\n", ERR_NO_READY_REPLY, false},
};

TEST_F(SequenceTest, EveryFailureIsShownOnceAndReturnsItsCode) {
    for (const Failure& failure : kFailures) {
        SCOPED_TRACE(failure.name);
        win32_standin::Reset();
        config = {};
        config.programmingTimeMs = 0;
        failure.apply(config.faults);
        virtualcard::NativeHost card(config, "\\\\.\\duvo0");
        std::atomic<LONG> progress{kUntouched};
        const auto image = Image(1000);
        const DownloadResult result = RunDialogDownload(kOwner, image.data(), 1000, 3, &progress);
        EXPECT_EQ(failure.result, result.code);
        EXPECT_EQ(failure.kind, result.kind);
        EXPECT_EQ(failure.text, OnlyMessage());
        EXPECT_EQ(failure.text, std::string(result.message));
        ExpectDeviceClosedOnce();
        EXPECT_EQ(failure.percentTouched, progress.load() != kUntouched);
        for (std::uint32_t block = 0; block < virtualcard::kBlockCount; ++block) {
            EXPECT_EQ(0u, card.BlockLength(block)) << block;
        }
    }
}

// The register base comes from bytes 32-35 of the card information; a driver that fills only
// the first 32 bytes leaves them 0, and a card whose mailbox sits at register 0 then works.
// Leaves a pattern in the stack below the caller's frame, where the download's locals will lie,
// so that bytes the download fails to initialise are not zero by chance.
[[gnu::noinline]] void DirtyStack() {
    volatile BYTE junk[16384];
    for (auto& b : junk) {
        b = 0xA5;
    }
}

TEST_F(SequenceTest, AShortCardInformationGivesBaseZeroAndACardAtZeroDownloads) {
    config.registerBase = 0;
    config.faults.cardInfoBytes = 32;
    const auto image = Image(300);
    Card();
    DirtyStack();
    EXPECT_EQ(0u, Download(image, 4));
    EXPECT_TRUE(win32_standin::MessageBoxes().empty());
    EXPECT_EQ(384u, Card().BlockLength(4));
    EXPECT_EQ(0u, Card().counters().rejectedRequests);
}

TEST_F(SequenceTest, ADriverFailureWithoutAnErrorCodeIsNotReportedAsSuccess) {
    RegisterScript refusing("\\\\.\\duvo0");
    refusing.failWithoutError = true;
    std::atomic<LONG> progress{0};
    const BYTE image[1] = {0};
    const DWORD result = DownloadImage(kOwner, image, 1, 2, &progress);
    EXPECT_NE(0u, result);
    const auto boxes = win32_standin::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(std::string("Duvo0 failed [") + (result == 31 ? "0000001F" : "?") + "]\n",
              boxes[0].text);
}

TEST_F(SequenceTest, TheExtendedFlashWaitOfTheLastReadyReplyCarriesOver) {
    config.extendedWait = true;
    EXPECT_EQ(0u, Download(Image(200), 2));
    EXPECT_EQ(1u, g_extendedFlashWait);

    config.faults.requestReply = ReplyFault::kWrongCode;
    Card().Configure(config);
    EXPECT_EQ(ERR_NO_READY_REPLY, Download(Image(200), 2));
    EXPECT_EQ(1u, g_extendedFlashWait);

    config = {};
    config.programmingTimeMs = 0;
    Card().Configure(config);
    EXPECT_EQ(0u, Download(Image(200), 2));
    EXPECT_EQ(0u, g_extendedFlashWait);
}

TEST_F(SequenceTest, ProgrammingTimePassesOnTheCardsClock) {
    // 50 ms of programming: the host polls through it, sleeping 2 ms per empty status read.
    config.programmingTimeMs = 50;
    EXPECT_EQ(0u, Download(Image(500), 6));
    EXPECT_GE(win32_standin::SleptMs(), 50u);
    EXPECT_EQ(512u, Card().BlockLength(6));
}

}  // namespace
