// The stand-in's named mutexes, which the socket lock is tested against: this program's own are
// owned by one thread at a time, recursively, and live as long as a handle to them; what other
// programs do with a name is set by the test.
#include <gtest/gtest.h>

#include <thread>

#include "win32_standin/standin.h"

namespace {

using win32_standin::MutexElsewhere;
using win32_standin::MutexOwnedHere;

constexpr const char* kName = "Global\\standin-mutex-test";

class StandInMutexTest : public ::testing::Test {
  protected:
    void SetUp() override { win32_standin::Reset(); }
    void TearDown() override { win32_standin::Reset(); }
};

TEST_F(StandInMutexTest, OwnedRecursivelyByOneThreadAndGoneWithItsLastHandle) {
    const HANDLE first = CreateMutexA(nullptr, FALSE, kName);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_FALSE(MutexOwnedHere(kName));
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);

    // A second handle to the same mutex: it exists, so no initial ownership is taken.
    const HANDLE second = CreateMutexA(nullptr, TRUE, kName);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    std::thread([second] {
        EXPECT_EQ(WaitForSingleObject(second, 50), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_FALSE(ReleaseMutex(second));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    }).join();
    EXPECT_EQ(win32_standin::NowUs(), 50'000u);  // the wait's time passed on the virtual clock

    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_TRUE(MutexOwnedHere(kName));  // one of the two waits is not yet released
    EXPECT_TRUE(ReleaseMutex(second));
    EXPECT_FALSE(MutexOwnedHere(kName));
    EXPECT_FALSE(ReleaseMutex(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

    EXPECT_EQ(win32_standin::OpenMutexHandleCount(), 2u);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_EQ(win32_standin::OpenMutexHandleCount(), 0u);
    const HANDLE again = CreateMutexA(nullptr, TRUE, kName);
    EXPECT_EQ(GetLastError(), 0u);  // a new mutex, which the creator owns at once
    EXPECT_TRUE(MutexOwnedHere(kName));
    EXPECT_TRUE(CloseHandle(again));
    EXPECT_FALSE(MutexOwnedHere(kName));
}

TEST_F(StandInMutexTest, WhatAnotherProgramDoesWithTheName) {
    struct Case {
        const char* what;
        MutexElsewhere elsewhere;
        DWORD createError;  // 0 or ERROR_ALREADY_EXISTS: the handle is made
        DWORD firstWait;
        DWORD secondWait;  // after the first wait's ownership, if any, is released
    };
    const Case cases[] = {
        {"held", MutexElsewhere::Held, ERROR_ALREADY_EXISTS, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {"abandoned", MutexElsewhere::Abandoned, ERROR_ALREADY_EXISTS, WAIT_ABANDONED,
         WAIT_OBJECT_0},
        {"another user's", MutexElsewhere::OtherUser, ERROR_ACCESS_DENIED, 0, 0},
        {"another kind of object", MutexElsewhere::OtherKind, ERROR_INVALID_HANDLE, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        win32_standin::Reset();
        win32_standin::SetMutexElsewhere(kName, c.elsewhere);
        const HANDLE mutex = CreateMutexA(nullptr, FALSE, kName);
        EXPECT_EQ(GetLastError(), c.createError);
        if (c.createError != ERROR_ALREADY_EXISTS) {
            EXPECT_EQ(mutex, nullptr);
            continue;
        }
        ASSERT_NE(mutex, nullptr);
        EXPECT_EQ(WaitForSingleObject(mutex, 10), c.firstWait);
        if (c.firstWait != WAIT_TIMEOUT) {
            EXPECT_TRUE(ReleaseMutex(mutex));
        }
        EXPECT_EQ(WaitForSingleObject(mutex, 10), c.secondWait);
        EXPECT_EQ(MutexOwnedHere(kName), c.secondWait != WAIT_TIMEOUT);
        EXPECT_TRUE(CloseHandle(mutex));
    }
}

}  // namespace
