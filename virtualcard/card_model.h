// The virtual card as a device: the card's side of the driver requests, with a fault plan and a
// request trace. Behind it, each in a file of its own: the configuration (card_config.h), the
// register mailbox (card_mailbox.h), the packet protocol (card_protocol.h) and the flash
// (card_flash.h). What only tests do with a card is in card_test_controls.h.
//
// Freestanding: no exceptions, no RTTI, no allocation, no standard containers. Hosted twice: by
// the native Win32 stand-in (unit tests, benchmark) and by the kernel-mode driver under Wine.
// Whoever hosts it hands in the flash storage and the time of every request.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "virtualcard/card_config.h"
#include "virtualcard/card_counters.h"
#include "virtualcard/card_flash.h"
#include "virtualcard/card_mailbox.h"
#include "virtualcard/card_protocol.h"

namespace virtualcard {

inline constexpr uint32_t kIoctlInitialize = 0x80002000;
inline constexpr uint32_t kIoctlRegisterIo = 0x80002005;
inline constexpr uint32_t kIoctlGetInfo = 0x80002010;

// Windows error codes the model answers with (the host maps them to its own status codes).
inline constexpr uint32_t kErrorInvalidParameter = 87;  // malformed or unknown request
inline constexpr uint32_t kErrorInvalidFunction = 1;    // unknown control code

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

using TraceFn = void (*)(void* context, const TraceEntry& entry);

class CardModel {
  public:
    // `flash` holds kFlashSize bytes, `staging` kBlockSize bytes, both erased (kErasedByte); both
    // stay the host's.
    CardModel(uint8_t* flash, uint8_t* staging);
    CardModel(const CardModel&) = delete;
    CardModel& operator=(const CardModel&) = delete;

    // Takes a new configuration and resets the mailbox and protocol state; flash is kept.
    void Configure(const CardConfig& config);

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
    // Restores a block's contents (persistence); false when it does not fit.
    bool LoadBlock(uint32_t block, const uint8_t* data, uint32_t length);
    // Another card in the socket: every block blank. The counters go on counting for the socket.
    void EraseFlash() { flash_.Erase(); }

    const Counters& counters() const { return counters_; }
    // Blocks of this card that hold data, for the host's status report.
    uint32_t BlocksHoldingData() const { return flash_.BlocksHoldingData(); }

  private:
    friend class CardTestControls;

    IoResult Fail(uint32_t code, uint8_t* out, uint32_t outSize);
    IoResult Reject();
    IoResult GetInfo(uint32_t inSize, uint8_t* out, uint32_t outSize);
    IoResult Initialize(const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize);
    IoResult RegisterIo(uint64_t nowUs, uint32_t inSize, uint8_t* out, uint32_t outSize);
    bool PlannedFailure(uint64_t index) const;
    uint8_t ReadRegister(uint64_t nowUs, uint32_t offset);
    void WriteRegister(uint64_t nowUs, uint32_t offset, uint8_t value);

    CardConfig config_;
    Counters counters_ = {};
    CardFlash flash_;
    CardMailbox mailbox_;
    CardProtocol protocol_;
    TraceFn traceFn_ = nullptr;
    void* traceContext_ = nullptr;
    uint64_t requestIndex_ = 0;  // driver requests since the last Open()
};

}  // namespace virtualcard
