// A card that answers like a working one, with the faults its script names, for writing seed
// inputs: every answer is also appended to `recorded` in the fuzz input's encoding.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <vector>

#include "fuzz/hostile_device.h"

using Bytes = std::vector<BYTE>;

struct CardScript {
    Bytes readyReply = {0xFE, 0x00, 'D', 'U', 'V', 'O', 'R', 'D', 'Y', 'A', 'N', 'G'};
    bool readySilent = false;
    // Replies to the n-th data packet, counted over retries; the others are acknowledged.
    std::map<int, Bytes> dataReplies;
    int silentFromDataPacket = -1;  // no reply to this data packet or any later one
    Bytes flashDone = {0xF7, 0x00, 'D', 'O', 'N', 'E'};
    bool flashNeverDone = false;
    int flashDonePolls = 3;          // empty status polls before flash done shows
    std::vector<Bytes> lateReplies;  // packets offered between the end packet and flash done
    int replyPolls = 1;              // empty status polls before any other reply shows
    Bytes pendingAtStart;            // a packet the card holds before the first send
    bool hasPendingAtStart = false;
    std::set<int> refusedSends;  // host packets (counted from 0) the card does not accept
    Bytes replyToRefused;        // what the card answers a refused packet with, if anything
    int failRequest = -1;        // this driver request (from 0: card information) fails
    DWORD failError = 1117;
};

class HonestCard final : public AnswerSource {
  public:
    explicit HonestCard(CardScript script);
    Answer Next(const DriverRequest& request) override;

    std::vector<uint8_t> recorded;
    // The recorded bytes up to the last answer that differs from a quiet card's.
    std::size_t meaningfulSize = 0;

  private:
    struct Outgoing {
        Bytes bytes;
        int polls;
    };
    Answer Respond(const DriverRequest& request);
    BYTE ReadRegister(DWORD offset);
    void WriteRegister(DWORD offset, BYTE value);
    void React();
    void Offer(const Bytes& bytes, int polls) { outgoing_.push_back({bytes, polls}); }

    CardScript script_;
    int requests_ = 0;
    std::deque<Outgoing> outgoing_;
    std::size_t readAt_ = 0;
    bool hostOpen_ = false;
    bool accepting_ = false;
    int sends_ = 0;
    int dataPackets_ = 0;
    Bytes hostPacket_;
};
