#include "download/packets.h"

#include <cstdio>
#include <cstring>

#include "cardlink/mailbox.h"

DWORD g_extendedFlashWait = 0;

namespace {

constexpr std::size_t kMagicOffset = 2;
constexpr std::size_t kMagicLength = 10;
constexpr char kStandardWaitMagic[] = "DUVORDYANG";
constexpr char kExtendedWaitMagic[] = "DUVORDYORN";

bool MagicIs(const BYTE* packet, const char* magic) {
    return std::memcmp(packet + kMagicOffset, magic, kMagicLength) == 0;
}

}  // namespace

bool RequestDownload(HANDLE device, DWORD registerBase, DWORD block) {
    // Cleared first: a reply shorter than 12 bytes is then judged against zeros, never against
    // whatever an earlier packet left behind, so it cannot pass for a ready magic.
    BYTE packet[PACKET_BUFFER_SIZE] = {};
    packet[0] = PKT_DOWNLOAD_REQUEST;
    packet[1] = 0x00;
    std::snprintf(reinterpret_cast<char*>(packet + 2), sizeof packet - 2, "DVDN%04X",
                  static_cast<unsigned>(block));
    // Never fails: a packet the card refused shows as a missing reply below.
    SendPacket(device, registerBase, packet, DOWNLOAD_REQUEST_LENGTH);

    WORD received = 0;
    for (int call = 0; call < DOWNLOAD_REPLY_ATTEMPTS; ++call) {
        if (ReceivePacket(device, registerBase, packet, &received)) {
            break;
        }
    }
    if (received == 0 || packet[0] != PKT_DOWNLOAD_REQUEST) {
        return false;
    }
    if (MagicIs(packet, kStandardWaitMagic)) {
        g_extendedFlashWait = 0;
        return true;
    }
    if (MagicIs(packet, kExtendedWaitMagic)) {
        g_extendedFlashWait = 1;
        return true;
    }
    return false;
}
