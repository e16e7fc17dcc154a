// The state of the one card device: the card model with its flash, and what the driver keeps
// beside it. Lives in the device extension; every request holds `lock` while it uses the card.
#pragma once

#include "virtualcard/card_model.h"
#include "virtualcard/driver/card_parameters.h"
#include "virtualcard/driver/kernel.h"
#include "virtualcard/driver/request_trace.h"

namespace virtualcard::driver {

struct CardDevice {
    CardModel* model;
    uint8_t* flash;    // kFlashSize bytes
    uint8_t* staging;  // kBlockSize bytes
    alignas(CardModel) uint8_t modelStorage[sizeof(CardModel)];

    FAST_MUTEX lock;
    UNICODE_STRING parametersKey;
    wchar_t parametersKeyBuffer[512];

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
