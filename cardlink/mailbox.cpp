#include "cardlink/mailbox.h"

#include "cardlink/driver_requests.h"

namespace {

// Register errors are not seen at this level: a failed read yields 0xFF, a failed write is
// dropped. The card learns nothing either way, and the protocol above notices the missing reply.
BYTE ReadRegister(HANDLE device, DWORD registerBase, DWORD offset) {
    return ReadCardRegister(device, registerBase + offset, nullptr);
}

void WriteRegister(HANDLE device, DWORD registerBase, DWORD offset, DWORD value) {
    WriteCardRegister(device, registerBase + offset, value, nullptr);
}

bool CardPacketPending(HANDLE device, DWORD registerBase) {
    return (ReadRegister(device, registerBase, REG_CONTROL) & STATUS_CARD_PACKET) != 0;
}

bool WaitForCardPacket(HANDLE device, DWORD registerBase) {
    for (int poll = 0; poll < RECEIVE_POLL_LIMIT; ++poll) {
        if (CardPacketPending(device, registerBase)) {
            return true;
        }
        Sleep(RECEIVE_POLL_INTERVAL_MS);
    }
    return false;
}

}  // namespace

bool ReceivePacket(HANDLE device, DWORD registerBase, BYTE* buffer, WORD* length) {
    if (length != nullptr) {
        *length = 0;
    }
    if (!WaitForCardPacket(device, registerBase)) {
        return false;
    }
    const DWORD low = ReadRegister(device, registerBase, REG_LENGTH_LO);
    const DWORD high = ReadRegister(device, registerBase, REG_LENGTH_HI);
    const DWORD packetLength = high * 256 + low;

    DWORD stored = 0;
    if (buffer != nullptr) {
        stored = packetLength < RECEIVE_LENGTH_CAP ? packetLength : RECEIVE_LENGTH_CAP;
        for (DWORD i = 0; i < stored; ++i) {
            buffer[i] = ReadRegister(device, registerBase, REG_DATA);
        }
        *length = static_cast<WORD>(stored);
    }
    // The card withdraws its packet only once every byte has been read.
    for (DWORD i = stored; i < packetLength; ++i) {
        ReadRegister(device, registerBase, REG_DATA);
    }
    return true;
}

bool SendPacket(HANDLE device, DWORD registerBase, const BYTE* packet, WORD length) {
    if (CardPacketPending(device, registerBase)) {
        ReceivePacket(device, registerBase, nullptr, nullptr);
    }
    WriteRegister(device, registerBase, REG_CONTROL, 1);
    const bool accepted =
        (ReadRegister(device, registerBase, REG_CONTROL) & STATUS_HOST_WRITE) != 0;
    if (accepted) {
        WriteRegister(device, registerBase, REG_LENGTH_LO, length & 0xFF);
        WriteRegister(device, registerBase, REG_LENGTH_HI, length >> 8);
        for (WORD i = 0; i < length; ++i) {
            WriteRegister(device, registerBase, REG_DATA, packet[i]);
        }
    }
    WriteRegister(device, registerBase, REG_CONTROL, 0);
    return true;
}
