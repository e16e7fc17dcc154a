// The virtual card's own behaviour: what it accepts, what it rejects, and when it writes flash.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

#include "download/sequence.h"
#include "virtualcard/card_model.h"
#include "virtualcard/native_host.h"
#include "win32_standin/standin.h"

namespace {

using virtualcard::CardConfig;
using virtualcard::NativeHost;

TEST(CardModelHost, CardInfoCarriesTheRegisterBaseThroughTheStandIn) {
    win32_standin::Reset();
    CardConfig config;
    config.registerBase = 0x12345678;
    NativeHost host(config);
    HANDLE device = CreateFileA("\\\\.\\duvo0", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    BYTE info[176] = {};
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(device, virtualcard::kIoctlGetInfo, nullptr, 0, info, sizeof info,
                                &returned, nullptr));
    EXPECT_EQ(returned, 176u);
    EXPECT_EQ(info[32] | info[33] << 8 | info[34] << 16 | static_cast<uint32_t>(info[35]) << 24,
              0x12345678u);
    EXPECT_TRUE(CloseHandle(device));
    EXPECT_EQ(win32_standin::CloseCount(device), 1u);
}

}  // namespace

namespace {

TEST(CardModelHost, WholeDownloadProgramsTheBlock) {
    win32_standin::Reset();
    CardConfig config;
    config.programmingTimeMs = 0;  // completion at the first poll: the protocol's floor
    NativeHost host(config);
    std::vector<BYTE> image(917503);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<BYTE>(i * 7 + 3);
    std::atomic<LONG> percent{0};
    EXPECT_EQ(DownloadImage(nullptr, image.data(), static_cast<DWORD>(image.size()), 9, &percent),
              0u);
    ASSERT_EQ(host.BlockLength(9), 917504u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), host.Block(9).begin()));
    EXPECT_EQ(host.counters().rejectedRequests, 0u);
    EXPECT_EQ(host.counters().protocolErrors, 0u);
    EXPECT_EQ(host.counters().registerReads + host.counters().registerWrites, 1082426u);
}

}  // namespace
