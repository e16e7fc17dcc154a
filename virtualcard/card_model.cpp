// The virtual card. Freestanding on purpose: the same source runs in the kernel-mode driver, so
// it uses no exceptions, no allocation and nothing of the C or C++ library beyond the fixed-width
// integer types. Byte copies and comparisons are written out as small loops.
//
// Configuration values (ApplyConfigValue / ApplyConfigString; also the driver's registry value
// names). Names are compared without regard to case. Enumerations take their numeric value.
//
//   Name                 Meaning                                                     Default
//   RegisterBase         register number of REG_DATA; CardInfo bytes 32-35           0x2C0
//   ProgrammingTimeMs    card time from PKT_END to PKT_FLASH_DONE                    30
//   ExtendedWait         0/1: ready magic "DUVORDYORN" instead of "DUVORDYANG"       0
//   RequestReply         ReplyFault 0-6 for the ready reply                          0 (proper)
//   RequestReplyCode     0-255: packet code of a RequestReply = 2 (wrong code)       0xF2
//   RequestReplyLength   0-65535: ready reply length; shorter cuts, longer pads      12
//   ReadyMagic (string)  up to 10 characters replacing the magic; empty = none       empty
//   PendingPacketLength  0-65535: junk card packet pending at every open; 0 = none   0
//   AckReply             ReplyFault 0-6 for the acknowledgement of AckFaultChunk     0 (proper)
//   AckFaultChunk        chunk index (offset / 128) that AckReply hits              0xFFFFFFFF
//   AckFaultAttempts     how many attempts at that chunk AckReply hits               0
//   SilentAfterChunk     no reply to data packets of this chunk index or later       0xFFFFFFFF
//   ReplyExtraBytes      0-65535: zero bytes appended to every full-layout reply     0
//   Flash                FlashFault 0-5: how programming ends                        0 (normal)
//   FlashDonePolls       Flash = 2: PKT_FLASH_DONE at this status read after END     0
//   LateAcks             acknowledgements announced after PKT_END, before DONE       0
//   FailRequestIndex     driver request index (from 0 at each open) that fails       0xFFFFFFFF
//   FailFromIndex        every request from this index on fails (card pulled)        0xFFFFFFFF
//   FailError            nonzero Windows error code of those failures                1117
//   CardInfoBytes        0-176: bytes of CardInfo written                            176
//   RefuseHostPackets    0/1: STATUS_HOST_WRITE never set                            0
//
// ReplyFault: 0 proper, 1 silent, 2 wrong code, 3 wrong text, 4 length 0, 5 only code and 0x00,
// 6 the text's last letter changed to '?' ("RxO?", "DUVORDYAN?").
// FlashFault: 0 after ProgrammingTimeMs, 1 never, 2 after FlashDonePolls, 3 two bytes F7 00,
// 4 code F7 with the text "FAIL", 5 code F7 with the text "DON?".
#include "virtualcard/card_model.h"

namespace virtualcard {
namespace {

constexpr uint32_t kCardInfoSize = 176;
constexpr uint32_t kInitRequestSize = 36;
constexpr uint32_t kRegisterRequestSize = 60;
constexpr uint32_t kRegisterRequestWords = 15;
constexpr uint32_t kRegisterWord = 2;
constexpr uint32_t kDataWord = 5;
constexpr uint32_t kKindWord = 9;  // the first word in which the two columns differ

// Register offsets from the register base; offset 0 is the data register.
constexpr uint32_t kRegControl = 1;
constexpr uint32_t kRegLengthLo = 2;
constexpr uint32_t kRegLengthHi = 3;
constexpr uint8_t kStatusCardPacket = 0x80;
constexpr uint8_t kStatusHostWrite = 0x40;

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
constexpr uint32_t kMagicLength = 10;
constexpr uint32_t kDataPacketLength = 136;
constexpr uint32_t kChunkSize = 128;
constexpr uint32_t kChunkStart = 6;
constexpr uint32_t kChecksumStart = kChunkStart + kChunkSize;
constexpr uint32_t kEndPacketLength = 12;
constexpr uint32_t kAckLength = 6;
constexpr uint32_t kMaxPacketLength = 0xFFFF;

// The fixed words of a register request; words 2 (register) and 5 (data) are checked apart.
constexpr uint32_t kReadWords[kRegisterRequestWords] = {
    0x00010001, 0x00040001, 0, 0x00010001, 0x00010001, 0,          0x00010003, 0x000D0000,
    0x00001000, 7,          0, 0,          0x00010003, 0x000D0001, 0x00014000};
constexpr uint32_t kWriteWords[kRegisterRequestWords] = {
    0x00010001, 0x00040001, 0,          0x00010001, 0x00010001, 0, 0x00010003, 0x000D0000,
    0x00001000, 0x00010003, 0x000D0001, 0x00012000, 10,         0, 0};

constexpr uint8_t kInitRequest[kInitRequestSize] = {
    0x1A, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x01,
    'I',  'n',  'i',  't',  'i',  'a',  'l',  'i',  'z',  'e',  'H',  'a',
    'r',  'd',  'w',  'a',  'r',  'e',  '\n', 0x00, 0x00, 0x00, 0x00, 0x00};

uint32_t LoadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void StoreLe32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

void CopyBytes(uint8_t* dst, const uint8_t* src, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) dst[i] = src[i];
}

bool BytesEqual(const uint8_t* a, const uint8_t* b, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

bool TextEqual(const uint8_t* bytes, const char* text, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (bytes[i] != static_cast<uint8_t>(text[i])) return false;
    }
    return true;
}

// Copies up to `count` characters of a NUL-terminated text and zero-fills the rest.
void CopyText(uint8_t* dst, const char* text, uint32_t count) {
    uint32_t i = 0;
    for (; i < count && text[i] != '\0'; ++i) dst[i] = static_cast<uint8_t>(text[i]);
    for (; i < count; ++i) dst[i] = 0;
}

uint32_t Min(uint32_t a, uint32_t b) {
    return a < b ? a : b;
}

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

// ---- Configuration table ----

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NamesEqual(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) return false;
    }
    return *a == *b;
}

struct ConfigEntry {
    const char* name;
    uint32_t min;
    uint32_t max;
    void (*set)(CardConfig& config, uint32_t value);
};

constexpr uint32_t kAny = 0xFFFFFFFF;

constexpr ConfigEntry kConfigTable[] = {
    {"RegisterBase", 0, kAny, [](CardConfig& c, uint32_t v) { c.registerBase = v; }},
    {"ProgrammingTimeMs", 0, kAny, [](CardConfig& c, uint32_t v) { c.programmingTimeMs = v; }},
    {"ExtendedWait", 0, 1, [](CardConfig& c, uint32_t v) { c.extendedWait = v != 0; }},
    {"RequestReply", 0, 6,
     [](CardConfig& c, uint32_t v) { c.faults.requestReply = static_cast<ReplyFault>(v); }},
    {"RequestReplyCode", 0, 0xFF,
     [](CardConfig& c, uint32_t v) { c.faults.requestReplyCode = static_cast<uint8_t>(v); }},
    {"RequestReplyLength", 0, kMaxPacketLength,
     [](CardConfig& c, uint32_t v) { c.faults.requestReplyLength = v; }},
    {"PendingPacketLength", 0, kMaxPacketLength,
     [](CardConfig& c, uint32_t v) { c.faults.pendingPacketLength = v; }},
    {"AckReply", 0, 6,
     [](CardConfig& c, uint32_t v) { c.faults.ackReply = static_cast<ReplyFault>(v); }},
    {"AckFaultChunk", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.ackFaultChunk = v; }},
    {"AckFaultAttempts", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.ackFaultAttempts = v; }},
    {"SilentAfterChunk", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.silentAfterChunk = v; }},
    {"ReplyExtraBytes", 0, kMaxPacketLength,
     [](CardConfig& c, uint32_t v) { c.faults.replyExtraBytes = v; }},
    {"Flash", 0, 5, [](CardConfig& c, uint32_t v) { c.faults.flash = static_cast<FlashFault>(v); }},
    {"FlashDonePolls", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.flashDonePolls = v; }},
    {"LateAcks", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.lateAcks = v; }},
    {"FailRequestIndex", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.failRequestIndex = v; }},
    {"FailFromIndex", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.failFromIndex = v; }},
    {"FailError", 1, kAny, [](CardConfig& c, uint32_t v) { c.faults.failError = v; }},
    {"CardInfoBytes", 0, kCardInfoSize,
     [](CardConfig& c, uint32_t v) { c.faults.cardInfoBytes = v; }},
    {"RefuseHostPackets", 0, 1,
     [](CardConfig& c, uint32_t v) { c.faults.refuseHostPackets = v != 0; }},
};

constexpr const char* kReadyMagicName = "ReadyMagic";

// Decimal, or hexadecimal with a 0x prefix; the whole text must be a number that fits.
bool ParseNumber(const char* text, uint32_t* value) {
    uint32_t base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    if (*text == '\0') return false;
    uint64_t result = 0;
    for (; *text != '\0'; ++text) {
        const char c = LowerAscii(*text);
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else {
            return false;
        }
        result = result * base + digit;
        if (result > 0xFFFFFFFFull) return false;
    }
    *value = static_cast<uint32_t>(result);
    return true;
}

}  // namespace

bool ApplyConfigValue(CardConfig& config, const char* name, uint32_t value) {
    for (const ConfigEntry& entry : kConfigTable) {
        if (!NamesEqual(entry.name, name)) continue;
        if (value < entry.min || value > entry.max) return false;
        entry.set(config, value);
        return true;
    }
    return false;
}

bool ApplyConfigString(CardConfig& config, const char* name, const char* value) {
    if (NamesEqual(name, kReadyMagicName)) {
        uint32_t length = 0;
        while (value[length] != '\0') {
            if (++length > kMagicLength) return false;
        }
        for (uint32_t i = 0; i < sizeof config.faults.readyMagic; ++i) {
            config.faults.readyMagic[i] = i < length ? value[i] : '\0';
        }
        return true;
    }
    uint32_t number;
    return ParseNumber(value, &number) && ApplyConfigValue(config, name, number);
}

// ---- Lifecycle ----

CardModel::CardModel(uint8_t* flash, uint8_t* staging) : flash_(flash), staging_(staging) {
    Configure(CardConfig{});
}

void CardModel::Configure(const CardConfig& config) {
    config_ = config;
    Open();
}

void CardModel::Open() {
    requestIndex_ = 0;
    ResetMailbox();
    ResetTransfer();
    AnnouncePendingPacket();
}

void CardModel::ResetMailbox() {
    hostOpen_ = false;
    hostLength_ = 0;
    hostReceived_ = 0;
    cardQueueHead_ = 0;
    cardQueueCount_ = 0;
    lengthLoRead_ = false;
    lengthHiRead_ = false;
    dataRead_ = 0;
}

void CardModel::ResetTransfer() {
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

void CardModel::SetTrace(TraceFn fn, void* context) {
    traceFn_ = fn;
    traceContext_ = context;
}

void CardModel::SetBlockProgrammed(BlockProgrammedFn fn, void* context) {
    programmedFn_ = fn;
    programmedContext_ = context;
}

uint32_t CardModel::BlockLength(uint32_t block) const {
    return block < kBlockCount ? blockLength_[block] : 0;
}

const uint8_t* CardModel::BlockData(uint32_t block) const {
    return block < kBlockCount ? flash_ + block * kBlockSize : nullptr;
}

bool CardModel::LoadBlock(uint32_t block, const uint8_t* data, uint32_t length) {
    if (block >= kBlockCount || length > kBlockSize) return false;
    CopyBytes(flash_ + block * kBlockSize, data, length);
    blockLength_[block] = length;
    return true;
}

// ---- Driver requests ----

IoResult CardModel::DeviceControl(uint64_t nowUs, uint32_t code, const uint8_t* in, uint32_t inSize,
                                  uint8_t* out, uint32_t outSize) {
    ++counters_.requests;
    if (PlannedFailure(requestIndex_++)) return Fail(code, out, outSize);
    switch (code) {
        case kIoctlGetInfo:
            return GetInfo(inSize, out, outSize);
        case kIoctlInitialize:
            return Initialize(in, inSize, out, outSize);
        case kIoctlRegisterIo:
            return RegisterIo(nowUs, inSize, out, outSize);
        default:
            ++counters_.rejectedRequests;
            return IoResult{false, kErrorInvalidFunction, 0};
    }
}

bool CardModel::PlannedFailure(uint64_t index) const {
    const FaultPlan& faults = config_.faults;
    if (faults.failRequestIndex != kNever && index == faults.failRequestIndex) return true;
    return faults.failFromIndex != kNever && index >= faults.failFromIndex;
}

// A failing read leaves 0xFF in the data word: the output buffer is the caller's own memory, so
// whatever the driver wrote there is visible even though the request failed.
IoResult CardModel::Fail(uint32_t code, uint8_t* out, uint32_t outSize) {
    ++counters_.failedRequests;
    if (code == kIoctlRegisterIo && out != nullptr && outSize == kRegisterRequestSize &&
        LoadLe32(out + 4 * kKindWord) == kReadWords[kKindWord]) {
        StoreLe32(out + 4 * kDataWord, 0xFF);
    }
    return IoResult{false, config_.faults.failError, 0};
}

IoResult CardModel::Reject() {
    ++counters_.rejectedRequests;
    return IoResult{false, kErrorInvalidParameter, 0};
}

IoResult CardModel::GetInfo(uint32_t inSize, uint8_t* out, uint32_t outSize) {
    if (inSize != 0 || out == nullptr || outSize != kCardInfoSize) return Reject();
    uint8_t info[kCardInfoSize] = {};
    CopyText(info, "DUVO PCMCIA virtual card", 32);
    StoreLe32(info + 32, config_.registerBase);
    StoreLe32(info + 36, kBlockCount);
    StoreLe32(info + 40, kBlockSize);
    const uint32_t count = Min(config_.faults.cardInfoBytes, kCardInfoSize);
    CopyBytes(out, info, count);
    return IoResult{true, 0, count};
}

IoResult CardModel::Initialize(const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize) {
    if (in == nullptr || inSize != kInitRequestSize || out == nullptr ||
        outSize != kInitRequestSize || !BytesEqual(in, kInitRequest, kInitRequestSize)) {
        return Reject();
    }
    if (out != in) CopyBytes(out, in, kInitRequestSize);
    return IoResult{true, 0, kInitRequestSize};
}

IoResult CardModel::RegisterIo(uint64_t nowUs, uint32_t inSize, uint8_t* out, uint32_t outSize) {
    if (inSize != 0 || out == nullptr || outSize != kRegisterRequestSize) return Reject();
    uint32_t words[kRegisterRequestWords];
    for (uint32_t i = 0; i < kRegisterRequestWords; ++i) words[i] = LoadLe32(out + 4 * i);

    const bool write = words[kKindWord] == kWriteWords[kKindWord];
    if (!write && words[kKindWord] != kReadWords[kKindWord]) return Reject();
    const uint32_t* column = write ? kWriteWords : kReadWords;
    for (uint32_t i = 0; i < kRegisterRequestWords; ++i) {
        if (i != kRegisterWord && i != kDataWord && words[i] != column[i]) return Reject();
    }
    const uint32_t offset = words[kRegisterWord] - config_.registerBase;
    if (offset > kRegLengthHi) return Reject();
    const uint32_t data = words[kDataWord];
    if (write ? data > 0xFF : data != 0) return Reject();

    uint8_t value;
    if (write) {
        value = static_cast<uint8_t>(data);
        ++counters_.registerWrites;
        WriteRegister(nowUs, offset, value);
    } else {
        ++counters_.registerReads;
        value = ReadRegister(nowUs, offset);
        StoreLe32(out + 4 * kDataWord, value);
    }
    if (traceFn_ != nullptr) traceFn_(traceContext_, TraceEntry{nowUs, offset, value, write});
    return IoResult{true, 0, kRegisterRequestSize};
}

// ---- Mailbox ----

uint8_t CardModel::ReadRegister(uint64_t nowUs, uint32_t offset) {
    if (offset == kRegControl) return ReadStatus(nowUs);
    return ReadCardPacket(offset);
}

void CardModel::WriteRegister(uint64_t nowUs, uint32_t offset, uint8_t value) {
    if (offset == kRegControl) {
        WriteControl(nowUs, value);
        return;
    }
    if (!hostOpen_) {
        ++counters_.protocolErrors;
        return;
    }
    if (offset == kRegLengthLo) {
        hostLength_ = static_cast<uint16_t>((hostLength_ & 0xFF00) | value);
    } else if (offset == kRegLengthHi) {
        hostLength_ = static_cast<uint16_t>((hostLength_ & 0x00FF) | value << 8);
    } else {
        if (hostReceived_ < kHostPacketCapacity) hostPacket_[hostReceived_] = value;
        ++hostReceived_;
    }
}

// 1 opens a host packet (unless the card refuses them), 0 closes it and hands it to the
// protocol. A 0 without an open packet is the close that follows a refused packet.
void CardModel::WriteControl(uint64_t nowUs, uint8_t value) {
    if (value == 1) {
        hostOpen_ = !config_.faults.refuseHostPackets;
        hostLength_ = 0;
        hostReceived_ = 0;
    } else if (value == 0) {
        if (!hostOpen_) return;
        hostOpen_ = false;
        ProcessHostPacket(nowUs);
    } else {
        ++counters_.protocolErrors;
    }
}

uint8_t CardModel::ReadStatus(uint64_t nowUs) {
    if (programming_) ++statusReadsSinceEnd_;
    if (cardQueueCount_ == 0) AnnounceNextGenerated(nowUs);
    uint8_t status = 0;
    if (cardQueueCount_ != 0) status |= kStatusCardPacket;
    if (hostOpen_) status |= kStatusHostWrite;
    return status;
}

// The host reads both length bytes and then exactly `length` data bytes; after the last of
// them the packet is withdrawn and the next queued one takes its place.
uint8_t CardModel::ReadCardPacket(uint32_t offset) {
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

void CardModel::Announce(const uint8_t* head, uint32_t headLength, uint32_t length, uint8_t fill) {
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

// A reply in its full layout, followed by the configured extra zero bytes.
void CardModel::AnnounceFullReply(const uint8_t* head, uint32_t headLength) {
    Announce(head, headLength, headLength + config_.faults.replyExtraBytes, 0);
}

void CardModel::Withdraw() {
    cardQueueHead_ = (cardQueueHead_ + 1) % kCardQueueSize;
    --cardQueueCount_;
    lengthLoRead_ = false;
    lengthHiRead_ = false;
    dataRead_ = 0;
}

// Packets the card produces on its own while programming: late acknowledgements first, then
// the completion once programming has finished.
void CardModel::AnnounceNextGenerated(uint64_t nowUs) {
    if (!programming_) return;
    if (lateAcksPending_ > 0) {
        --lateAcksPending_;
        AnnounceAck(ReplyFault::kNone, "RxOK");
    } else if (ProgrammingFinished(nowUs)) {
        FinishProgramming();
        AnnounceFlashDone();
    }
}

void CardModel::AnnouncePendingPacket() {
    if (config_.faults.pendingPacketLength == 0) return;
    Announce(nullptr, 0, config_.faults.pendingPacketLength, kJunkByte);
}

// ---- Packet protocol ----

void CardModel::ProcessHostPacket(uint64_t nowUs) {
    ++counters_.hostPackets;
    const uint32_t length = hostLength_;
    if (hostReceived_ != length || length > kHostPacketCapacity || length == 0) {
        ++counters_.protocolErrors;
        return;
    }
    switch (hostPacket_[0]) {
        case kPktDownloadRequest:
            OnDownloadRequest(length);
            break;
        case kPktData:
            OnDataPacket(length);
            break;
        case kPktEnd:
            OnEndPacket(nowUs, length);
            break;
        default:
            ++counters_.protocolErrors;
            break;
    }
}

// "\xFE\x00DVDN%04X": a block in upper-case hex. A valid request starts a new transfer.
void CardModel::OnDownloadRequest(uint32_t length) {
    uint32_t block = 0;
    if (length != kRequestLength || hostPacket_[1] != 0 || !TextEqual(hostPacket_ + 2, "DVDN", 4) ||
        !ParseUpperHex4(hostPacket_ + 6, &block) || block >= kBlockCount) {
        ++counters_.protocolErrors;
        return;
    }
    ResetTransfer();
    downloadActive_ = true;
    block_ = block;
    AnnounceReadyReply();
}

// The reply faults that leave no layout to fill: no packet, a packet of length 0, or only the
// code and 0x00 of `head`. True when `fault` was one of them and has been announced.
bool CardModel::AnnounceCutReply(ReplyFault fault, const uint8_t* head) {
    switch (fault) {
        case ReplyFault::kSilent:
            return true;
        case ReplyFault::kEmpty:
            Announce(head, 0, 0, 0);
            return true;
        case ReplyFault::kShort:
            Announce(head, 2, 2, 0);
            return true;
        default:
            return false;
    }
}

void CardModel::AnnounceReadyReply() {
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
    Announce(head, Min(length, kReadyReplyLength), length + faults.replyExtraBytes, 0);
}

void CardModel::OnDataPacket(uint32_t length) {
    const FaultPlan& faults = config_.faults;
    const uint32_t offset = length >= kChunkStart ? LoadLe32(hostPacket_ + 2) : 0;
    const uint32_t chunk = offset / kChunkSize;
    if (haveAttemptChunk_ && chunk == attemptChunk_) {
        ++attempt_;
    } else {
        haveAttemptChunk_ = true;
        attemptChunk_ = chunk;
        attempt_ = 1;
    }

    const bool valid = DataPacketValid(length, offset);
    if (valid) {
        CopyBytes(staging_ + offset, hostPacket_ + kChunkStart, kChunkSize);
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
bool CardModel::DataPacketValid(uint32_t length, uint32_t offset) const {
    if (!downloadActive_ || length != kDataPacketLength || hostPacket_[1] != 0) return false;
    const bool continues = offset == expectedOffset_;
    const bool repeats = haveChunk_ && offset == lastOffset_;
    if (!continues && !repeats) return false;
    if (offset > kBlockSize - kChunkSize) return false;
    const uint16_t stored =
        static_cast<uint16_t>(hostPacket_[kChecksumStart] | hostPacket_[kChecksumStart + 1] << 8);
    return ChunkChecksum(hostPacket_ + kChunkStart) == stored;
}

void CardModel::AnnounceAck(ReplyFault fault, const char* text) {
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
void CardModel::OnEndPacket(uint64_t nowUs, uint32_t length) {
    static constexpr uint8_t kZeros[6] = {};
    if (!downloadActive_ || length != kEndPacketLength || hostPacket_[1] != 0 ||
        !TextEqual(hostPacket_ + 2, "DONE", 4) || !BytesEqual(hostPacket_ + 6, kZeros, 6)) {
        ++counters_.protocolErrors;
        return;
    }
    downloadActive_ = false;
    programming_ = true;
    programmingDoneUs_ = nowUs + static_cast<uint64_t>(config_.programmingTimeMs) * 1000;
    statusReadsSinceEnd_ = 0;
    lateAcksPending_ = config_.faults.lateAcks;
}

bool CardModel::ProgrammingFinished(uint64_t nowUs) const {
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
void CardModel::FinishProgramming() {
    programming_ = false;
    const uint32_t length = expectedOffset_;
    uint8_t* block = flash_ + block_ * kBlockSize;
    CopyBytes(block, staging_, length);
    blockLength_[block_] = length;
    ++counters_.blocksProgrammed;
    if (programmedFn_ != nullptr) programmedFn_(programmedContext_, block_, block, length);
}

void CardModel::AnnounceFlashDone() {
    uint8_t head[kAckLength] = {kPktFlashDone, 0, 'D', 'O', 'N', 'E'};
    if (config_.faults.flash == FlashFault::kWrongText) {
        CopyText(head + 2, "FAIL", 4);
    } else if (config_.faults.flash == FlashFault::kLastLetter) {
        head[kAckLength - 1] = kChangedLetter;
    }
    if (config_.faults.flash == FlashFault::kTwoBytes) {
        Announce(head, 2, 2, 0);
        return;
    }
    AnnounceFullReply(head, kAckLength);
}

}  // namespace virtualcard
