// The virtual card's configuration: its register base, its programming time and its fault plan,
// and the named values (the driver's registry value names) that set them.
//
// Freestanding, like the whole card model: no exceptions, no allocation, no library.
#pragma once

#include <stdint.h>

namespace virtualcard {

inline constexpr uint32_t kNever = 0xFFFFFFFF;  // "no such index" in the fault plan

// Limits that bound configuration values as well as the card's behaviour.
inline constexpr uint32_t kCardInfoSize = 176;        // bytes of CardInfo
inline constexpr uint32_t kMaxPacketLength = 0xFFFF;  // a card packet's length is 16 bits
inline constexpr uint32_t kMagicLength = 10;          // letters of the ready reply's magic

// How the card answers one kind of packet.
enum class ReplyFault : uint32_t {
    kNone = 0,        // the proper reply
    kSilent = 1,      // no reply at all
    kWrongCode = 2,   // the proper layout with another packet code
    kWrongText = 3,   // the proper code with another text
    kEmpty = 4,       // a packet of length 0
    kShort = 5,       // a packet of only its first two bytes (code and 0x00)
    kLastLetter = 6,  // the proper code with the text's last letter changed: "RxO?"
};

enum class FlashFault : uint32_t {
    kNone = 0,        // PKT_FLASH_DONE once the programming time has passed
    kNever = 1,       // programming never finishes
    kAfterPolls = 2,  // PKT_FLASH_DONE announced at the flashDonePolls-th status read after PKT_END
    kTwoBytes = 3,    // completion answered with the two bytes 0xF7 0x00
    kWrongText = 4,   // completion answered with code 0xF7 and the text "FAIL" for "DONE"
    kLastLetter = 5,  // completion answered with code 0xF7 and the text "DON?"
};

struct FaultPlan {
    // Download request.
    ReplyFault requestReply = ReplyFault::kNone;  // kWrongCode answers with code requestReplyCode
    uint8_t requestReplyCode = 0xF2;
    uint32_t requestReplyLength = 12;  // 0..65535; shorter cuts the magic, longer pads
    char readyMagic[11] = {};          // overrides the magic when not empty
    uint32_t pendingPacketLength = 0;  // a card packet pending before the request (>0)
    // Data acknowledgements: the fault hits chunk ackFaultChunk, its first ackFaultAttempts tries.
    ReplyFault ackReply = ReplyFault::kNone;
    uint32_t ackFaultChunk = kNever;
    uint32_t ackFaultAttempts = 0;
    uint32_t silentAfterChunk = kNever;  // no acknowledgement for this chunk (and none after)
    uint32_t replyExtraBytes = 0;  // zero bytes appended to every full-layout reply (>255 tests);
                                   // not to kEmpty, kShort or two-byte replies
    // Flash completion.
    FlashFault flash = FlashFault::kNone;
    uint32_t flashDonePolls = 0;
    uint32_t lateAcks = 0;  // PKT_DATA_ACKs sent after PKT_END, before the completion
    // Driver requests, counted from 0 at every open of the device.
    uint32_t failRequestIndex = kNever;  // this one request fails
    uint32_t failFromIndex = kNever;     // every request from this one on fails (card pulled)
    uint32_t failError = 1117;           // Windows error code of those failures
    uint32_t cardInfoBytes = 176;        // bytes of CardInfo the driver fills (rest stays zero)
    bool refuseHostPackets = false;      // STATUS_HOST_WRITE never set
};

struct CardConfig {
    uint32_t registerBase = 0x2C0;
    uint32_t programmingTimeMs = 30;
    bool extendedWait = false;  // ready magic "DUVORDYORN" instead of "DUVORDYANG"
    FaultPlan faults;
};

// Sets one named configuration value; false (and nothing changed) for an unknown name or a value
// out of range. The names are the driver's registry value names; see card_config.cpp.
bool ApplyConfigValue(CardConfig& config, const char* name, uint32_t value);
bool ApplyConfigString(CardConfig& config, const char* name, const char* value);

}  // namespace virtualcard
