#include "virtualcard/card_mailbox.h"

#include "virtualcard/card_bytes.h"

namespace virtualcard {

void CardMailbox::Reset() {
    hostOpen_ = false;
    hostLength_ = 0;
    hostReceived_ = 0;
    cardQueueHead_ = 0;
    cardQueueCount_ = 0;
    lengthLoRead_ = false;
    lengthHiRead_ = false;
    dataRead_ = 0;
}

bool CardMailbox::Write(uint32_t offset, uint8_t value) {
    if (offset == kRegControl) return WriteControl(value);
    if (!hostOpen_) {
        ++counters_.protocolErrors;
        return false;
    }
    if (offset == kRegLengthLo) {
        hostLength_ = static_cast<uint16_t>((hostLength_ & 0xFF00) | value);
    } else if (offset == kRegLengthHi) {
        hostLength_ = static_cast<uint16_t>((hostLength_ & 0x00FF) | value << 8);
    } else {
        if (hostReceived_ < kHostPacketCapacity) hostPacket_[hostReceived_] = value;
        ++hostReceived_;
    }
    return false;
}

// 1 opens a host packet (unless the card refuses them), 0 closes it. A 0 without an open packet
// is the close that follows a refused packet.
bool CardMailbox::WriteControl(uint8_t value) {
    if (value == 1) {
        hostOpen_ = !config_.faults.refuseHostPackets;
        hostLength_ = 0;
        hostReceived_ = 0;
        return false;
    }
    if (value == 0) {
        if (!hostOpen_) return false;
        hostOpen_ = false;
        return CloseHostPacket();
    }
    ++counters_.protocolErrors;
    return false;
}

bool CardMailbox::CloseHostPacket() {
    ++counters_.hostPackets;
    const uint32_t length = hostLength_;
    if (hostReceived_ != length || length > kHostPacketCapacity || length == 0) {
        ++counters_.protocolErrors;
        return false;
    }
    return true;
}

uint8_t CardMailbox::Status() const {
    uint8_t status = 0;
    if (cardQueueCount_ != 0) status |= kStatusCardPacket;
    if (hostOpen_) status |= kStatusHostWrite;
    return status;
}

// After both length bytes and the last data byte the packet is withdrawn and the next queued one
// takes its place.
uint8_t CardMailbox::ReadCardPacket(uint32_t offset) {
    if (cardQueueCount_ == 0) {
        ++counters_.protocolErrors;
        return 0;
    }
    const CardPacket& packet = cardQueue_[cardQueueHead_];
    uint8_t value;
    if (offset == kRegLengthLo) {
        value = static_cast<uint8_t>(packet.length);
        lengthLoRead_ = true;
    } else if (offset == kRegLengthHi) {
        value = static_cast<uint8_t>(packet.length >> 8);
        lengthHiRead_ = true;
    } else {
        if (dataRead_ >= packet.length) {
            ++counters_.protocolErrors;
            return 0;
        }
        value = dataRead_ < packet.headLength ? packet.head[dataRead_] : packet.fill;
        ++dataRead_;
    }
    if (lengthLoRead_ && lengthHiRead_ && dataRead_ == packet.length) Withdraw();
    return value;
}

void CardMailbox::Announce(const uint8_t* head, uint32_t headLength, uint32_t length,
                           uint8_t fill) {
    if (cardQueueCount_ == kCardQueueSize) {
        ++counters_.protocolErrors;  // the host left earlier packets unread
        return;
    }
    CardPacket& packet = cardQueue_[(cardQueueHead_ + cardQueueCount_) % kCardQueueSize];
    packet.headLength = Min(headLength, sizeof packet.head);
    CopyBytes(packet.head, head, packet.headLength);
    packet.length = Min(length, kMaxPacketLength);
    packet.fill = fill;
    ++cardQueueCount_;
    ++counters_.cardPackets;
}

void CardMailbox::Withdraw() {
    cardQueueHead_ = (cardQueueHead_ + 1) % kCardQueueSize;
    --cardQueueCount_;
    lengthLoRead_ = false;
    lengthHiRead_ = false;
    dataRead_ = 0;
}

}  // namespace virtualcard
