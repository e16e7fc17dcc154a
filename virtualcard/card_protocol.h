// The card's packet protocol: the download request and its ready reply, the data packets and
// their acknowledgements, the end packet, programming on the card's clock and the completion, with
// the replies the fault plan asks for. Packets come in from the mailbox and go out through it.
#pragma once

#include <stdint.h>

#include "virtualcard/card_config.h"
#include "virtualcard/card_counters.h"
#include "virtualcard/card_flash.h"
#include "virtualcard/card_mailbox.h"

namespace virtualcard {

class CardProtocol {
  public:
    CardProtocol(const CardConfig& config, Counters& counters, CardMailbox& mailbox,
                 CardFlash& flash)
        : config_(config), counters_(counters), mailbox_(mailbox), flash_(flash) {}
    CardProtocol(const CardProtocol&) = delete;
    CardProtocol& operator=(const CardProtocol&) = delete;

    // Drops the download in progress, if any, without writing its block.
    void Reset();
    // The fault plan's junk packet, announced at every open.
    void AnnouncePendingPacket();
    // A host packet that the mailbox took whole.
    void OnHostPacket(uint64_t nowUs, const uint8_t* packet, uint32_t length);
    // The host polls the status register: programming may have finished.
    void OnStatusRead(uint64_t nowUs);

  private:
    void OnDownloadRequest(const uint8_t* packet, uint32_t length);
    void OnDataPacket(const uint8_t* packet, uint32_t length);
    bool DataPacketValid(const uint8_t* packet, uint32_t length, uint32_t offset) const;
    void OnEndPacket(uint64_t nowUs, const uint8_t* packet, uint32_t length);
    bool ProgrammingFinished(uint64_t nowUs) const;
    void FinishProgramming();

    bool AnnounceCutReply(ReplyFault fault, const uint8_t* head);
    void AnnounceReadyReply();
    void AnnounceAck(ReplyFault fault, const char* text);
    void AnnounceFlashDone();
    void AnnounceFullReply(const uint8_t* head, uint32_t headLength);
    void AnnounceNextGenerated(uint64_t nowUs);

    const CardConfig& config_;
    Counters& counters_;
    CardMailbox& mailbox_;
    CardFlash& flash_;

    bool downloadActive_ = false;
    uint32_t block_ = 0;
    uint32_t expectedOffset_ = 0;  // next new chunk; also the staged image length
    bool haveChunk_ = false;
    uint32_t lastOffset_ = 0;  // the last chunk taken, which a retry may repeat
    bool haveAttemptChunk_ = false;
    uint32_t attemptChunk_ = 0;
    uint32_t attempt_ = 0;  // data packets seen for attemptChunk_, from 1
    bool programming_ = false;
    uint64_t programmingDoneUs_ = 0;
    uint32_t statusReadsSinceEnd_ = 0;
    uint32_t lateAcksPending_ = 0;
};

}  // namespace virtualcard
