// A card driver whose every answer comes from an answer source (the fuzz input, or a recorded
// card), registered with the Win32 stand-in. It checks the shape of every request, tells an
// observer what the host sent and what the host got back, and counts the requests.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "fuzz/answer_stream.h"
#include "win32_standin/standin.h"

// One mailbox register access. `value` is the byte written, or for a read the byte the host
// gets: the answer's byte, or 0xFF when the request failed.
struct RegisterEvent {
    bool read;
    DWORD offset;  // 0 to 3, from the register base
    BYTE value;
};

class RegisterObserver {
  public:
    virtual ~RegisterObserver() = default;
    // IOCTL_CARD_GET_INFO and IOCTL_CARD_INITIALIZE, with their outcome.
    virtual void SawControl(DWORD /*code*/, bool /*ok*/) {}
    virtual void Saw(const RegisterEvent& event) = 0;
};

// What a request asks: for a source that answers like a card.
struct DriverRequest {
    DWORD code;
    bool read;     // register requests only
    DWORD offset;  // register requests only
    BYTE value;    // the byte written
};

class AnswerSource {
  public:
    virtual ~AnswerSource() = default;
    virtual Answer Next(const DriverRequest& request) = 0;
};

// Answers every request with the next answer of the fuzz input, whatever it asks.
class StreamAnswers final : public AnswerSource {
  public:
    explicit StreamAnswers(AnswerStream& input) : input_(input) {}
    Answer Next(const DriverRequest&) override { return input_.Next(); }

  private:
    AnswerStream& input_;
};

class HostileDevice final : public win32_standin::Device {
  public:
    static constexpr const char* kPath = "\\\\.\\duvo0";
    // The most card packet bytes announced in one execution: one packet of the longest length
    // and 4 KiB more. Past it a length's high byte is answered as 0 (the low byte stays the
    // input's), so that one execution makes at most some 90,000 requests.
    static constexpr std::uint64_t kAnnouncedBytesCap = 65535 + 4096;

    HostileDevice(AnswerSource& answers, RegisterObserver& observer)
        : answers_(answers), observer_(observer) {}

    // The driver fills the first `filled` bytes of CardInfo (at most 176), with `base` in bytes
    // 32-35 as far as they are filled; the host's zero fill gives the rest.
    void SetCardInfo(std::size_t filled, DWORD base);
    // For callers that skip the information request.
    void SetRegisterBase(DWORD base) { base_ = base; }
    DWORD RegisterBase() const { return base_; }
    std::uint64_t Requests() const { return requests_; }

    bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned, DWORD* error) override;

  private:
    bool RegisterRequest(BYTE* block, DWORD* error);
    void CapLengthHigh(Answer& answer);

    AnswerSource& answers_;
    RegisterObserver& observer_;
    std::size_t infoFilled_ = 0;
    BYTE info_[176] = {};
    DWORD base_ = 0;
    std::uint64_t requests_ = 0;
    std::uint64_t announced_ = 0;
    BYTE lengthLow_ = 0;
};
