// SendPacket and ReceivePacket alone against a hostile card. The input is the register base
// (4 bytes, little-endian), then per call one byte choosing it (receive into a buffer, receive
// and drop, send), for a send two bytes of length, and the answers to that call's requests.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "cardlink/mailbox.h"
#include "fuzz/check.h"
#include "fuzz/hostile_device.h"
#include "win32_standin/standin.h"

namespace {

constexpr int kPollLimit = 40;
constexpr DWORD kStoredCap = 255;
constexpr DWORD kLongestPacket = 65535;
constexpr DWORD kMaxSendLength = 1024;
constexpr int kMaxCalls = 8;

class EventLog final : public RegisterObserver {
  public:
    void Saw(const RegisterEvent& event) override { events.push_back(event); }
    std::vector<RegisterEvent> events;
};

// Walks the events of one call in order.
class Events {
  public:
    explicit Events(const std::vector<RegisterEvent>& events) : events_(events) {}
    BYTE Read(DWORD offset, const char* what) {
        FUZZ_CHECK(at_ < events_.size(), what);
        const RegisterEvent& e = events_[at_++];
        FUZZ_CHECK(e.read && e.offset == offset, what);
        return e.value;
    }
    void Write(DWORD offset, BYTE value, const char* what) {
        FUZZ_CHECK(at_ < events_.size(), what);
        const RegisterEvent& e = events_[at_++];
        FUZZ_CHECK(!e.read && e.offset == offset && e.value == value, what);
    }
    void End() const { FUZZ_CHECK(at_ == events_.size(), "requests after the call's last"); }

  private:
    const std::vector<RegisterEvent>& events_;
    std::size_t at_ = 0;
};

struct Received {
    bool found = false;
    int emptyPolls = 0;
    DWORD length = 0;
    std::vector<BYTE> stored;  // the first bytes, up to the cap
};

// The requests one receive must make: polls until the card announces a packet or the limit,
// then the two length bytes and exactly that many data bytes.
Received ExpectReceive(Events& events) {
    Received r;
    while (r.emptyPolls < kPollLimit) {
        if ((events.Read(REG_CONTROL, "receive: status poll") & STATUS_CARD_PACKET) != 0) {
            r.found = true;
            break;
        }
        ++r.emptyPolls;
    }
    if (!r.found) {
        return r;
    }
    const BYTE low = events.Read(REG_LENGTH_LO, "receive: low length byte");
    const BYTE high = events.Read(REG_LENGTH_HI, "receive: high length byte");
    r.length = static_cast<DWORD>(high) * 256 + low;
    for (DWORD i = 0; i < r.length; ++i) {
        const BYTE value = events.Read(REG_DATA, "receive: data byte");
        if (i < kStoredCap) r.stored.push_back(value);
    }
    return r;
}

void CheckReceive(HANDLE handle, DWORD base, EventLog& log, bool withBuffer) {
    const uint64_t sleepsBefore = win32_standin::SleepCount();
    std::unique_ptr<BYTE[]> buffer(withBuffer ? new BYTE[kStoredCap] : nullptr);
    if (withBuffer) std::memset(buffer.get(), 0xCC, kStoredCap);
    WORD length = 0xBEEF;
    const bool result = ReceivePacket(handle, base, buffer.get(), withBuffer ? &length : nullptr);

    FUZZ_CHECK(log.events.size() <= kPollLimit + 2 + kLongestPacket, "receive: too many requests");
    Events events(log.events);
    const Received r = ExpectReceive(events);
    events.End();
    FUZZ_CHECK(result == r.found, "receive: result");
    FUZZ_CHECK(win32_standin::SleepCount() - sleepsBefore == static_cast<uint64_t>(r.emptyPolls),
               "receive: one sleep after each empty poll");
    if (withBuffer) {
        FUZZ_CHECK(length == r.stored.size(), "receive: stored length");
        FUZZ_CHECK(
            r.stored.empty() || std::memcmp(buffer.get(), r.stored.data(), r.stored.size()) == 0,
            "receive: stored bytes");
    }
}

void CheckSend(HANDLE handle, DWORD base, EventLog& log, WORD length) {
    std::vector<BYTE> packet(length);
    for (WORD i = 0; i < length; ++i) packet[i] = static_cast<BYTE>(i * 31 + 7);
    std::unique_ptr<BYTE[]> exact(new BYTE[length]);  // no byte beyond the packet to read
    std::copy(packet.begin(), packet.end(), exact.get());
    const bool result = SendPacket(handle, base, exact.get(), length);

    FUZZ_CHECK(result, "send: result");
    FUZZ_CHECK(log.events.size() <= 1 + kPollLimit + 2 + kLongestPacket + 5 + length,
               "send: too many requests");
    Events events(log.events);
    if ((events.Read(REG_CONTROL, "send: status check") & STATUS_CARD_PACKET) != 0) {
        ExpectReceive(events);
    }
    events.Write(REG_CONTROL, 1, "send: open");
    if ((events.Read(REG_CONTROL, "send: status read") & STATUS_HOST_WRITE) != 0) {
        events.Write(REG_LENGTH_LO, static_cast<BYTE>(length & 0xFF), "send: low length byte");
        events.Write(REG_LENGTH_HI, static_cast<BYTE>(length >> 8), "send: high length byte");
        for (WORD i = 0; i < length; ++i) events.Write(REG_DATA, packet[i], "send: data byte");
    }
    events.Write(REG_CONTROL, 0, "send: close");
    events.End();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    AnswerStream input(data, size);
    win32_standin::Reset();
    StreamAnswers answers(input);
    EventLog log;
    HostileDevice device(answers, log);
    const DWORD base = input.Le32();
    device.SetRegisterBase(base);
    win32_standin::RegisterDevice(HostileDevice::kPath, &device);
    const HANDLE handle =
        CreateFileA(HostileDevice::kPath, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);

    for (int call = 0; call < kMaxCalls && !input.Spent(); ++call) {
        log.events.clear();
        const BYTE kind = input.Byte() % 3;
        if (kind == 2) {
            CheckSend(handle, base, log, static_cast<WORD>(input.Le16() % (kMaxSendLength + 1)));
        } else {
            CheckReceive(handle, base, log, kind == 0);
        }
    }
    CloseHandle(handle);
    win32_standin::UnregisterDevice(HostileDevice::kPath);
    return 0;
}
