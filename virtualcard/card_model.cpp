// The card's side of the three driver requests: card information, hardware initialisation and
// register requests, each checked to the last fixed word, and the fault plan's failed requests.
#include "virtualcard/card_model.h"

#include "virtualcard/card_bytes.h"

namespace virtualcard {
namespace {

constexpr uint32_t kInitRequestSize = 36;
constexpr uint32_t kRegisterRequestSize = 60;
constexpr uint32_t kRegisterRequestWords = 15;
constexpr uint32_t kRegisterWord = 2;
constexpr uint32_t kDataWord = 5;
constexpr uint32_t kKindWord = 9;  // the first word in which the two columns differ

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

}  // namespace

CardModel::CardModel(uint8_t* flash, uint8_t* staging)
    : flash_(flash, staging),
      mailbox_(config_, counters_),
      protocol_(config_, counters_, mailbox_, flash_) {
    Configure(CardConfig{});
}

void CardModel::Configure(const CardConfig& config) {
    config_ = config;
    Open();
}

void CardModel::Open() {
    requestIndex_ = 0;
    mailbox_.Reset();
    protocol_.Reset();
    protocol_.AnnouncePendingPacket();
}

void CardModel::SetTrace(TraceFn fn, void* context) {
    traceFn_ = fn;
    traceContext_ = context;
}

void CardModel::SetBlockProgrammed(BlockProgrammedFn fn, void* context) {
    flash_.SetBlockProgrammed(fn, context);
}

bool CardModel::LoadBlock(uint32_t block, const uint8_t* data, uint32_t length) {
    return flash_.Load(block, data, length);
}

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

uint8_t CardModel::ReadRegister(uint64_t nowUs, uint32_t offset) {
    if (offset != kRegControl) return mailbox_.ReadCardPacket(offset);
    protocol_.OnStatusRead(nowUs);
    return mailbox_.Status();
}

void CardModel::WriteRegister(uint64_t nowUs, uint32_t offset, uint8_t value) {
    if (mailbox_.Write(offset, value)) {
        protocol_.OnHostPacket(nowUs, mailbox_.HostPacket(), mailbox_.HostLength());
    }
}

}  // namespace virtualcard
