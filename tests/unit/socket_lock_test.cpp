// One program per socket: the lock that every download and probe holds from before the device is
// opened to after it is closed, and what a download meets when another program holds it.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "download/packets.h"
#include "download/sequence.h"
#include "download/socket_lock.h"
#include "virtualcard/native_host.h"
#include "win32_standin/standin.h"

namespace {

using win32_standin::MutexElsewhere;

constexpr const char* kLock0 = "Global\\DuvoPcmciaSocket0";
constexpr const char* kLock1 = "Global\\DuvoPcmciaSocket1";

// What a download told its caller, and whether the lock was held when it did.
struct Seen {
    std::string failureText;
    DWORD failureResult = 0;
    ResultKind failureKind = ResultKind::Written;
    bool lockHeldAtFailure = false;
    bool deviceOpenAtFailure = false;
    bool lockHeldWhileSending = false;

    DownloadEvents Events() {
        DownloadEvents e;
        e.context = this;
        e.progress = [](void* c, const DownloadProgress&) {
            static_cast<Seen*>(c)->lockHeldWhileSending = win32_standin::MutexOwnedHere(kLock0);
        };
        e.failed = [](void* c, const DownloadResult& result) {
            auto* seen = static_cast<Seen*>(c);
            seen->failureText = result.message;
            seen->failureResult = result.code;
            seen->failureKind = result.kind;
            seen->lockHeldAtFailure = win32_standin::MutexOwnedHere(kLock0);
            seen->deviceOpenAtFailure = win32_standin::OpenHandleCount() == 1;
        };
        return e;
    }
};

class SocketLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        win32_standin::Reset();
        g_extendedFlashWait = 0;
        config.programmingTimeMs = 0;
    }

    DWORD Download(DWORD unit = 0) {
        seen = {};
        const std::vector<BYTE> image(300, 0x5A);
        std::atomic<LONG> percent{0};
        return RunDownload(unit, image.data(), static_cast<DWORD>(image.size()), 6, &percent,
                           seen.Events())
            .code;
    }

    // Nothing of this program holds the lock or a handle to it any more.
    static void ExpectLockLetGo() {
        EXPECT_FALSE(win32_standin::MutexOwnedHere(kLock0));
        EXPECT_EQ(0u, win32_standin::OpenMutexHandleCount());
    }

    virtualcard::CardConfig config;
    Seen seen;
};

TEST_F(SocketLockTest, HeldFromBeforeTheOpenToAfterTheClose) {
    virtualcard::NativeHost card(config);
    EXPECT_EQ(0u, Download());
    EXPECT_TRUE(seen.lockHeldWhileSending);
    EXPECT_EQ(384u, card.BlockLength(6));
    ExpectLockLetGo();

    // A failure is reported with the device open and the lock held; both are let go after.
    win32_standin::Reset();
    virtualcard::CardConfig silent = config;
    silent.faults.requestReply = virtualcard::ReplyFault::kSilent;
    card.Configure(silent);
    EXPECT_EQ(ERR_NO_READY_REPLY, Download());
    EXPECT_TRUE(seen.lockHeldAtFailure);
    EXPECT_TRUE(seen.deviceOpenAtFailure);
    EXPECT_EQ(0u, win32_standin::OpenHandleCount());
    ExpectLockLetGo();
}

TEST_F(SocketLockTest, ASocketInUseIsRefusedWithoutOpeningTheDevice) {
    virtualcard::NativeHost card(config);
    for (const MutexElsewhere holder : {MutexElsewhere::Held, MutexElsewhere::OtherUser}) {
        SCOPED_TRACE(static_cast<int>(holder));
        win32_standin::Reset();
        win32_standin::SetMutexElsewhere(kLock0, holder);
        EXPECT_EQ(0xAAu, Download());
        EXPECT_EQ("Duvo0 is in use by another program [000000AA]\n", seen.failureText);
        EXPECT_EQ(0xAAu, seen.failureResult);
        EXPECT_EQ(ResultKind::SocketInUse, seen.failureKind);
        DWORD base = 7;
        EXPECT_EQ(ResultKind::SocketInUse, ProbeCard(0, &base, seen.Events()).kind);
        EXPECT_EQ(7u, base);
        EXPECT_TRUE(win32_standin::CreateFileCalls().empty());
        EXPECT_EQ(0u, card.counters().requests);
        ExpectLockLetGo();
    }
    // Once the other program has let go, the next download proceeds.
    win32_standin::SetMutexElsewhere(kLock0, MutexElsewhere::None);
    EXPECT_EQ(0u, Download());
    EXPECT_EQ(384u, card.BlockLength(6));
}

TEST_F(SocketLockTest, ALockLeftByAProgramThatEndedCountsAsFree) {
    virtualcard::NativeHost card(config);
    win32_standin::SetMutexElsewhere(kLock0, MutexElsewhere::Abandoned);
    EXPECT_EQ(0u, Download());
    EXPECT_EQ(384u, card.BlockLength(6));
    ExpectLockLetGo();
}

TEST_F(SocketLockTest, EachSocketHasALockOfItsOwn) {
    virtualcard::NativeHost card0(config, "\\\\.\\duvo0");
    virtualcard::NativeHost card1(config, "\\\\.\\duvo1");
    win32_standin::SetMutexElsewhere(kLock1, MutexElsewhere::Held);
    EXPECT_EQ(0u, Download(0));
    EXPECT_EQ(0xAAu, Download(1));
    EXPECT_EQ("Duvo1 is in use by another program [000000AA]\n", seen.failureText);
    EXPECT_EQ(0u, card1.counters().requests);
}

// A second download in the same program, from another thread, is kept out like another program.
TEST_F(SocketLockTest, AnotherThreadOfThisProgramIsKeptOutToo) {
    virtualcard::NativeHost card(config);
    HANDLE lock = nullptr;
    ASSERT_EQ(SocketLockStatus::Held, AcquireSocketLock(0, &lock).status);
    DWORD result = 0;
    std::thread([&] { result = Download(); }).join();
    EXPECT_EQ(0xAAu, result);
    EXPECT_EQ(0u, card.counters().requests);
    ReleaseSocketLock(lock);
    ExpectLockLetGo();
}

TEST_F(SocketLockTest, ALockThatCannotBeMadeIsReportedWithItsCode) {
    virtualcard::NativeHost card(config);
    win32_standin::SetMutexElsewhere(kLock0, MutexElsewhere::OtherKind);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), Download());
    EXPECT_EQ("Duvo0 cannot be locked [00000006]\n", seen.failureText);
    EXPECT_EQ(ResultKind::SystemError, seen.failureKind);
    EXPECT_TRUE(win32_standin::CreateFileCalls().empty());
}

// The dialog shows the same text in its failure box.
TEST_F(SocketLockTest, TheDialogsDownloadShowsTheSameTextInItsBox) {
    virtualcard::NativeHost card(config);
    win32_standin::SetMutexElsewhere(kLock0, MutexElsewhere::Held);
    const std::vector<BYTE> image(10, 1);
    std::atomic<LONG> percent{0};
    const HWND owner = reinterpret_cast<HWND>(0x77);
    EXPECT_EQ(0xAAu, DownloadImage(owner, image.data(), 10, 2, &percent));
    const auto boxes = win32_standin::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_STREQ("Duvo0 is in use by another program [000000AA]\n", boxes[0].text);
    EXPECT_STREQ("Update", boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_OK), boxes[0].style);
    EXPECT_EQ(owner, boxes[0].owner);
    EXPECT_TRUE(win32_standin::CreateFileCalls().empty());
}

}  // namespace
