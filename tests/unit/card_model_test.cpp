// The virtual card's own behaviour, driven register by register: what it accepts, what it rejects
// and counts, how the mailbox announces and withdraws packets, and when it writes flash.
#include "virtualcard/card_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cardlink/driver_requests.h"
#include "cardlink/mailbox.h"
#include "download/sequence.h"
#include "virtualcard/native_host.h"
#include "win32_standin/standin.h"

namespace {

using virtualcard::CardConfig;
using virtualcard::CardModel;
using virtualcard::FlashFault;
using virtualcard::IoResult;
using virtualcard::ReplyFault;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kBase = 0x2C0;
constexpr uint32_t kData = 0;
constexpr uint32_t kControl = 1;
constexpr uint32_t kLengthLo = 2;
constexpr uint32_t kLengthHi = 3;
constexpr uint8_t kCardPacket = 0x80;
constexpr uint8_t kHostWrite = 0x40;

constexpr uint32_t kReadColumn[15] = {0x00010001, 0x00040001, 0,          0x00010001, 0x00010001,
                                      0,          0x00010003, 0x000D0000, 0x00001000, 7,
                                      0,          0,          0x00010003, 0x000D0001, 0x00014000};
constexpr uint32_t kWriteColumn[15] = {0x00010001, 0x00040001, 0,          0x00010001, 0x00010001,
                                       0,          0x00010003, 0x000D0000, 0x00001000, 0x00010003,
                                       0x000D0001, 0x00012000, 10,         0,          0};

uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

struct RegisterBlock {
    uint8_t bytes[60];
    uint32_t Word(int i) const { return Le32(bytes + 4 * i); }
    void SetWord(int i, uint32_t v) { PutLe32(bytes + 4 * i, v); }
};

RegisterBlock MakeRegisterBlock(bool write, uint32_t reg, uint32_t value) {
    RegisterBlock block{};
    const uint32_t* column = write ? kWriteColumn : kReadColumn;
    for (int i = 0; i < 15; ++i) block.SetWord(i, column[i]);
    block.SetWord(2, reg);
    block.SetWord(5, write ? value : 0);
    return block;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes DownloadRequest(uint32_t block) {
    char text[16];
    std::snprintf(text, sizeof text, "DVDN%04X", block);
    return Concat({0xFE, 0x00}, Text(text));
}

Bytes DataPacket(uint32_t offset, const Bytes& image) {
    Bytes packet(136, 0);
    packet[0] = 0xF0;
    PutLe32(&packet[2], offset);
    for (uint32_t i = 0; i < 128 && offset + i < image.size(); ++i)
        packet[6 + i] = image[offset + i];
    uint16_t sum = 0;
    for (int i = 6; i < 134; i += 2) sum ^= static_cast<uint16_t>(packet[i] | packet[i + 1] << 8);
    packet[134] = static_cast<uint8_t>(sum);
    packet[135] = static_cast<uint8_t>(sum >> 8);
    return packet;
}

const Bytes kEndPacket = {0xF6, 0x00, 'D', 'O', 'N', 'E', 0, 0, 0, 0, 0, 0};
const Bytes kAck = Concat({0xF2, 0x00}, Text("RxOK"));
const Bytes kNak = Concat({0xF2, 0x00}, Text("RxER"));
const Bytes kFlashDone = Concat({0xF7, 0x00}, Text("DONE"));

Bytes Image(uint32_t length) {
    Bytes image(length);
    for (uint32_t i = 0; i < length; ++i) image[i] = static_cast<uint8_t>(i * 31 + 7);
    return image;
}

class CardModelTest : public ::testing::Test {
  protected:
    CardModelTest()
        : flash_(virtualcard::kFlashSize, 0xFF),
          staging_(virtualcard::kBlockSize),
          card_(flash_.data(), staging_.data()) {}

    void Configure(const CardConfig& config) { card_.Configure(config); }

    IoResult Register(RegisterBlock& block) {
        return card_.DeviceControl(nowUs_, virtualcard::kIoctlRegisterIo, nullptr, 0, block.bytes,
                                   sizeof block.bytes);
    }

    uint8_t Read(uint32_t offset) {
        RegisterBlock block = MakeRegisterBlock(false, kBase + offset, 0);
        EXPECT_TRUE(Register(block).ok);
        return static_cast<uint8_t>(block.Word(5));
    }

    void Write(uint32_t offset, uint8_t value) {
        RegisterBlock block = MakeRegisterBlock(true, kBase + offset, value);
        EXPECT_TRUE(Register(block).ok);
    }

    // Hands a packet over the way the host does, after checking that the card accepts it.
    void Send(const Bytes& packet) {
        Write(kControl, 1);
        ASSERT_EQ(Read(kControl) & kHostWrite, kHostWrite);
        Write(kLengthLo, static_cast<uint8_t>(packet.size()));
        Write(kLengthHi, static_cast<uint8_t>(packet.size() >> 8));
        for (uint8_t b : packet) Write(kData, b);
        Write(kControl, 0);
    }

    // Takes the announced card packet off the card: both length bytes, then all its data.
    Bytes Receive() {
        EXPECT_EQ(Read(kControl) & kCardPacket, kCardPacket);
        const uint32_t length = Read(kLengthLo) | Read(kLengthHi) << 8;
        Bytes packet(length);
        for (uint8_t& b : packet) b = Read(kData);
        return packet;
    }

    bool CardPacketPending() { return (Read(kControl) & kCardPacket) != 0; }

    // Request, every chunk acknowledged, end packet.
    void SendWholeImage(uint32_t block, const Bytes& image) {
        Send(DownloadRequest(block));
        ASSERT_EQ(Receive().size(), 12u);
        for (uint32_t offset = 0; offset < image.size(); offset += 128) {
            Send(DataPacket(offset, image));
            ASSERT_EQ(Receive(), kAck);
        }
        Send(kEndPacket);
    }

    std::vector<uint8_t> flash_;
    std::vector<uint8_t> staging_;
    CardModel card_;
    uint64_t nowUs_ = 1000;
};

// ---- Driver requests ----

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

// ---- Mailbox ----

TEST_F(CardModelTest, HostWriteShowsOnlyWhileAnAcceptedPacketIsOpen) {
    EXPECT_EQ(Read(kControl), 0);
    Write(kControl, 1);
    EXPECT_EQ(Read(kControl), kHostWrite);
    Write(kControl, 0);
    EXPECT_EQ(Read(kControl), 0);

    CardConfig config;
    config.faults.refuseHostPackets = true;
    Configure(config);
    Write(kControl, 1);
    EXPECT_EQ(Read(kControl), 0);
    Write(kControl, 0);
    EXPECT_EQ(card_.counters().hostPackets, 1u);  // only the first, accepted one
}

TEST_F(CardModelTest, ACardPacketIsWithdrawnAfterItsLengthAndEveryDataByte) {
    Send(DownloadRequest(3));
    EXPECT_EQ(Read(kControl), kCardPacket);
    EXPECT_EQ(Read(kLengthLo), 12);
    EXPECT_EQ(Read(kLengthHi), 0);
    Bytes reply;
    for (int i = 0; i < 11; ++i) reply.push_back(Read(kData));
    EXPECT_TRUE(CardPacketPending());
    reply.push_back(Read(kData));
    EXPECT_FALSE(CardPacketPending());
    EXPECT_EQ(reply, Concat({0xFE, 0x00}, Text("DUVORDYANG")));
}

TEST_F(CardModelTest, AnEmptyCardPacketIsWithdrawnAfterBothLengthBytes) {
    CardConfig config;
    config.faults.requestReply = ReplyFault::kEmpty;
    Configure(config);
    Send(DownloadRequest(3));
    EXPECT_EQ(Read(kLengthLo), 0);
    EXPECT_TRUE(CardPacketPending());
    EXPECT_EQ(Read(kLengthHi), 0);
    EXPECT_FALSE(CardPacketPending());
}

TEST_F(CardModelTest, LongPacketsAreGeneratedWithoutBeingStored) {
    struct Case {
        uint32_t pending;
        uint32_t extra;
        uint32_t expected;
    };
    for (const Case& c : {Case{300, 0, 300}, Case{0, 65535 - 12, 65535}}) {
        CardConfig config;
        config.faults.pendingPacketLength = c.pending;
        config.faults.replyExtraBytes = c.extra;
        Configure(config);
        if (c.pending == 0) Send(DownloadRequest(3));
        const Bytes packet = Receive();
        ASSERT_EQ(packet.size(), c.expected);
        if (c.pending == 0) {
            EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 12),
                      Concat({0xFE, 0x00}, Text("DUVORDYANG")));
            EXPECT_TRUE(
                std::all_of(packet.begin() + 12, packet.end(), [](uint8_t b) { return b == 0; }));
        }
        EXPECT_FALSE(CardPacketPending());
    }
}

TEST_F(CardModelTest, APendingPacketIsAnnouncedAgainAtEveryOpen) {
    CardConfig config;
    config.faults.pendingPacketLength = 5;
    Configure(config);
    card_.Open();
    EXPECT_EQ(Receive().size(), 5u);
    EXPECT_FALSE(CardPacketPending());
    card_.Open();
    EXPECT_TRUE(CardPacketPending());
}

// ---- Protocol ----

TEST_F(CardModelTest, MalformedDownloadRequestsGetNoReply) {
    const Bytes cases[] = {
        Concat({0xFE, 0x00}, Text("DVDN000e")),   // lower-case hex
        Concat({0xFE, 0x00}, Text("DVDN0010")),   // block 16
        Concat({0xFE, 0x01}, Text("DVDN0002")),   // byte 1 not zero
        Concat({0xFE, 0x00}, Text("DVDX0002")),   // wrong letters
        Concat({0xFE, 0x00}, Text("DVDN00020")),  // 11 bytes
    };
    for (const Bytes& request : cases) Send(request);
    EXPECT_FALSE(CardPacketPending());
    EXPECT_EQ(card_.counters().protocolErrors, 5u);
    Send(DownloadRequest(15));
    EXPECT_TRUE(CardPacketPending());
}

TEST_F(CardModelTest, BadDataPacketsAreNotAcknowledged) {
    const Bytes image = Image(512);
    Send(DownloadRequest(4));
    Receive();
    Send(DataPacket(0, image));
    EXPECT_EQ(Receive(), kAck);

    Bytes badChecksum = DataPacket(128, image);
    badChecksum[134] ^= 1;
    Bytes badLength = DataPacket(128, image);
    badLength.pop_back();
    for (const Bytes& bad :
         {badChecksum, DataPacket(256, image), DataPacket(0x80000000, image), badLength}) {
        Send(bad);
        EXPECT_EQ(Receive(), kNak);
    }
    EXPECT_EQ(card_.counters().dataPacketsRejected, 4u);

    Send(DataPacket(0, image));  // a retry of the last chunk is taken again
    EXPECT_EQ(Receive(), kAck);
    Send(DataPacket(128, image));
    EXPECT_EQ(Receive(), kAck);
    EXPECT_EQ(card_.counters().dataPacketsAccepted, 3u);
}

TEST_F(CardModelTest, DataBeforeAnyDownloadRequestIsRejected) {
    Send(DataPacket(0, Image(128)));
    EXPECT_EQ(Receive(), kNak);
    Send(kEndPacket);
    EXPECT_EQ(card_.counters().protocolErrors, 1u);
}

TEST_F(CardModelTest, ABlockIsWrittenOnlyWhenProgrammingEnds) {
    CardConfig config;
    config.programmingTimeMs = 30;
    Configure(config);
    std::vector<uint32_t> programmed;
    card_.SetBlockProgrammed(
        [](void* c, uint32_t block, const uint8_t*, uint32_t length) {
            static_cast<std::vector<uint32_t>*>(c)->insert(
                static_cast<std::vector<uint32_t>*>(c)->end(), {block, length});
        },
        &programmed);

    const Bytes image = Image(300);
    SendWholeImage(5, image);
    nowUs_ += 29'999;
    EXPECT_FALSE(CardPacketPending());
    EXPECT_EQ(card_.BlockLength(5), 0u);
    EXPECT_EQ(card_.BlockData(5)[0], 0xFF);

    nowUs_ += 1;
    EXPECT_EQ(Receive(), kFlashDone);
    ASSERT_EQ(card_.BlockLength(5), 384u);  // three whole chunks, zero-filled
    EXPECT_TRUE(std::equal(image.begin(), image.end(), card_.BlockData(5)));
    EXPECT_TRUE(std::all_of(card_.BlockData(5) + 300, card_.BlockData(5) + 384,
                            [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(programmed, (std::vector<uint32_t>{5, 384}));
    EXPECT_EQ(card_.counters().blocksProgrammed, 1u);
}

TEST_F(CardModelTest, AnInterruptedDownloadLeavesTheFlashAlone) {
    CardConfig config;
    config.faults.flash = FlashFault::kNever;
    Configure(config);
    SendWholeImage(6, Image(256));
    nowUs_ += 10'000'000;
    EXPECT_FALSE(CardPacketPending());

    card_.Configure(CardConfig{});
    card_.Open();  // the next download starts afresh
    Send(DownloadRequest(6));
    Receive();
    Send(DataPacket(0, Image(256)));
    Receive();
    card_.Open();
    nowUs_ += 10'000'000;
    EXPECT_FALSE(CardPacketPending());
    EXPECT_EQ(card_.BlockLength(6), 0u);
    EXPECT_EQ(card_.counters().blocksProgrammed, 0u);
}

TEST_F(CardModelTest, CompletionFaults) {
    struct Case {
        const char* what;
        FlashFault flash;
        uint32_t polls;
        uint32_t lateAcks;
        std::vector<Bytes> packets;  // in order, one per status poll that shows a packet
        uint32_t emptyPollsFirst;
    };
    const Case cases[] = {
        {"after polls", FlashFault::kAfterPolls, 4, 0, {kFlashDone}, 3},
        {"two bytes", FlashFault::kTwoBytes, 0, 0, {{0xF7, 0x00}}, 0},
        {"wrong text", FlashFault::kWrongText, 0, 0, {Concat({0xF7, 0x00}, Text("FAIL"))}, 0},
        {"last letter", FlashFault::kLastLetter, 0, 0, {Concat({0xF7, 0x00}, Text("DON?"))}, 0},
        {"late acks", FlashFault::kNone, 0, 2, {kAck, kAck, kFlashDone}, 0},
    };
    for (const Case& c : cases) {
        CardConfig config;
        config.programmingTimeMs = 0;
        config.faults.flash = c.flash;
        config.faults.flashDonePolls = c.polls;
        config.faults.lateAcks = c.lateAcks;
        Configure(config);
        SendWholeImage(7, Image(128));
        for (uint32_t i = 0; i < c.emptyPollsFirst; ++i)
            EXPECT_FALSE(CardPacketPending()) << c.what;
        for (const Bytes& expected : c.packets) EXPECT_EQ(Receive(), expected) << c.what;
        EXPECT_FALSE(CardPacketPending()) << c.what;
        EXPECT_EQ(card_.BlockLength(7), 128u) << c.what;
    }
}

TEST_F(CardModelTest, AcknowledgementFaultsHitTheChosenChunkAndAttempts) {
    const std::pair<ReplyFault, const char*> faults[] = {{ReplyFault::kWrongText, "RxNG"},
                                                         {ReplyFault::kLastLetter, "RxO?"}};
    for (const auto& [fault, text] : faults) {
        CardConfig config;
        config.faults.ackReply = fault;
        config.faults.ackFaultChunk = 1;
        config.faults.ackFaultAttempts = 2;
        config.faults.silentAfterChunk = 2;
        Configure(config);
        const Bytes image = Image(384);
        Send(DownloadRequest(2));
        Receive();
        Send(DataPacket(0, image));
        EXPECT_EQ(Receive(), kAck);
        const Bytes wrongText = Concat({0xF2, 0x00}, Text(text));
        for (const Bytes& expected : {wrongText, wrongText, kAck}) {
            Send(DataPacket(128, image));
            EXPECT_EQ(Receive(), expected) << text;
        }
        Send(DataPacket(256, image));
        EXPECT_FALSE(CardPacketPending());
    }
}

TEST_F(CardModelTest, AReadyReplyWithItsLastLetterChanged) {
    CardConfig config;
    config.faults.requestReply = ReplyFault::kLastLetter;
    Configure(config);
    Send(DownloadRequest(2));
    EXPECT_EQ(Receive(), Concat({0xFE, 0x00}, Text("DUVORDYAN?")));
}

// ---- Configuration ----

TEST(CardConfigTest, NamedValuesSetTheirFieldAndRejectTheRest) {
    CardConfig config;
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "RegisterBase", 0x300));
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "programmingtimems", 5));
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "ExtendedWait", 1));
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "AckReply", 5));
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "Flash", 4));
    EXPECT_EQ(config.faults.flash, FlashFault::kWrongText);
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "Flash", 5));
    EXPECT_EQ(config.faults.flash, FlashFault::kLastLetter);
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "RequestReply", 6));
    EXPECT_EQ(config.faults.requestReply, ReplyFault::kLastLetter);
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "Flash", 2));
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "CardInfoBytes", 32));
    EXPECT_TRUE(virtualcard::ApplyConfigString(config, "FailFromIndex", "0x20"));
    EXPECT_TRUE(virtualcard::ApplyConfigString(config, "ReadyMagic", "duvordyang"));
    EXPECT_EQ(config.registerBase, 0x300u);
    EXPECT_EQ(config.programmingTimeMs, 5u);
    EXPECT_TRUE(config.extendedWait);
    EXPECT_EQ(config.faults.ackReply, ReplyFault::kShort);
    EXPECT_EQ(config.faults.flash, FlashFault::kAfterPolls);
    EXPECT_EQ(config.faults.cardInfoBytes, 32u);
    EXPECT_EQ(config.faults.failFromIndex, 0x20u);
    EXPECT_STREQ(config.faults.readyMagic, "duvordyang");

    const CardConfig before = config;
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "NoSuchValue", 1));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "ExtendedWait", 2));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "AckReply", 7));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "RequestReply", 7));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "Flash", 6));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "CardInfoBytes", 177));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "ReplyExtraBytes", 65536));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "FailError", 0));
    EXPECT_FALSE(virtualcard::ApplyConfigString(config, "ReadyMagic", "DUVORDYANGX"));
    EXPECT_FALSE(virtualcard::ApplyConfigString(config, "RegisterBase", "12z"));
    EXPECT_EQ(config.registerBase, before.registerBase);
    EXPECT_EQ(config.extendedWait, before.extendedWait);
    EXPECT_EQ(config.faults.ackReply, before.faults.ackReply);
    EXPECT_STREQ(config.faults.readyMagic, before.faults.readyMagic);
}

// ---- Hosted natively ----

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

}  // namespace
