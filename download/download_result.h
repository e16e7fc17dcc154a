// What one download (or probe) came to: its kind, the code shown for it and its message. Callers
// decide what to do from the kind alone: a code's value may mean different things (170 is both
// a driver's ERROR_BUSY and the code of a socket in use), the kind never does.
#pragma once

#include <windows.h>

#include <cstddef>

enum class ResultKind {
    Written,      // the card programmed the image (a probe: the card answered)
    CardFailed,   // the card's own failure: no ready reply, or the image or flash not confirmed
    SystemError,  // a driver request or a system call failed; the code is the Windows error
    NoDevice,     // the card's device could not be opened
    SocketInUse,  // another program, or another download of this one, holds the socket
    Abandoned,    // the caller abandoned the download; the block is not known to be written
};

// The codes shown for the kinds that have one of their own; a system error shows the Windows
// code, the card's failures theirs.
inline constexpr DWORD ERR_NO_READY_REPLY = 0x05419368;
inline constexpr DWORD ERR_TRANSFER_FAILED = 0x87025353;
inline constexpr DWORD ERR_OPEN_FAILED = 0xFFFFFFFF;
inline constexpr DWORD ERR_SOCKET_IN_USE = 0xAA;
inline constexpr DWORD ERR_DOWNLOAD_CANCELLED = 1223;

inline constexpr std::size_t RESULT_MESSAGE_SIZE = 256;

struct DownloadResult {
    ResultKind kind = ResultKind::Written;
    DWORD code = 0;  // 0 when written
    // The failure's text, one line ending in a newline, as the dialog's box shows it; empty when
    // written.
    char message[RESULT_MESSAGE_SIZE] = {};
};
