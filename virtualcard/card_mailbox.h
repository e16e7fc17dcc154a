// The card's side of the register mailbox: four byte registers from the register base. The host
// writes a packet into it (REG_CONTROL = 1, both length bytes, the data bytes, REG_CONTROL = 0);
// the card announces its own packets with STATUS_CARD_PACKET, and the host reads each one as both
// length bytes and exactly that many data bytes.
#pragma once

#include <stdint.h>

#include "virtualcard/card_config.h"
#include "virtualcard/card_counters.h"

namespace virtualcard {

// Register offsets from the register base.
inline constexpr uint32_t kRegData = 0;
inline constexpr uint32_t kRegControl = 1;  // writes: open/close a host packet; reads: status
inline constexpr uint32_t kRegLengthLo = 2;
inline constexpr uint32_t kRegLengthHi = 3;
inline constexpr uint8_t kStatusCardPacket = 0x80;
inline constexpr uint8_t kStatusHostWrite = 0x40;

class CardMailbox {
  public:
    static constexpr uint32_t kHostPacketCapacity = 256;

    CardMailbox(const CardConfig& config, Counters& counters)
        : config_(config), counters_(counters) {}
    CardMailbox(const CardMailbox&) = delete;
    CardMailbox& operator=(const CardMailbox&) = delete;

    // Empties the mailbox: no host packet open, no card packet queued.
    void Reset();

    // A host write to a register. True when it closed a host packet of the length it declared,
    // which HostPacket() and HostLength() then hold.
    bool Write(uint32_t offset, uint8_t value);
    const uint8_t* HostPacket() const { return hostPacket_; }
    uint32_t HostLength() const { return hostLength_; }

    // The status register's bits.
    uint8_t Status() const;
    // A host read of REG_DATA or a length register: the front card packet's bytes.
    uint8_t ReadCardPacket(uint32_t offset);

    bool HasCardPacket() const { return cardQueueCount_ != 0; }
    // Queues a card packet of `length` bytes: the first `headLength` from `head` (at most 16 are
    // kept), then `fill`.
    void Announce(const uint8_t* head, uint32_t headLength, uint32_t length, uint8_t fill);

  private:
    // A packet the card holds for the host. Only its first bytes are stored; the rest of a long
    // packet reads as `fill`, so a 65,535-byte packet costs no storage.
    struct CardPacket {
        uint8_t head[16];
        uint32_t headLength;
        uint32_t length;
        uint8_t fill;
    };
    static constexpr uint32_t kCardQueueSize = 4;

    bool WriteControl(uint8_t value);
    bool CloseHostPacket();
    void Withdraw();

    const CardConfig& config_;
    Counters& counters_;

    // Host packet being written: opened by REG_CONTROL = 1, closed by REG_CONTROL = 0.
    bool hostOpen_ = false;
    uint16_t hostLength_ = 0;
    uint32_t hostReceived_ = 0;
    uint8_t hostPacket_[kHostPacketCapacity] = {};

    // Card packets; the front one is announced by STATUS_CARD_PACKET.
    CardPacket cardQueue_[kCardQueueSize] = {};
    uint32_t cardQueueHead_ = 0;
    uint32_t cardQueueCount_ = 0;
    bool lengthLoRead_ = false;
    bool lengthHiRead_ = false;
    uint32_t dataRead_ = 0;
};

}  // namespace virtualcard
