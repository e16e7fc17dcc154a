// Drives a card model register by register, the way a host does, for the tests of the card's
// own behaviour: request blocks, packets in both directions and the fixture that holds the card.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "virtualcard/card_model.h"
#include "virtualcard/card_test_controls.h"

// Not in an anonymous namespace: the fixture is one type in every test file that uses it.
namespace card_model_testing {

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

inline uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void StoreLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

struct RegisterBlock {
    uint8_t bytes[60];
    uint32_t Word(int i) const { return Le32(bytes + 4 * i); }
    void SetWord(int i, uint32_t v) { StoreLe32(bytes + 4 * i, v); }
};

inline RegisterBlock MakeRegisterBlock(bool write, uint32_t reg, uint32_t value) {
    RegisterBlock block{};
    const uint32_t* column = write ? kWriteColumn : kReadColumn;
    for (int i = 0; i < 15; ++i) block.SetWord(i, column[i]);
    block.SetWord(2, reg);
    block.SetWord(5, write ? value : 0);
    return block;
}

inline Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

inline Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes DownloadRequest(uint32_t block) {
    char text[16];
    std::snprintf(text, sizeof text, "DVDN%04X", block);
    return Concat({0xFE, 0x00}, Text(text));
}

inline Bytes DataPacket(uint32_t offset, const Bytes& image) {
    Bytes packet(136, 0);
    packet[0] = 0xF0;
    StoreLe32(&packet[2], offset);
    for (uint32_t i = 0; i < 128 && offset + i < image.size(); ++i)
        packet[6 + i] = image[offset + i];
    uint16_t sum = 0;
    for (int i = 6; i < 134; i += 2) sum ^= static_cast<uint16_t>(packet[i] | packet[i + 1] << 8);
    packet[134] = static_cast<uint8_t>(sum);
    packet[135] = static_cast<uint8_t>(sum >> 8);
    return packet;
}

inline const Bytes kEndPacket = {0xF6, 0x00, 'D', 'O', 'N', 'E', 0, 0, 0, 0, 0, 0};
inline const Bytes kAck = Concat({0xF2, 0x00}, Text("RxOK"));
inline const Bytes kNak = Concat({0xF2, 0x00}, Text("RxER"));
inline const Bytes kFlashDone = Concat({0xF7, 0x00}, Text("DONE"));

inline Bytes Image(uint32_t length) {
    Bytes image(length);
    for (uint32_t i = 0; i < length; ++i) image[i] = static_cast<uint8_t>(i * 31 + 7);
    return image;
}

class CardModelTest : public ::testing::Test {
  protected:
    CardModelTest()
        : flash_(virtualcard::kFlashSize, 0xFF),
          staging_(virtualcard::kBlockSize),
          card_(flash_.data(), staging_.data()),
          controls_(card_) {}

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
    virtualcard::CardTestControls controls_;
    uint64_t nowUs_ = 1000;
};

}  // namespace card_model_testing
