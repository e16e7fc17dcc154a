#include "virtualcard/card_protocol.h"

#include "virtualcard/card_bytes.h"

namespace virtualcard {
namespace {

constexpr uint8_t kPktDownloadRequest = 0xFE;
constexpr uint8_t kPktData = 0xF0;
constexpr uint8_t kPktDataAck = 0xF2;
constexpr uint8_t kPktEnd = 0xF6;
constexpr uint8_t kPktFlashDone = 0xF7;
constexpr uint8_t kWrongAckCode = kPktFlashDone;
constexpr uint8_t kJunkByte = 0xEE;
constexpr uint8_t kChangedLetter = '?';  // replaces the last letter of a reply's text

constexpr uint32_t kRequestLength = 10;
constexpr uint32_t kReadyReplyLength = 12;
constexpr uint32_t kDataPacketLength = 136;
constexpr uint32_t kChunkSize = 128;
constexpr uint32_t kChunkStart = 6;
constexpr uint32_t kChecksumStart = kChunkStart + kChunkSize;
constexpr uint32_t kEndPacketLength = 12;
constexpr uint32_t kAckLength = 6;

bool ParseUpperHex4(const uint8_t* digits, uint32_t* value) {
    uint32_t result = 0;
    for (uint32_t i = 0; i < 4; ++i) {
        const uint8_t c = digits[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        result = result << 4 | digit;
    }
    *value = result;
    return true;
}

uint16_t ChunkChecksum(const uint8_t* chunk) {
    uint16_t sum = 0;
    for (uint32_t i = 0; i < kChunkSize; i += 2) {
        sum ^= static_cast<uint16_t>(chunk[i] | chunk[i + 1] << 8);
    }
    return sum;
}

}  // namespace

void CardProtocol::Reset() {
    downloadActive_ = false;
    block_ = 0;
    expectedOffset_ = 0;
    haveChunk_ = false;
    lastOffset_ = 0;
    haveAttemptChunk_ = false;
    attemptChunk_ = 0;
    attempt_ = 0;
    programming_ = false;
    programmingDoneUs_ = 0;
    statusReadsSinceEnd_ = 0;
    lateAcksPending_ = 0;
}

void CardProtocol::AnnouncePendingPacket() {
    if (config_.faults.pendingPacketLength == 0) return;
    mailbox_.Announce(nullptr, 0, config_.faults.pendingPacketLength, kJunkByte);
}

void CardProtocol::OnHostPacket(uint64_t nowUs, const uint8_t* packet, uint32_t length) {
    switch (packet[0]) {
        case kPktDownloadRequest:
            OnDownloadRequest(packet, length);
            break;
        case kPktData:
            OnDataPacket(packet, length);
            break;
        case kPktEnd:
            OnEndPacket(nowUs, packet, length);
            break;
        default:
            ++counters_.protocolErrors;
            break;
    }
}

void CardProtocol::OnStatusRead(uint64_t nowUs) {
    if (programming_) ++statusReadsSinceEnd_;
    if (!mailbox_.HasCardPacket()) AnnounceNextGenerated(nowUs);
}

// Packets the card produces on its own while programming: late acknowledgements first, then
// the completion once programming has finished.
void CardProtocol::AnnounceNextGenerated(uint64_t nowUs) {
    if (!programming_) return;
    if (lateAcksPending_ > 0) {
        --lateAcksPending_;
        AnnounceAck(ReplyFault::kNone, "RxOK");
    } else if (ProgrammingFinished(nowUs)) {
        FinishProgramming();
        AnnounceFlashDone();
    }
}

// "\xFE\x00DVDN%04X": a block in upper-case hex. A valid request starts a new transfer.
void CardProtocol::OnDownloadRequest(const uint8_t* packet, uint32_t length) {
    uint32_t block = 0;
    if (length != kRequestLength || packet[1] != 0 || !TextEqual(packet + 2, "DVDN", 4) ||
        !ParseUpperHex4(packet + 6, &block) || block >= kBlockCount) {
        ++counters_.protocolErrors;
        return;
    }
    Reset();
    downloadActive_ = true;
    block_ = block;
    AnnounceReadyReply();
}

// The reply faults that leave no layout to fill: no packet, a packet of length 0, or only the
// code and 0x00 of `head`. True when `fault` was one of them and has been announced.
bool CardProtocol::AnnounceCutReply(ReplyFault fault, const uint8_t* head) {
    switch (fault) {
        case ReplyFault::kSilent:
            return true;
        case ReplyFault::kEmpty:
            mailbox_.Announce(head, 0, 0, 0);
            return true;
        case ReplyFault::kShort:
            mailbox_.Announce(head, 2, 2, 0);
            return true;
        default:
            return false;
    }
}

// A reply in its full layout, followed by the configured extra zero bytes.
void CardProtocol::AnnounceFullReply(const uint8_t* head, uint32_t headLength) {
    mailbox_.Announce(head, headLength, headLength + config_.faults.replyExtraBytes, 0);
}

void CardProtocol::AnnounceReadyReply() {
    const FaultPlan& faults = config_.faults;
    uint8_t head[kReadyReplyLength] = {kPktDownloadRequest, 0};
    if (AnnounceCutReply(faults.requestReply, head)) {
        return;
    }
    if (faults.requestReply == ReplyFault::kWrongCode) {
        head[0] = faults.requestReplyCode;
    }
    const char* magic = config_.extendedWait ? "DUVORDYORN" : "DUVORDYANG";
    if (faults.requestReply == ReplyFault::kWrongText) {
        magic = "DUVONOTRDY";
    } else if (faults.readyMagic[0] != '\0') {
        magic = faults.readyMagic;
    }
    CopyText(head + 2, magic, kMagicLength);
    if (faults.requestReply == ReplyFault::kLastLetter) {
        head[2 + kMagicLength - 1] = kChangedLetter;
    }
    const uint32_t length = faults.requestReplyLength;
    mailbox_.Announce(head, Min(length, kReadyReplyLength), length + faults.replyExtraBytes, 0);
}

void CardProtocol::OnDataPacket(const uint8_t* packet, uint32_t length) {
    const FaultPlan& faults = config_.faults;
    const uint32_t offset = length >= kChunkStart ? LoadLe32(packet + 2) : 0;
    const uint32_t chunk = offset / kChunkSize;
    if (haveAttemptChunk_ && chunk == attemptChunk_) {
        ++attempt_;
    } else {
        haveAttemptChunk_ = true;
        attemptChunk_ = chunk;
        attempt_ = 1;
    }

    const bool valid = DataPacketValid(packet, length, offset);
    if (valid) {
        flash_.Stage(offset, packet + kChunkStart, kChunkSize);
        if (offset == expectedOffset_) {
            lastOffset_ = offset;
            haveChunk_ = true;
            expectedOffset_ += kChunkSize;
        }
        ++counters_.dataPacketsAccepted;
    } else {
        ++counters_.dataPacketsRejected;
    }

    if (faults.silentAfterChunk != kNever && chunk >= faults.silentAfterChunk) return;
    if (!valid) {
        AnnounceAck(ReplyFault::kNone, "RxER");
    } else if (chunk == faults.ackFaultChunk && attempt_ <= faults.ackFaultAttempts) {
        AnnounceAck(faults.ackReply, "RxOK");
    } else {
        AnnounceAck(ReplyFault::kNone, "RxOK");
    }
}

// A chunk continues the image or repeats the last one (a retry), fits the block, and carries
// the right checksum.
bool CardProtocol::DataPacketValid(const uint8_t* packet, uint32_t length, uint32_t offset) const {
    if (!downloadActive_ || length != kDataPacketLength || packet[1] != 0) return false;
    const bool continues = offset == expectedOffset_;
    const bool repeats = haveChunk_ && offset == lastOffset_;
    if (!continues && !repeats) return false;
    if (offset > kBlockSize - kChunkSize) return false;
    const uint16_t stored =
        static_cast<uint16_t>(packet[kChecksumStart] | packet[kChecksumStart + 1] << 8);
    return ChunkChecksum(packet + kChunkStart) == stored;
}

void CardProtocol::AnnounceAck(ReplyFault fault, const char* text) {
    uint8_t head[kAckLength] = {kPktDataAck, 0};
    if (AnnounceCutReply(fault, head)) {
        return;
    }
    if (fault == ReplyFault::kWrongCode) {
        head[0] = kWrongAckCode;
    } else if (fault == ReplyFault::kWrongText) {
        text = "RxNG";
    }
    CopyText(head + 2, text, 4);
    if (fault == ReplyFault::kLastLetter) {
        head[kAckLength - 1] = kChangedLetter;
    }
    AnnounceFullReply(head, kAckLength);
}

// PKT_END: "DONE" and six zero bytes. Programming starts now and runs on the card's clock.
void CardProtocol::OnEndPacket(uint64_t nowUs, const uint8_t* packet, uint32_t length) {
    static constexpr uint8_t kZeros[6] = {};
    if (!downloadActive_ || length != kEndPacketLength || packet[1] != 0 ||
        !TextEqual(packet + 2, "DONE", 4) || !BytesEqual(packet + 6, kZeros, 6)) {
        ++counters_.protocolErrors;
        return;
    }
    downloadActive_ = false;
    programming_ = true;
    programmingDoneUs_ = nowUs + static_cast<uint64_t>(config_.programmingTimeMs) * 1000;
    statusReadsSinceEnd_ = 0;
    lateAcksPending_ = config_.faults.lateAcks;
}

bool CardProtocol::ProgrammingFinished(uint64_t nowUs) const {
    switch (config_.faults.flash) {
        case FlashFault::kNever:
            return false;
        case FlashFault::kAfterPolls:
            return statusReadsSinceEnd_ >= config_.faults.flashDonePolls;
        default:
            return nowUs >= programmingDoneUs_;
    }
}

// The card cannot know the image's exact length, only how many chunks it received.
void CardProtocol::FinishProgramming() {
    programming_ = false;
    ++counters_.blocksProgrammed;
    flash_.Program(block_, expectedOffset_);
}

void CardProtocol::AnnounceFlashDone() {
    uint8_t head[kAckLength] = {kPktFlashDone, 0, 'D', 'O', 'N', 'E'};
    if (config_.faults.flash == FlashFault::kWrongText) {
        CopyText(head + 2, "FAIL", 4);
    } else if (config_.faults.flash == FlashFault::kLastLetter) {
        head[kAckLength - 1] = kChangedLetter;
    }
    if (config_.faults.flash == FlashFault::kTwoBytes) {
        mailbox_.Announce(head, 2, 2, 0);
        return;
    }
    AnnounceFullReply(head, kAckLength);
}

}  // namespace virtualcard
