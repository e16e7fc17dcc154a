// The card model's device interface: the driver requests it accepts, rejects and counts, its
// trace, and the requests its fault plan fails.
#include "card_model_fixture.h"

#include <cstring>
#include <vector>

namespace {

using namespace card_model_testing;

TEST_F(CardModelTest, CardInfoHoldsTheRegisterBaseAndHonoursAShortFill) {
    CardConfig config;
    config.registerBase = 0x12345678;
    Configure(config);
    uint8_t info[176];
    std::memset(info, 0xAA, sizeof info);
    IoResult r = card_.DeviceControl(0, virtualcard::kIoctlGetInfo, nullptr, 0, info, 176);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.bytesReturned, 176u);
    EXPECT_EQ(Le32(info + 32), 0x12345678u);

    config.faults.cardInfoBytes = 32;
    Configure(config);
    std::memset(info, 0xAA, sizeof info);
    r = card_.DeviceControl(0, virtualcard::kIoctlGetInfo, nullptr, 0, info, 176);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.bytesReturned, 32u);
    EXPECT_EQ(Le32(info + 32), 0xAAAAAAAAu);  // not written
}

TEST_F(CardModelTest, InitializeAcceptsOnlyTheExactBlock) {
    const uint8_t good[36] = {0x1A, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14,
                              0x00, 0x00, 0x01, 'I',  'n',  'i',  't',  'i',  'a',
                              'l',  'i',  'z',  'e',  'H',  'a',  'r',  'd',  'w',
                              'a',  'r',  'e',  '\n', 0x00, 0x00, 0x00, 0x00, 0x00};
    uint8_t block[36];
    std::memcpy(block, good, 36);
    IoResult r = card_.DeviceControl(0, virtualcard::kIoctlInitialize, block, 36, block, 36);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.bytesReturned, 36u);

    for (int i = 0; i < 36; ++i) {
        std::memcpy(block, good, 36);
        block[i] ^= 0x01;
        r = card_.DeviceControl(0, virtualcard::kIoctlInitialize, block, 36, block, 36);
        EXPECT_FALSE(r.ok) << "byte " << i;
        EXPECT_EQ(r.error, virtualcard::kErrorInvalidParameter);
    }
    std::memcpy(block, good, 36);
    EXPECT_FALSE(card_.DeviceControl(0, virtualcard::kIoctlInitialize, block, 35, block, 36).ok);
    EXPECT_FALSE(card_.DeviceControl(0, virtualcard::kIoctlInitialize, block, 36, block, 35).ok);
    EXPECT_EQ(card_.counters().rejectedRequests, 38u);
}

TEST_F(CardModelTest, EveryFixedWordOfARegisterRequestIsChecked) {
    for (bool write : {false, true}) {
        for (int word : {0, 1, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14}) {
            RegisterBlock block = MakeRegisterBlock(write, kBase + kControl, 0);
            block.SetWord(word, block.Word(word) ^ 0x100);
            const IoResult r = Register(block);
            EXPECT_FALSE(r.ok) << (write ? "write" : "read") << " word " << word;
            EXPECT_EQ(r.error, virtualcard::kErrorInvalidParameter);
        }
    }
    EXPECT_EQ(card_.counters().rejectedRequests, 26u);
    EXPECT_EQ(card_.counters().registerReads + card_.counters().registerWrites, 0u);
}

TEST_F(CardModelTest, MalformedRegisterRequestsAreRejectedAndCounted) {
    struct Case {
        const char* what;
        bool write;
        uint32_t reg;
        uint32_t word5;
        uint32_t inSize;
        uint32_t outSize;
    };
    const Case cases[] = {
        {"register below the base", false, kBase - 1, 0, 0, 60},
        {"register past the mailbox", false, kBase + 4, 0, 0, 60},
        {"read with data", false, kBase, 1, 0, 60},
        {"write of more than a byte", true, kBase, 0x100, 0, 60},
        {"input buffer", false, kBase, 0, 4, 60},
        {"short output", false, kBase, 0, 0, 56},
        {"long output", false, kBase, 0, 0, 60 + 4},
    };
    uint64_t rejected = 0;
    for (const Case& c : cases) {
        uint8_t buffer[64] = {};
        RegisterBlock block = MakeRegisterBlock(c.write, c.reg, 0);
        block.SetWord(5, c.word5);
        std::memcpy(buffer, block.bytes, 60);
        const IoResult r = card_.DeviceControl(0, virtualcard::kIoctlRegisterIo, buffer, c.inSize,
                                               buffer, c.outSize);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.error, virtualcard::kErrorInvalidParameter) << c.what;
        EXPECT_EQ(card_.counters().rejectedRequests, ++rejected) << c.what;
    }
    uint8_t buffer[60] = {};
    const IoResult r = card_.DeviceControl(0, 0x80002004, nullptr, 0, buffer, 60);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, virtualcard::kErrorInvalidFunction);
    EXPECT_EQ(card_.counters().rejectedRequests, rejected + 1);
}

TEST_F(CardModelTest, RegisterAccessesAreTracedAndCounted) {
    std::vector<virtualcard::TraceEntry> trace;
    card_.SetTrace(
        [](void* c, const virtualcard::TraceEntry& e) {
            static_cast<std::vector<virtualcard::TraceEntry>*>(c)->push_back(e);
        },
        &trace);
    nowUs_ = 777;
    Write(kControl, 1);
    EXPECT_EQ(Read(kControl), kHostWrite);
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_TRUE(trace[0].write);
    EXPECT_EQ(trace[0].offset, kControl);
    EXPECT_EQ(trace[0].value, 1);
    EXPECT_EQ(trace[0].timeUs, 777u);
    EXPECT_FALSE(trace[1].write);
    EXPECT_EQ(trace[1].value, kHostWrite);
    EXPECT_EQ(card_.counters().registerWrites, 1u);
    EXPECT_EQ(card_.counters().registerReads, 1u);
}

TEST_F(CardModelTest, PlannedFailuresCountFromTheOpenAndReadAs0xFF) {
    CardConfig config;
    config.faults.failRequestIndex = 1;
    config.faults.failFromIndex = 3;
    config.faults.failError = 1167;
    Configure(config);
    card_.Open();
    std::vector<bool> ok;
    for (int i = 0; i < 5; ++i) {
        RegisterBlock block = MakeRegisterBlock(false, kBase + kControl, 0);
        const IoResult r = Register(block);
        ok.push_back(r.ok);
        if (!r.ok) {
            EXPECT_EQ(r.error, 1167u);
            EXPECT_EQ(block.Word(5), 0xFFu);
        }
    }
    EXPECT_EQ(ok, (std::vector<bool>{true, false, true, false, false}));
    EXPECT_EQ(card_.counters().failedRequests, 3u);
    card_.Open();
    RegisterBlock block = MakeRegisterBlock(false, kBase + kControl, 0);
    EXPECT_TRUE(Register(block).ok);
}

}  // namespace
