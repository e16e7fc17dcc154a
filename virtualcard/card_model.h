// The virtual card: the card's side of the driver requests, the register mailbox, the packet
// protocol and the flash blocks, with a fault plan and a request trace.
//
// Freestanding: no exceptions, no RTTI, no allocation, no standard containers. Hosted twice: by
// the native Win32 stand-in (unit tests, benchmark) and by the kernel-mode driver under Wine.
// Whoever hosts it hands in the flash storage and the time of every request.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace virtualcard {

inline constexpr uint32_t kBlockCount = 16;
inline constexpr uint32_t kBlockSize = 0xE0000;  // holds the largest accepted image, 917,503 bytes
inline constexpr uint32_t kFlashSize = kBlockCount * kBlockSize;

inline constexpr uint32_t kIoctlInitialize = 0x80002000;
inline constexpr uint32_t kIoctlRegisterIo = 0x80002005;
inline constexpr uint32_t kIoctlGetInfo = 0x80002010;

// Windows error codes the model answers with (the host maps them to its own status codes).
inline constexpr uint32_t kErrorInvalidParameter = 87;  // malformed or unknown request
inline constexpr uint32_t kErrorInvalidFunction = 1;    // unknown control code

inline constexpr uint32_t kNever = 0xFFFFFFFF;  // "no such index" in the fault plan

// How the card answers one kind of packet.
enum class ReplyFault : uint32_t {
    kNone = 0,        // the proper reply
    kSilent = 1,      // no reply at all
    kWrongCode = 2,   // the proper layout with another packet code
    kWrongText = 3,   // the proper code with another text
    kEmpty = 4,       // a packet of length 0
    kShort = 5,       // a packet of only its first two bytes (code and 0x00)
    kLastLetter = 6,  // the proper code with the text's last letter changed: "RxO?"
};

enum class FlashFault : uint32_t {
    kNone = 0,        // PKT_FLASH_DONE once the programming time has passed
    kNever = 1,       // programming never finishes
    kAfterPolls = 2,  // PKT_FLASH_DONE announced at the flashDonePolls-th status read after PKT_END
    kTwoBytes = 3,    // completion answered with the two bytes 0xF7 0x00
    kWrongText = 4,   // completion answered with code 0xF7 and the text "FAIL" for "DONE"
    kLastLetter = 5,  // completion answered with code 0xF7 and the text "DON?"
};

struct FaultPlan {
    // Download request.
    ReplyFault requestReply = ReplyFault::kNone;  // kWrongCode answers with code requestReplyCode
    uint8_t requestReplyCode = 0xF2;
    uint32_t requestReplyLength = 12;  // 0..65535; shorter cuts the magic, longer pads
    char readyMagic[11] = {};          // overrides the magic when not empty
    uint32_t pendingPacketLength = 0;  // a card packet pending before the request (>0)
    // Data acknowledgements: the fault hits chunk ackFaultChunk, its first ackFaultAttempts tries.
    ReplyFault ackReply = ReplyFault::kNone;
    uint32_t ackFaultChunk = kNever;
    uint32_t ackFaultAttempts = 0;
    uint32_t silentAfterChunk = kNever;  // no acknowledgement for this chunk (and none after)
    uint32_t replyExtraBytes = 0;  // zero bytes appended to every full-layout reply (>255 tests);
                                   // not to kEmpty, kShort or two-byte replies
    // Flash completion.
    FlashFault flash = FlashFault::kNone;
    uint32_t flashDonePolls = 0;
    uint32_t lateAcks = 0;  // PKT_DATA_ACKs sent after PKT_END, before the completion
    // Driver requests, counted from 0 at every open of the device.
    uint32_t failRequestIndex = kNever;  // this one request fails
    uint32_t failFromIndex = kNever;     // every request from this one on fails (card pulled)
    uint32_t failError = 1117;           // Windows error code of those failures
    uint32_t cardInfoBytes = 176;        // bytes of CardInfo the driver fills (rest stays zero)
    bool refuseHostPackets = false;      // STATUS_HOST_WRITE never set
};

struct CardConfig {
    uint32_t registerBase = 0x2C0;
    uint32_t programmingTimeMs = 30;
    bool extendedWait = false;  // ready magic "DUVORDYORN" instead of "DUVORDYANG"
    FaultPlan faults;
};

// Sets one named configuration value; false (and nothing changed) for an unknown name or a value
// out of range. The names are the driver's registry value names; see card_model.cpp.
bool ApplyConfigValue(CardConfig& config, const char* name, uint32_t value);
bool ApplyConfigString(CardConfig& config, const char* name, const char* value);

struct IoResult {
    bool ok;
    uint32_t error;          // Windows error code when !ok
    uint32_t bytesReturned;  // bytes written to the output buffer
};

struct TraceEntry {
    uint64_t timeUs;
    uint32_t offset;  // register offset from the register base (0..3)
    uint8_t value;    // byte written, or byte returned by a read
    bool write;
};

struct Counters {
    uint64_t requests;
    uint64_t failedRequests;    // failed by the fault plan
    uint64_t rejectedRequests;  // malformed: wrong code, size, fixed word or register number
    uint64_t registerReads;
    uint64_t registerWrites;
    uint64_t hostPackets;
    uint64_t cardPackets;
    uint64_t dataPacketsAccepted;
    uint64_t dataPacketsRejected;  // wrong offset or checksum
    uint64_t protocolErrors;       // packets the card did not understand, mailbox misuse
    uint64_t blocksProgrammed;
};

using TraceFn = void (*)(void* context, const TraceEntry& entry);
using BlockProgrammedFn = void (*)(void* context, uint32_t block, const uint8_t* data,
                                   uint32_t length);

class CardModel {
  public:
    // `flash` holds kFlashSize bytes, `staging` kBlockSize bytes; both stay the host's.
    CardModel(uint8_t* flash, uint8_t* staging);

    // Takes a new configuration and resets the mailbox and protocol state; flash is kept.
    void Configure(const CardConfig& config);
    const CardConfig& config() const { return config_; }

    // A new open of the device: request indices count from 0 again, the mailbox is emptied, an
    // unfinished download is dropped (no block written), and the fault plan's pending packet, if
    // any, is announced.
    void Open();

    // One device control request. `in` and `out` may be the same buffer (METHOD_BUFFERED).
    IoResult DeviceControl(uint64_t nowUs, uint32_t code, const uint8_t* in, uint32_t inSize,
                           uint8_t* out, uint32_t outSize);

    // Called for every register access that reached the mailbox (not for failed or rejected
    // requests), after the access.
    void SetTrace(TraceFn fn, void* context);
    // Called when programming has copied a staged image into its block.
    void SetBlockProgrammed(BlockProgrammedFn fn, void* context);

    const Counters& counters() const { return counters_; }
    void ResetCounters() { counters_ = {}; }
    uint32_t BlockLength(uint32_t block) const;  // bytes programmed into the block, 0 if none
    const uint8_t* BlockData(uint32_t block) const;
    // Restores a block's contents (persistence); false when it does not fit.
    bool LoadBlock(uint32_t block, const uint8_t* data, uint32_t length);

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
    static constexpr uint32_t kHostPacketCapacity = 256;

    IoResult Fail(uint32_t code, uint8_t* out, uint32_t outSize);
    IoResult Reject();
    IoResult GetInfo(uint32_t inSize, uint8_t* out, uint32_t outSize);
    IoResult Initialize(const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize);
    IoResult RegisterIo(uint64_t nowUs, uint32_t inSize, uint8_t* out, uint32_t outSize);
    bool PlannedFailure(uint64_t index) const;

    uint8_t ReadRegister(uint64_t nowUs, uint32_t offset);
    void WriteRegister(uint64_t nowUs, uint32_t offset, uint8_t value);
    uint8_t ReadStatus(uint64_t nowUs);
    uint8_t ReadCardPacket(uint32_t offset);
    void WriteControl(uint64_t nowUs, uint8_t value);

    void ProcessHostPacket(uint64_t nowUs);
    void OnDownloadRequest(uint32_t length);
    void OnDataPacket(uint32_t length);
    bool DataPacketValid(uint32_t length, uint32_t offset) const;
    void OnEndPacket(uint64_t nowUs, uint32_t length);
    bool ProgrammingFinished(uint64_t nowUs) const;
    void FinishProgramming();

    bool AnnounceCutReply(ReplyFault fault, const uint8_t* head);
    void AnnounceReadyReply();
    void AnnounceAck(ReplyFault fault, const char* text);
    void AnnounceFlashDone();
    void AnnouncePendingPacket();
    void AnnounceFullReply(const uint8_t* head, uint32_t headLength);
    void Announce(const uint8_t* head, uint32_t headLength, uint32_t length, uint8_t fill);
    void AnnounceNextGenerated(uint64_t nowUs);
    void Withdraw();

    void ResetMailbox();
    void ResetTransfer();

    uint8_t* flash_;
    uint8_t* staging_;
    CardConfig config_;
    Counters counters_ = {};
    TraceFn traceFn_ = nullptr;
    void* traceContext_ = nullptr;
    BlockProgrammedFn programmedFn_ = nullptr;
    void* programmedContext_ = nullptr;
    uint32_t blockLength_[kBlockCount] = {};
    uint64_t requestIndex_ = 0;  // driver requests since the last Open()

    // Host packet being written: opened by REG_CONTROL = 1, processed at REG_CONTROL = 0.
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

    // Download in progress.
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
