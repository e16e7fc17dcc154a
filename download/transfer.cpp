#include "download/transfer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "cardlink/byte_order.h"
#include "cardlink/mailbox.h"

namespace {

constexpr std::size_t kOffsetField = 2;
constexpr std::size_t kChunkField = 6;
constexpr std::size_t kChecksumField = kChunkField + CHUNK_SIZE;
constexpr std::size_t kTextField = 2;
constexpr std::size_t kTextLength = 4;
constexpr char kAckText[] = "RxOK";
constexpr char kDoneText[] = "DONE";
constexpr DWORD kProgressPerChunk = CHUNK_SIZE * 100;
constexpr int kFlashWaitPasses = 2;

// Replies are judged by the bytes that stand in the packet buffer after the receive, whatever
// length the card reported: a short reply leaves the tail of the previous packet in place.
bool ReplyIs(const BYTE* packet, BYTE code, const char* text) {
    return packet[0] == code && std::memcmp(packet + kTextField, text, kTextLength) == 0;
}

// Writes the percent and tells the caller what it now stands for.
class ProgressWriter {
  public:
    ProgressWriter(std::atomic<LONG>* percent, const DownloadEvents& events, DWORD length)
        : m_percent(percent), m_events(events), m_length(length) {}

    void Set(DownloadPhase phase, LONG value, DWORD bytes) const {
        m_percent->store(value, std::memory_order_relaxed);
        if (m_events.progress != nullptr) {
            m_events.progress(m_events.context, DownloadProgress{phase, value, bytes, m_length});
        }
    }

    bool Abandoned() const {
        return m_events.abandon != nullptr && m_events.abandon(m_events.context);
    }

  private:
    std::atomic<LONG>* m_percent;
    const DownloadEvents& m_events;
    DWORD m_length;
};

// Sends the chunk at `offset` until the card acknowledges it, at most DATA_ATTEMPTS times.
bool SendChunk(HANDLE device, DWORD registerBase, BYTE* packet, const BYTE* image, DWORD length,
               DWORD offset) {
    for (int attempt = 0; attempt < DATA_ATTEMPTS; ++attempt) {
        // The previous reply was received over the packet: build it again, byte for byte.
        BuildDataPacket(packet, image, length, offset);
        SendPacket(device, registerBase, packet, DATA_PACKET_LENGTH);
        WORD received = 0;
        if (!ReceivePacket(device, registerBase, packet, &received)) {
            return false;
        }
        if (ReplyIs(packet, PKT_DATA_ACK, kAckText)) {
            return true;
        }
    }
    return false;
}

TransferOutcome SendImage(HANDLE device, DWORD registerBase, BYTE* packet, const BYTE* image,
                          DWORD length, const ProgressWriter& progress) {
    // 64-bit so that neither the offset nor the progress counter can wrap for any length.
    std::uint64_t counter = 0;
    for (std::uint64_t offset = 0; offset < length; offset += CHUNK_SIZE) {
        if (progress.Abandoned()) {
            return TransferOutcome::Abandoned;
        }
        if (!SendChunk(device, registerBase, packet, image, length, static_cast<DWORD>(offset))) {
            return TransferOutcome::Failed;
        }
        const std::uint64_t acknowledged = std::min<std::uint64_t>(offset + CHUNK_SIZE, length);
        progress.Set(DownloadPhase::Sending, static_cast<LONG>(counter / length),
                     static_cast<DWORD>(acknowledged));
        counter += kProgressPerChunk;
    }
    return TransferOutcome::FlashDone;
}

void SendEnd(HANDLE device, DWORD registerBase, BYTE* packet) {
    std::memset(packet, 0, END_PACKET_LENGTH);
    packet[0] = PKT_END;
    std::memcpy(packet + kTextField, kDoneText, kTextLength);
    SendPacket(device, registerBase, packet, END_PACKET_LENGTH);
}

TransferOutcome WaitForFlashDone(HANDLE device, DWORD registerBase, BYTE* packet, DWORD length,
                                 int budget, const ProgressWriter& progress) {
    for (int pass = 0; pass < kFlashWaitPasses; ++pass) {
        for (int call = 0; call < budget; ++call) {
            if (progress.Abandoned()) {
                return TransferOutcome::Abandoned;
            }
            WORD received = 0;
            if (ReceivePacket(device, registerBase, packet, &received) &&
                ReplyIs(packet, PKT_FLASH_DONE, kDoneText)) {
                progress.Set(DownloadPhase::Programming, 100, length);
                return TransferOutcome::FlashDone;
            }
            progress.Set(DownloadPhase::Programming, static_cast<LONG>(call * 100 / budget),
                         length);
        }
    }
    return TransferOutcome::Failed;
}

}  // namespace

void BuildDataPacket(BYTE* packet, const BYTE* image, DWORD length, DWORD offset) {
    packet[0] = PKT_DATA;
    packet[1] = 0x00;
    PutLe32(packet + kOffsetField, offset);
    const DWORD remaining = length - offset;
    const DWORD count = remaining < CHUNK_SIZE ? remaining : CHUNK_SIZE;
    std::memcpy(packet + kChunkField, image + offset, count);
    std::memset(packet + kChunkField + count, 0, CHUNK_SIZE - count);

    DWORD checksum = 0;
    for (std::size_t i = kChunkField; i < kChecksumField; i += 2) {
        checksum ^= static_cast<DWORD>(packet[i]) | static_cast<DWORD>(packet[i + 1]) << 8;
    }
    PutLe16(packet + kChecksumField, checksum);
}

int FlashWaitBudget(DWORD length, DWORD extendedFlashWait) {
    const std::uint64_t started64KBlocks = (static_cast<std::uint64_t>(length) + 65535) >> 16;
    const int budget = static_cast<int>(started64KBlocks) * FLASH_WAIT_CALLS_PER_64K;
    return extendedFlashWait != 0 ? budget + FLASH_WAIT_EXTENDED_EXTRA : budget;
}

void PostWmAppToOwner(void* owner) {
    PostMessageA(static_cast<HWND>(owner), WM_APP, 0, 0);
}

TransferOutcome TransferImageWith(HANDLE device, DWORD registerBase, const BYTE* image,
                                  DWORD length, std::atomic<LONG>* percent,
                                  const DownloadEvents& events) {
    BYTE packet[PACKET_BUFFER_SIZE] = {};
    const ProgressWriter progress(percent, events, length);
    progress.Set(DownloadPhase::Sending, 0, 0);
    if (const TransferOutcome sent =
            SendImage(device, registerBase, packet, image, length, progress);
        sent != TransferOutcome::FlashDone) {
        return sent;
    }
    SendEnd(device, registerBase, packet);
    progress.Set(DownloadPhase::Programming, 0, length);
    if (events.handOver != nullptr) {
        events.handOver(events.context);
    }
    return WaitForFlashDone(device, registerBase, packet, length,
                            FlashWaitBudget(length, g_extendedFlashWait), progress);
}

bool TransferImage(HWND owner, HANDLE device, DWORD registerBase, const BYTE* image, DWORD length,
                   std::atomic<LONG>* percent) {
    DownloadEvents events;
    events.context = owner;
    events.handOver = PostWmAppToOwner;
    return TransferImageWith(device, registerBase, image, length, percent, events) ==
           TransferOutcome::FlashDone;
}
