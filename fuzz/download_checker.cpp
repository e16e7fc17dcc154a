#include "fuzz/download_checker.h"

#include <cstdio>
#include <cstring>

#include "cardlink/byte_order.h"
#include "cardlink/driver_requests.h"
#include "cardlink/mailbox.h"
#include "fuzz/check.h"

namespace {

constexpr BYTE kStatusPacket = 0x80;
constexpr BYTE kStatusAccept = 0x40;
constexpr std::size_t kStoredCap = 255;
constexpr DWORD kLongestPacket = 65535;
constexpr DWORD kLongestHostPacket = 136;

bool TextAt(const BYTE* view, std::size_t at, const char* text) {
    return std::memcmp(view + at, text, std::strlen(text)) == 0;
}

int CallsFor(int polls) {
    return (polls + DownloadChecker::kPollLimit - 1) / DownloadChecker::kPollLimit;
}

}  // namespace

DownloadChecker::DownloadChecker(const BYTE* image, DWORD length, DWORD block)
    : image_(image), length_(length), block_(block), chunks_((length + kChunk - 1) / kChunk) {}

int DownloadChecker::FlashBudget(DWORD length, bool extended) {
    const std::uint64_t started64K = (static_cast<std::uint64_t>(length) + 65535) >> 16;
    return static_cast<int>(started64K) * kFlashCallsPer64K + (extended ? kFlashExtendedExtra : 0);
}

std::uint64_t DownloadChecker::WorstCaseRequests(DWORD length) {
    const std::uint64_t chunks = (static_cast<std::uint64_t>(length) + kChunk - 1) / kChunk;
    const std::uint64_t sends = 1 + kDataAttempts * chunks + 1;
    const std::uint64_t receives =
        kReadyReceives + kDataAttempts * chunks + kFlashPasses * FlashBudget(length, true);
    // A send: status check, open, status, two length bytes, the bytes, close; and it may drain
    // one card packet first. A receive: its polls, two length bytes, the packet's bytes.
    const std::uint64_t perSend = 6 + kLongestHostPacket;
    const std::uint64_t perReceive = kPollLimit + 2 + kLongestPacket;
    return 2 + sends * perSend + (sends + receives) * perReceive;
}

DownloadChecker::Outcome DownloadChecker::Result() const {
    if (infoFailed_) return Outcome::kNoCardInfo;
    if (initFailed_) return Outcome::kNoInit;
    if (!readySeen_) return Outcome::kNoReadyReply;
    return flashDone_ ? Outcome::kFlashDone : Outcome::kNoFlashDone;
}

void DownloadChecker::End(const char* why) {
    phase_ = Phase::kOver;
    endedBy_ = why;
}

void DownloadChecker::SawControl(DWORD code, bool ok) {
    FUZZ_CHECK(phase_ != Phase::kOver, "control request after the download had to end");
    if (phase_ == Phase::kInfo) {
        FUZZ_CHECK(code == IOCTL_CARD_GET_INFO, "card information is not the first request");
        infoFailed_ = !ok;
        phase_ = Phase::kInit;
        if (!ok) End("the card information request failed");
        return;
    }
    FUZZ_CHECK(phase_ == Phase::kInit, "control request after the initialisation");
    FUZZ_CHECK(code == IOCTL_CARD_INITIALIZE, "initialisation is not the second request");
    initFailed_ = !ok;
    phase_ = Phase::kBeforeSend;
    if (!ok) End("the initialisation failed");
}

void DownloadChecker::Saw(const RegisterEvent& event) {
    if (phase_ == Phase::kOver) {
        std::fprintf(stderr, "request after the download had to end: %s\n", endedBy_);
        FUZZ_CHECK(false, "request after the download had to end");
    }
    FUZZ_CHECK(phase_ != Phase::kInfo && phase_ != Phase::kInit,
               "register request before the card was initialised");
    if (reading_ != Reading::kNone) {
        PacketByte(event);
        return;
    }
    if (offerOpen_) {
        if (event.read) {
            FUZZ_CHECK(event.offset == REG_CONTROL && !acceptRead_,
                       "host packet: more than one status read");
            acceptRead_ = true;
            accepted_ = (event.value & kStatusAccept) != 0;
            return;
        }
        WriteInOffer(event);
        return;
    }
    const bool announced = packetAnnounced_;
    const bool statusRead = event.read && event.offset == REG_CONTROL;
    const bool lengthRead = event.read && event.offset == REG_LENGTH_LO;
    FUZZ_CHECK(!announced || lengthRead || (statusRead && phase_ == Phase::kBeforeSend),
               "an announced card packet was not read");
    if (statusRead) {
        StatusPoll(event.value);
        return;
    }
    const int run = run_;
    run_ = 0;
    packetAnnounced_ = false;
    if (event.read) {
        FUZZ_CHECK(lengthRead && announced, "card packet read without an announcement");
        if (phase_ == Phase::kBeforeSend) {
            FUZZ_CHECK(++drains_ <= 1, "more than one card packet drained before a send");
        } else {
            receivesUsed_ += CallsFor(run);
        }
        packetLow_ = event.value;
        reading_ = Reading::kLengthHigh;
        return;
    }
    FUZZ_CHECK(event.offset == REG_CONTROL && event.value == 1, "write outside a host packet");
    FUZZ_CHECK(phase_ == Phase::kBeforeSend, "host packet while a reply was due");
    offerOpen_ = true;
    acceptRead_ = false;
    accepted_ = false;
    lengthWrites_ = 0;
    declaredLength_ = 0;
    written_.clear();
}

void DownloadChecker::StatusPoll(BYTE status) {
    ++run_;
    packetAnnounced_ = (status & kStatusPacket) != 0;
    if (phase_ == Phase::kBeforeSend) {
        FUZZ_CHECK(run_ <= 1 + kPollLimit, "a send polled more than its check and one receive");
        return;
    }
    const int used = receivesUsed_ + CallsFor(run_);
    FUZZ_CHECK(used <= ReceiveLimit(), "more receive calls than allowed");
    if (!packetAnnounced_ && run_ % kPollLimit == 0 && used == ReceiveLimit()) {
        End("the last receive allowed found nothing");
    }
}

int DownloadChecker::ReceiveLimit() const {
    switch (phase_) {
        case Phase::kAwaitReady:
            return kReadyReceives;
        case Phase::kAwaitAck:
            return 1;
        case Phase::kFlashWait:
            return kFlashPasses * FlashBudget(length_, extended_);
        default:
            return 0;
    }
}

void DownloadChecker::WriteInOffer(const RegisterEvent& event) {
    if (event.offset == REG_CONTROL) {
        FUZZ_CHECK(event.value == 0, "host packet: control written with neither 1 nor 0");
        FUZZ_CHECK(acceptRead_, "host packet closed without a status read");
        CloseOffer();
        return;
    }
    FUZZ_CHECK(accepted_, "host packet written to a card that did not accept it");
    if (lengthWrites_ == 0) {
        FUZZ_CHECK(event.offset == REG_LENGTH_LO, "host packet: low length byte first");
        declaredLength_ = event.value;
    } else if (lengthWrites_ == 1) {
        FUZZ_CHECK(event.offset == REG_LENGTH_HI, "host packet: high length byte second");
        declaredLength_ |= static_cast<DWORD>(event.value) << 8;
    } else {
        FUZZ_CHECK(event.offset == REG_DATA, "host packet: data register after the length");
        written_.push_back(event.value);
    }
    ++lengthWrites_;
}

void DownloadChecker::CloseOffer() {
    offerOpen_ = false;
    const std::vector<BYTE> expected = ExpectedPacket();
    if (accepted_) {
        FUZZ_CHECK(lengthWrites_ >= 2 && declaredLength_ == written_.size(),
                   "host packet: length registers disagree with the bytes written");
        FUZZ_CHECK(written_ == expected, "host packet differs from the one due");
    }
    receivesUsed_ = 0;
    run_ = 0;
    if (!readySeen_) {
        // The request is formatted in a cleared buffer, its text's terminating zero included.
        std::memset(view_, 0, sizeof view_);
        view_[0] = 0xFE;
        std::snprintf(reinterpret_cast<char*>(view_ + 2), sizeof view_ - 2, "DVDN%04X",
                      static_cast<unsigned>(block_));
        phase_ = Phase::kAwaitReady;
        return;
    }
    std::memcpy(view_, expected.data(), expected.size());
    if (chunk_ < chunks_) {
        ++attempts_;
        FUZZ_CHECK(attempts_ <= kDataAttempts, "more attempts at one chunk than allowed");
        phase_ = Phase::kAwaitAck;
        return;
    }
    endSent_ = true;
    phase_ = Phase::kFlashWait;
    if (ReceiveLimit() == 0) {
        End("the completion wait has no receive to make");
    }
}

void DownloadChecker::PacketByte(const RegisterEvent& event) {
    if (reading_ == Reading::kLengthHigh) {
        FUZZ_CHECK(event.read && event.offset == REG_LENGTH_HI, "card packet: high length byte");
        packetLength_ = static_cast<DWORD>(event.value) * 256 + packetLow_;
        packetRead_ = 0;
        reading_ = Reading::kData;
    } else {
        FUZZ_CHECK(event.read && event.offset == REG_DATA, "card packet left partly read");
        if (packetRead_ < kStoredCap) {
            packet_[packetRead_] = event.value;
        }
        ++packetRead_;
    }
    if (packetRead_ == packetLength_) {
        PacketDone();
    }
}

void DownloadChecker::PacketDone() {
    reading_ = Reading::kNone;
    if (phase_ == Phase::kBeforeSend) {
        return;  // drained before a send, never seen by the protocol
    }
    const std::size_t stored = packetLength_ < kStoredCap ? packetLength_ : kStoredCap;
    std::memcpy(view_, packet_, stored);
    if (phase_ == Phase::kAwaitReady) {
        const bool standard = TextAt(view_, 2, "DUVORDYANG");
        const bool extended = TextAt(view_, 2, "DUVORDYORN");
        readySeen_ = packetLength_ != 0 && view_[0] == 0xFE && (standard || extended);
        extended_ = extended;
        drains_ = 0;
        attempts_ = 0;
        phase_ = Phase::kBeforeSend;
        if (!readySeen_) End("the first reply to the request was not ready");
        return;
    }
    if (phase_ == Phase::kAwaitAck) {
        if (view_[0] == 0xF2 && TextAt(view_, 2, "RxOK")) {
            ++chunk_;
            attempts_ = 0;
        }
        drains_ = 0;
        phase_ = Phase::kBeforeSend;
        if (attempts_ == kDataAttempts) End("the last attempt at a chunk had a wrong reply");
        return;
    }
    flashDone_ = view_[0] == 0xF7 && TextAt(view_, 2, "DONE");
    if (flashDone_) {
        End("flash done");
    } else if (receivesUsed_ == ReceiveLimit()) {
        End("the last receive allowed had no flash done");
    }
}

std::vector<BYTE> DownloadChecker::ExpectedPacket() const {
    if (!readySeen_) {
        char text[32];
        std::snprintf(text, sizeof text, "DVDN%04X", static_cast<unsigned>(block_));
        std::vector<BYTE> request = {0xFE, 0x00};
        request.insert(request.end(), text, text + 8);
        return request;
    }
    if (chunk_ == chunks_) {
        return {0xF6, 0x00, 'D', 'O', 'N', 'E', 0, 0, 0, 0, 0, 0};
    }
    const DWORD offset = static_cast<DWORD>(chunk_ * kChunk);
    std::vector<BYTE> data(6 + kChunk + 2, 0);
    data[0] = 0xF0;
    PutLe32(data.data() + 2, offset);
    for (std::size_t i = 0; i < kChunk && offset + i < length_; ++i) {
        data[6 + i] = image_[offset + i];
    }
    for (std::size_t i = 0; i < kChunk; ++i) {
        data[6 + kChunk + i % 2] ^= data[6 + i];
    }
    return data;
}
