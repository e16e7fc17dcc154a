#include "fuzz/honest_card.h"

#include <utility>

#include "cardlink/driver_requests.h"
#include "cardlink/mailbox.h"
#include "download/packets.h"

HonestCard::HonestCard(CardScript script) : script_(std::move(script)) {
    if (script_.hasPendingAtStart) {
        Offer(script_.pendingAtStart, 0);
    }
}

Answer HonestCard::Next(const DriverRequest& request) {
    const Answer answer = Respond(request);
    EncodeAnswer(answer, recorded);
    if (!answer.ok || answer.value != 0) {
        meaningfulSize = recorded.size();
    }
    return answer;
}

Answer HonestCard::Respond(const DriverRequest& request) {
    if (requests_++ == script_.failRequest) {
        return {false, 0, script_.failError};
    }
    if (request.code != IOCTL_CARD_REGISTER_IO) {
        return {};
    }
    if (request.read) {
        return {true, ReadRegister(request.offset), 0};
    }
    WriteRegister(request.offset, request.value);
    return {};
}

BYTE HonestCard::ReadRegister(DWORD offset) {
    if (offset == REG_CONTROL) {
        if (hostOpen_) {
            return accepting_ ? STATUS_HOST_WRITE : 0;
        }
        if (outgoing_.empty()) {
            return 0;
        }
        if (outgoing_.front().polls > 0) {
            --outgoing_.front().polls;
            return 0;
        }
        return STATUS_CARD_PACKET;
    }
    if (outgoing_.empty()) {
        return 0;
    }
    const Bytes& packet = outgoing_.front().bytes;
    BYTE value = 0;
    if (offset == REG_LENGTH_LO) {
        return static_cast<BYTE>(packet.size() & 0xFF);
    }
    if (offset == REG_LENGTH_HI) {
        value = static_cast<BYTE>(packet.size() >> 8);
    } else {
        value = packet[readAt_++];
    }
    if (readAt_ == packet.size()) {  // every byte read: the packet is withdrawn
        outgoing_.pop_front();
        readAt_ = 0;
    }
    return value;
}

void HonestCard::WriteRegister(DWORD offset, BYTE value) {
    if (offset == REG_CONTROL && value == 1) {
        hostOpen_ = true;
        accepting_ = script_.refusedSends.count(sends_) == 0;
        hostPacket_.clear();
    } else if (offset == REG_CONTROL) {
        hostOpen_ = false;
        React();
        ++sends_;
    } else if (offset == REG_DATA) {
        hostPacket_.push_back(value);
    }
}

void HonestCard::React() {
    if (!accepting_) {
        if (!script_.replyToRefused.empty()) Offer(script_.replyToRefused, script_.replyPolls);
        return;
    }
    if (hostPacket_.empty()) {
        return;
    }
    switch (hostPacket_[0]) {
        case PKT_DOWNLOAD_REQUEST:
            if (!script_.readySilent) Offer(script_.readyReply, script_.replyPolls);
            break;
        case PKT_DATA: {
            const int n = dataPackets_++;
            if (script_.silentFromDataPacket >= 0 && n >= script_.silentFromDataPacket) break;
            const auto reply = script_.dataReplies.find(n);
            Offer(reply != script_.dataReplies.end() ? reply->second
                                                     : Bytes{0xF2, 0x00, 'R', 'x', 'O', 'K'},
                  script_.replyPolls);
            break;
        }
        case PKT_END:
            for (const Bytes& late : script_.lateReplies) Offer(late, script_.replyPolls);
            if (!script_.flashNeverDone) Offer(script_.flashDone, script_.flashDonePolls);
            break;
        default:
            break;
    }
}
