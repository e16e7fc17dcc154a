// Packet codes and layouts, and the download request that opens every download.
#pragma once

#include <windows.h>

#include <cstddef>

inline constexpr BYTE PKT_DOWNLOAD_REQUEST = 0xFE;
inline constexpr BYTE PKT_DATA = 0xF0;
inline constexpr BYTE PKT_DATA_ACK = 0xF2;
inline constexpr BYTE PKT_END = 0xF6;
inline constexpr BYTE PKT_FLASH_DONE = 0xF7;

inline constexpr std::size_t PACKET_BUFFER_SIZE = 256;
inline constexpr WORD DOWNLOAD_REQUEST_LENGTH = 10;
inline constexpr WORD DATA_PACKET_LENGTH = 136;
inline constexpr WORD END_PACKET_LENGTH = 12;
inline constexpr DWORD CHUNK_SIZE = 128;

inline constexpr int DOWNLOAD_REPLY_ATTEMPTS = 8;

// 1 when the card's last ready reply asked for the extended flash wait, else 0.
extern DWORD g_extendedFlashWait;

// Asks the card to accept an image for `block`; true on either ready reply.
bool RequestDownload(HANDLE device, DWORD registerBase, DWORD block);
