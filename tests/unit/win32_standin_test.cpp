// The native stand-in for the Win32 calls: what tests rely on when they read its records.
#include "win32_standin/standin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

class NullDevice final : public win32_standin::Device {
  public:
    bool Control(DWORD code, const void*, DWORD, void*, DWORD, DWORD* returned,
                 DWORD* error) override {
        *returned = 0;
        *error = code;  // fails with its own code, so the test can see the error pass through
        return false;
    }
    int opens = 0;
    void Open() override { ++opens; }
};

class StandInTest : public ::testing::Test {
  protected:
    void SetUp() override { win32_standin::Reset(); }
    void TearDown() override { win32_standin::UnregisterDevice("\\\\.\\test0"); }
};

TEST_F(StandInTest, OpensOnlyRegisteredPathsAndRecordsEveryOpen) {
    EXPECT_EQ(CreateFileA("\\\\.\\test0", 0, 3, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    NullDevice device;
    win32_standin::RegisterDevice("\\\\.\\test0", &device);
    const HANDLE handle = CreateFileA("\\\\.\\test0", 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(device.opens, 1);
    EXPECT_EQ(win32_standin::OpenHandleCount(), 1u);

    const auto calls = win32_standin::CreateFileCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_STREQ(calls[1].path, "\\\\.\\test0");
    EXPECT_EQ(calls[1].access, 0u);
    EXPECT_EQ(calls[1].share, 3u);
    EXPECT_EQ(calls[1].creation, static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(calls[1].result, handle);

    DWORD returned = 99;
    EXPECT_FALSE(DeviceIoControl(handle, 1234, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_EQ(returned, 0u);

    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(win32_standin::CloseCount(handle), 2u);
    EXPECT_FALSE(win32_standin::CloseHandleCalls()[1].known);
    EXPECT_EQ(win32_standin::OpenHandleCount(), 0u);
}

TEST_F(StandInTest, SleepAdvancesTheVirtualClockAndResetClearsIt) {
    Sleep(2);
    Sleep(5);
    EXPECT_EQ(win32_standin::NowUs(), 7000u);
    EXPECT_EQ(win32_standin::SleepCount(), 2u);
    win32_standin::Reset();
    EXPECT_EQ(win32_standin::NowUs(), 0u);
    EXPECT_EQ(win32_standin::SleepCount(), 0u);
}

TEST_F(StandInTest, LastErrorBelongsToTheThread) {
    SetLastError(5);
    std::thread([] {
        EXPECT_EQ(GetLastError(), 0u);
        SetLastError(7);
    }).join();
    EXPECT_EQ(GetLastError(), 5u);
}

TEST_F(StandInTest, RecordsMessageBoxesWithTheOpenHandlesAndPostedMessages) {
    NullDevice device;
    win32_standin::RegisterDevice("\\\\.\\test0", &device);
    const HANDLE handle = CreateFileA("\\\\.\\test0", 0, 3, nullptr, OPEN_EXISTING, 0, nullptr);
    HWND owner = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(MessageBoxA(owner, "text\n", "Update", MB_ICONERROR | MB_OK), IDOK);
    CloseHandle(handle);
    EXPECT_TRUE(PostMessageA(owner, WM_APP, 1, 2));

    const auto boxes = win32_standin::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, owner);
    EXPECT_STREQ(boxes[0].text, "text\n");
    EXPECT_STREQ(boxes[0].caption, "Update");
    EXPECT_EQ(boxes[0].style, 0x10u);
    EXPECT_EQ(boxes[0].openHandles, 1u);
    const auto posted = win32_standin::PostedMessages();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].window, owner);
    EXPECT_EQ(posted[0].message, 0x8000u);
    EXPECT_EQ(posted[0].wParam, 1u);
    EXPECT_EQ(posted[0].lParam, 2);
}

TEST(StandInFormat, WsprintfFormatsTheDevicePath) {
    char path[64];
    EXPECT_EQ(wsprintfA(path, "\\\\.\\%s%0d", "duvo", 0), 9);
    EXPECT_STREQ(path, "\\\\.\\duvo0");
}

}  // namespace
