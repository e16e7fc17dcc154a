// Requests to the card's kernel driver: the device path, the three control codes, and the
// register read/write operations on the request blocks of request_blocks.h.
#pragma once

#include <windows.h>

#include "cardlink/request_blocks.h"

inline constexpr const char* DEVICE_PATH_FORMAT = "\\\\.\\%s%0d";
inline constexpr const char* DEVICE_NAME = "duvo";
inline constexpr int DEVICE_UNIT = 0;

inline constexpr DWORD IOCTL_CARD_INITIALIZE = 0x80002000;   // METHOD_BUFFERED
inline constexpr DWORD IOCTL_CARD_REGISTER_IO = 0x80002005;  // METHOD_IN_DIRECT
inline constexpr DWORD IOCTL_CARD_GET_INFO = 0x80002010;     // METHOD_BUFFERED

// The Windows error code of the driver request that has just failed; never 0.
DWORD LastRequestError();

// 0 on success, otherwise the Windows error code of the failed request.
DWORD InitializeHardware(HANDLE device);

// The register's byte, or 0xFF when the request failed. `errorCode` may be null.
BYTE ReadCardRegister(HANDLE device, DWORD registerNumber, DWORD* errorCode);

// 0 on success, otherwise the Windows error code. Only the low 8 bits of `value` are sent.
DWORD WriteCardRegister(HANDLE device, DWORD registerNumber, DWORD value, DWORD* errorCode);
