// The card's four-register packet mailbox: one driver request per byte.
#pragma once

#include <windows.h>

inline constexpr DWORD REG_DATA = 0;
inline constexpr DWORD REG_CONTROL = 1;
inline constexpr DWORD REG_LENGTH_LO = 2;
inline constexpr DWORD REG_LENGTH_HI = 3;

inline constexpr BYTE STATUS_CARD_PACKET = 0x80;
inline constexpr BYTE STATUS_HOST_WRITE = 0x40;

inline constexpr int RECEIVE_POLL_LIMIT = 40;
inline constexpr DWORD RECEIVE_POLL_INTERVAL_MS = 2;
inline constexpr WORD RECEIVE_LENGTH_CAP = 255;

// Takes one packet off the card. `buffer` holds at least 255 bytes, or is null to drop the
// packet; `length` (null only with a null buffer) receives the number of bytes stored.
// False when no packet was announced within RECEIVE_POLL_LIMIT status polls.
bool ReceivePacket(HANDLE device, DWORD registerBase, BYTE* buffer, WORD* length);

// Hands one packet to the card. It cannot fail, and always returns true (the protocol's
// exchanges all return a boolean): a packet the card refused shows only as a missing reply, so
// callers need not test the result.
bool SendPacket(HANDLE device, DWORD registerBase, const BYTE* packet, WORD length);
