#include "cardlink/driver_requests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "register_script.h"

namespace {

std::vector<DWORD> Words(const std::vector<BYTE>& block) {
    std::vector<DWORD> words;
    for (std::size_t i = 0; i + 4 <= block.size(); i += 4) {
        words.push_back(GetLe32(block.data() + i));
    }
    return words;
}

class DriverRequestsTest : public ::testing::Test {
  protected:
    void SetUp() override { win32_standin::Reset(); }
    RegisterScript card;
};

TEST(CardInitRequest, IsByteForByteTheInitialisationBlock) {
    BYTE block[CARD_INIT_REQUEST_SIZE];
    std::memset(block, 0xCC, sizeof block);
    BuildCardInitRequest(block);
    const BYTE expected[36] = {0x1A, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14,
                               0x00, 0x00, 0x01, 'I',  'n',  'i',  't',  'i',  'a',
                               'l',  'i',  'z',  'e',  'H',  'a',  'r',  'd',  'w',
                               'a',  'r',  'e',  '\n', 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(0, std::memcmp(expected, block, sizeof block));
}

TEST_F(DriverRequestsTest, ReadSendsTheReadColumnAndReturnsOnlyTheLowByteOfWord5) {
    card.readUpperBits = 0xABCDEF00;
    card.status = [](int) { return BYTE{0x5A}; };
    const HANDLE device = card.OpenHandle();
    DWORD error = 0xDEAD;
    EXPECT_EQ(0x5A, ReadCardRegister(device, RegisterScript::kBase + 1, &error));
    EXPECT_EQ(0u, error);
    ASSERT_EQ(1u, card.blocks.size());
    const std::vector<DWORD> expected = {0x00010001, 0x00040001, RegisterScript::kBase + 1,
                                         0x00010001, 0x00010001, 0,
                                         0x00010003, 0x000D0000, 0x00001000,
                                         7,          0,          0,
                                         0x00010003, 0x000D0001, 0x00014000};
    EXPECT_EQ(expected, Words(card.blocks[0]));
}

TEST_F(DriverRequestsTest, WriteSendsTheWriteColumnWithTheLowByteOfTheValue) {
    const HANDLE device = card.OpenHandle();
    DWORD error = 0xDEAD;
    EXPECT_EQ(0u, WriteCardRegister(device, 0x12345678, 0x1234, &error));
    EXPECT_EQ(0u, error);
    ASSERT_EQ(1u, card.blocks.size());
    const std::vector<DWORD> expected = {0x00010001, 0x00040001, 0x12345678, 0x00010001, 0x00010001,
                                         0x00000034, 0x00010003, 0x000D0000, 0x00001000, 0x00010003,
                                         0x000D0001, 0x00012000, 10,         0,          0};
    EXPECT_EQ(expected, Words(card.blocks[0]));
}

TEST_F(DriverRequestsTest, FailedRequestsReportTheWindowsErrorAndReadAs0xFF) {
    card.failWith = 1167;  // ERROR_DEVICE_NOT_CONNECTED
    const HANDLE device = card.OpenHandle();
    DWORD error = 0;
    EXPECT_EQ(0xFF, ReadCardRegister(device, RegisterScript::kBase, &error));
    EXPECT_EQ(1167u, error);
    EXPECT_EQ(0xFF, ReadCardRegister(device, RegisterScript::kBase, nullptr));
    error = 0;
    EXPECT_EQ(1167u, WriteCardRegister(device, RegisterScript::kBase, 1, &error));
    EXPECT_EQ(1167u, error);
}

TEST_F(DriverRequestsTest, AFailureWithoutAnErrorCodeIsStillAFailure) {
    card.failWithoutError = true;
    const HANDLE device = card.OpenHandle();
    DWORD error = 0;
    EXPECT_EQ(0xFF, ReadCardRegister(device, RegisterScript::kBase, &error));
    EXPECT_NE(0u, error);
    EXPECT_NE(0u, WriteCardRegister(device, RegisterScript::kBase, 1, nullptr));
}

TEST(CardInfo, RegisterBaseIsBytes32To35LittleEndian) {
    BYTE info[CARD_INFO_SIZE] = {};
    info[31] = 0xEE;
    info[32] = 0x78;
    info[33] = 0x56;
    info[34] = 0x34;
    info[35] = 0x12;
    info[36] = 0xEE;
    EXPECT_EQ(0x12345678u, CardInfoRegisterBase(info));
}

}  // namespace
