// The state of one socket's card device: the card model with its flash, and what the driver keeps
// beside it. Lives in the device extension of \Device\duvoN; every request holds `lock` while it
// uses the card. Sockets share nothing mutable: each has its own model, flash, configuration key,
// data directory, trace and counters.
#pragma once

#include "virtualcard/card_model.h"
#include "virtualcard/driver/card_parameters.h"
#include "virtualcard/driver/kernel.h"
#include "virtualcard/driver/request_trace.h"

namespace virtualcard::driver {

inline constexpr ULONG kMaxDataDirectoryChars = 64;

struct CardDevice {
    ULONG socket;  // N of \Device\duvoN
    CardModel* model;
    uint8_t* flash;    // kFlashSize bytes
    uint8_t* staging;  // kBlockSize bytes
    alignas(CardModel) uint8_t modelStorage[sizeof(CardModel)];

    FAST_MUTEX lock;
    UNICODE_STRING parametersKey;
    wchar_t parametersKeyBuffer[512];
    // Whether the socket holds a card (its link \DosDevices\duvoN exists), and which one: 0 for
    // the card it had at the start, N for the N-th put in since (socket_control.h).
    bool present;
    ULONG cardNumber;
    // The directory of this socket's block files, trace and status file (NT path).
    wchar_t dataDirectory[kMaxDataDirectoryChars];

    ParameterReport parameters;
    ULONG rejectedValuesTotal;
    ULONG blocksLoaded;
    ULONG opens;
    RequestTrace trace;
};

// Holds the device's lock for one scope, at PASSIVE_LEVEL (file writes happen under it).
class CardDeviceLock {
  public:
    explicit CardDeviceLock(CardDevice& device) : device_(device) {
        KeEnterCriticalRegion();
        ExAcquireFastMutexUnsafe(&device_.lock);
    }
    ~CardDeviceLock() {
        ExReleaseFastMutexUnsafe(&device_.lock);
        KeLeaveCriticalRegion();
    }
    CardDeviceLock(const CardDeviceLock&) = delete;
    CardDeviceLock& operator=(const CardDeviceLock&) = delete;

  private:
    CardDevice& device_;
};

// Virtual time of a request, in microseconds.
inline uint64_t CardNowUs() {
    return KeQueryInterruptTime() / 10;
}

}  // namespace virtualcard::driver
