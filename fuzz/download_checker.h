// The card's view of one DownloadImage. It follows the host's requests through the download
// (card information, initialisation, download request, data packets, end packet, completion
// wait), aborts on any request that is not allowed at that point or exceeds a limit, and tells
// what the host had to conclude from the card's answers.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/hostile_device.h"

class DownloadChecker final : public RegisterObserver {
  public:
    // The protocol's limits, stated here on their own so that a changed constant in the host
    // code shows up as a violation.
    static constexpr int kPollLimit = 40;
    static constexpr int kReadyReceives = 8;
    static constexpr int kDataAttempts = 4;
    static constexpr int kFlashPasses = 2;
    static constexpr int kFlashCallsPer64K = 20;
    static constexpr int kFlashExtendedExtra = 200;
    static constexpr std::size_t kChunk = 128;

    enum class Outcome { kNoCardInfo, kNoInit, kNoReadyReply, kNoFlashDone, kFlashDone };

    DownloadChecker(const BYTE* image, DWORD length, DWORD block);

    void SawControl(DWORD code, bool ok) override;
    void Saw(const RegisterEvent& event) override;

    // Receive calls allowed in each pass of the completion wait.
    static int FlashBudget(DWORD length, bool extended);
    // The most driver requests a download of `length` bytes may make.
    static std::uint64_t WorstCaseRequests(DWORD length);

    // True once the host has reached a point where it must stop.
    bool Ended() const { return phase_ == Phase::kOver; }
    Outcome Result() const;
    bool AllChunksAcknowledged() const { return chunk_ == chunks_ && endSent_; }
    bool FlashDoneSeen() const { return flashDone_; }

  private:
    enum class Phase { kInfo, kInit, kBeforeSend, kAwaitReady, kAwaitAck, kFlashWait, kOver };

    void End(const char* why);
    void StatusPoll(BYTE status);
    void WriteInOffer(const RegisterEvent& event);
    void CloseOffer();
    void PacketByte(const RegisterEvent& event);
    void PacketDone();
    int ReceiveLimit() const;
    std::vector<BYTE> ExpectedPacket() const;

    const BYTE* image_;
    DWORD length_;
    DWORD block_;
    std::size_t chunks_;

    Phase phase_ = Phase::kInfo;
    const char* endedBy_ = "";
    bool infoFailed_ = false;
    bool initFailed_ = false;
    bool readySeen_ = false;
    bool extended_ = false;
    bool endSent_ = false;
    bool flashDone_ = false;
    std::size_t chunk_ = 0;
    int attempts_ = 0;
    int drains_ = 0;

    // Status polls since the last other request, receive calls used in this phase.
    int run_ = 0;
    int receivesUsed_ = 0;
    bool packetAnnounced_ = false;

    // The host packet being written.
    bool offerOpen_ = false;
    bool acceptRead_ = false;
    bool accepted_ = false;
    int lengthWrites_ = 0;
    DWORD declaredLength_ = 0;
    std::vector<BYTE> written_;

    // The card packet being read.
    enum class Reading { kNone, kLengthHigh, kData };
    Reading reading_ = Reading::kNone;
    DWORD packetLength_ = 0;
    DWORD packetRead_ = 0;
    BYTE packetLow_ = 0;
    BYTE packet_[255] = {};

    // What stands in the host's packet buffer: its own packet, overlaid by the replies.
    BYTE view_[256] = {};
};
