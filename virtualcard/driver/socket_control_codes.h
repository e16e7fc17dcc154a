// The control codes of the driver's socket control device (socket_control.h), shared with the
// service tool that sends them. Input of both: the socket number, 4 bytes little-endian.
#pragma once

namespace virtualcard::driver {

inline constexpr const char* kSocketControlPath = "\\\\.\\DuvoVirtualCardSockets";
inline constexpr unsigned long kIoctlRemoveCard = 0x80002600;  // CTL_CODE(0x8000, 0x980, 0, 0)
inline constexpr unsigned long kIoctlInsertCard = 0x80002604;  // CTL_CODE(0x8000, 0x981, 0, 0)

}  // namespace virtualcard::driver
