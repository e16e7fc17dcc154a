#include "virtualcard/driver/error_status.h"

namespace virtualcard::driver {

namespace {

struct ErrorStatus {
    ULONG windowsError;
    NTSTATUS status;
};

// The statuses a hardware driver would complete these failures with; each maps back to its
// Windows error in the caller's DeviceIoControl.
constexpr ErrorStatus kKnownStatuses[] = {
    {1, STATUS_INVALID_DEVICE_REQUEST},  // ERROR_INVALID_FUNCTION
    {21, STATUS_DEVICE_NOT_READY},       // ERROR_NOT_READY
    {31, STATUS_UNSUCCESSFUL},           // ERROR_GEN_FAILURE
    {87, STATUS_INVALID_PARAMETER},      // ERROR_INVALID_PARAMETER
    {122, STATUS_BUFFER_TOO_SMALL},      // ERROR_INSUFFICIENT_BUFFER
    {1117, STATUS_IO_DEVICE_ERROR},      // ERROR_IO_DEVICE
    {1784, STATUS_INVALID_BUFFER_SIZE},  // ERROR_INVALID_USER_BUFFER
};

// A status of the Win32 facility carries the error in its low word, and the error mapping hands
// that word back unchanged; it covers every error without a status of its own.
constexpr NTSTATUS kWin32FacilityWarning = static_cast<NTSTATUS>(0x80070000);

}  // namespace

NTSTATUS StatusFromWindowsError(ULONG windowsError) {
    for (const ErrorStatus& known : kKnownStatuses) {
        if (known.windowsError == windowsError) return known.status;
    }
    if (windowsError == 0 || windowsError > 0xFFFF) return STATUS_UNSUCCESSFUL;
    return kWin32FacilityWarning | static_cast<NTSTATUS>(windowsError);
}

}  // namespace virtualcard::driver
