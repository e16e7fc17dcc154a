// Translation of the card model's Windows error codes into NTSTATUS values.
#pragma once

#include "virtualcard/driver/kernel.h"

namespace virtualcard::driver {

// The status that makes the caller's GetLastError() return `windowsError` again.
NTSTATUS StatusFromWindowsError(ULONG windowsError);

}  // namespace virtualcard::driver
