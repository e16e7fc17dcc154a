// Requests to the card's kernel driver: the device path, the three control
// codes and their request blocks, and the register read/write operations.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

inline constexpr const char* DEVICE_PATH_FORMAT = "\\\\.\\%s%0d";
inline constexpr const char* DEVICE_NAME = "duvo";
inline constexpr int DEVICE_UNIT = 0;

inline constexpr DWORD IOCTL_CARD_INITIALIZE = 0x80002000;   // METHOD_BUFFERED
inline constexpr DWORD IOCTL_CARD_REGISTER_IO = 0x80002005;  // METHOD_IN_DIRECT
inline constexpr DWORD IOCTL_CARD_GET_INFO = 0x80002010;     // METHOD_BUFFERED

inline constexpr std::size_t CARD_INFO_SIZE = 176;
inline constexpr std::size_t CARD_INFO_REGISTER_BASE_OFFSET = 32;
inline constexpr std::size_t CARD_INIT_REQUEST_SIZE = 36;
inline constexpr std::size_t CARD_REGISTER_REQUEST_SIZE = 60;

// Fills `block` with the 36-byte hardware initialisation request.
void BuildCardInitRequest(BYTE (&block)[CARD_INIT_REQUEST_SIZE]);

// Fills `block` with the 60-byte register request (read or write) for one register.
void BuildCardRegisterRequest(BYTE (&block)[CARD_REGISTER_REQUEST_SIZE], bool isWrite,
                              DWORD registerNumber, DWORD value);

// The mailbox register base held in bytes 32-35 of CardInfo, little-endian.
DWORD CardInfoRegisterBase(const BYTE (&cardInfo)[CARD_INFO_SIZE]);

// The Windows error code of the driver request that has just failed; never 0.
DWORD LastRequestError();

// 0 on success, otherwise the Windows error code of the failed request.
DWORD InitializeHardware(HANDLE device);

// The register's byte, or 0xFF when the request failed. `errorCode` may be null.
BYTE ReadCardRegister(HANDLE device, DWORD registerNumber, DWORD* errorCode);

// 0 on success, otherwise the Windows error code. Only the low 8 bits of `value` are sent.
DWORD WriteCardRegister(HANDLE device, DWORD registerNumber, DWORD value, DWORD* errorCode);
