#include "cardlink/driver_requests.h"

namespace {

// Windows reports the cause of a failed request through GetLastError. A driver that fails a
// request without setting one must not turn the failure into a 0, which callers read as success.
constexpr DWORD kErrorGenFailure = 31;

DWORD RegisterRequest(HANDLE device, BYTE (&block)[CARD_REGISTER_REQUEST_SIZE]) {
    DWORD returned = 0;
    if (DeviceIoControl(device, IOCTL_CARD_REGISTER_IO, nullptr, 0, block,
                        CARD_REGISTER_REQUEST_SIZE, &returned, nullptr)) {
        return 0;
    }
    return LastRequestError();
}

}  // namespace

DWORD LastRequestError() {
    const DWORD error = GetLastError();
    return error != 0 ? error : kErrorGenFailure;
}

DWORD InitializeHardware(HANDLE device) {
    BYTE block[CARD_INIT_REQUEST_SIZE];
    BuildCardInitRequest(block);
    DWORD returned = 0;
    if (DeviceIoControl(device, IOCTL_CARD_INITIALIZE, block, CARD_INIT_REQUEST_SIZE, block,
                        CARD_INIT_REQUEST_SIZE, &returned, nullptr)) {
        return 0;
    }
    return LastRequestError();
}

BYTE ReadCardRegister(HANDLE device, DWORD registerNumber, DWORD* errorCode) {
    BYTE block[CARD_REGISTER_REQUEST_SIZE];
    BuildCardRegisterRequest(block, false, registerNumber, 0);
    const DWORD error = RegisterRequest(device, block);
    if (errorCode != nullptr) {
        *errorCode = error;
    }
    return error == 0 ? block[4 * REGISTER_VALUE_WORD] : 0xFF;
}

DWORD WriteCardRegister(HANDLE device, DWORD registerNumber, DWORD value, DWORD* errorCode) {
    BYTE block[CARD_REGISTER_REQUEST_SIZE];
    BuildCardRegisterRequest(block, true, registerNumber, value);
    const DWORD error = RegisterRequest(device, block);
    if (errorCode != nullptr) {
        *errorCode = error;
    }
    return error;
}
