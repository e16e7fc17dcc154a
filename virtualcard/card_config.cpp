// Configuration values (ApplyConfigValue / ApplyConfigString; also the driver's registry value
// names). Names are compared without regard to case. Enumerations take their numeric value.
//
//   Name                 Meaning                                                     Default
//   RegisterBase         register number of REG_DATA; CardInfo bytes 32-35           0x2C0
//   ProgrammingTimeMs    card time from PKT_END to PKT_FLASH_DONE                    30
//   ExtendedWait         0/1: ready magic "DUVORDYORN" instead of "DUVORDYANG"       0
//   RequestReply         ReplyFault 0-6 for the ready reply                          0 (proper)
//   RequestReplyCode     0-255: packet code of a RequestReply = 2 (wrong code)       0xF2
//   RequestReplyLength   0-65535: ready reply length; shorter cuts, longer pads      12
//   ReadyMagic (string)  up to 10 characters replacing the magic; empty = none       empty
//   PendingPacketLength  0-65535: junk card packet pending at every open; 0 = none   0
//   AckReply             ReplyFault 0-6 for the acknowledgement of AckFaultChunk     0 (proper)
//   AckFaultChunk        chunk index (offset / 128) that AckReply hits              0xFFFFFFFF
//   AckFaultAttempts     how many attempts at that chunk AckReply hits               0
//   SilentAfterChunk     no reply to data packets of this chunk index or later       0xFFFFFFFF
//   ReplyExtraBytes      0-65535: zero bytes appended to every full-layout reply     0
//   Flash                FlashFault 0-5: how programming ends                        0 (normal)
//   FlashDonePolls       Flash = 2: PKT_FLASH_DONE at this status read after END     0
//   LateAcks             acknowledgements announced after PKT_END, before DONE       0
//   FailRequestIndex     driver request index (from 0 at each open) that fails       0xFFFFFFFF
//   FailFromIndex        every request from this index on fails (card pulled)        0xFFFFFFFF
//   FailError            nonzero Windows error code of those failures                1117
//   CardInfoBytes        0-176: bytes of CardInfo written                            176
//   RefuseHostPackets    0/1: STATUS_HOST_WRITE never set                            0
//
// ReplyFault: 0 proper, 1 silent, 2 wrong code, 3 wrong text, 4 length 0, 5 only code and 0x00,
// 6 the text's last letter changed to '?' ("RxO?", "DUVORDYAN?").
// FlashFault: 0 after ProgrammingTimeMs, 1 never, 2 after FlashDonePolls, 3 two bytes F7 00,
// 4 code F7 with the text "FAIL", 5 code F7 with the text "DON?".
#include "virtualcard/card_config.h"

namespace virtualcard {
namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NamesEqual(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) return false;
    }
    return *a == *b;
}

struct ConfigEntry {
    const char* name;
    uint32_t min;
    uint32_t max;
    void (*set)(CardConfig& config, uint32_t value);
};

constexpr uint32_t kAny = 0xFFFFFFFF;

constexpr ConfigEntry kConfigTable[] = {
    {"RegisterBase", 0, kAny, [](CardConfig& c, uint32_t v) { c.registerBase = v; }},
    {"ProgrammingTimeMs", 0, kAny, [](CardConfig& c, uint32_t v) { c.programmingTimeMs = v; }},
    {"ExtendedWait", 0, 1, [](CardConfig& c, uint32_t v) { c.extendedWait = v != 0; }},
    {"RequestReply", 0, 6,
     [](CardConfig& c, uint32_t v) { c.faults.requestReply = static_cast<ReplyFault>(v); }},
    {"RequestReplyCode", 0, 0xFF,
     [](CardConfig& c, uint32_t v) { c.faults.requestReplyCode = static_cast<uint8_t>(v); }},
    {"RequestReplyLength", 0, kMaxPacketLength,
     [](CardConfig& c, uint32_t v) { c.faults.requestReplyLength = v; }},
    {"PendingPacketLength", 0, kMaxPacketLength,
     [](CardConfig& c, uint32_t v) { c.faults.pendingPacketLength = v; }},
    {"AckReply", 0, 6,
     [](CardConfig& c, uint32_t v) { c.faults.ackReply = static_cast<ReplyFault>(v); }},
    {"AckFaultChunk", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.ackFaultChunk = v; }},
    {"AckFaultAttempts", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.ackFaultAttempts = v; }},
    {"SilentAfterChunk", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.silentAfterChunk = v; }},
    {"ReplyExtraBytes", 0, kMaxPacketLength,
     [](CardConfig& c, uint32_t v) { c.faults.replyExtraBytes = v; }},
    {"Flash", 0, 5, [](CardConfig& c, uint32_t v) { c.faults.flash = static_cast<FlashFault>(v); }},
    {"FlashDonePolls", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.flashDonePolls = v; }},
    {"LateAcks", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.lateAcks = v; }},
    {"FailRequestIndex", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.failRequestIndex = v; }},
    {"FailFromIndex", 0, kAny, [](CardConfig& c, uint32_t v) { c.faults.failFromIndex = v; }},
    {"FailError", 1, kAny, [](CardConfig& c, uint32_t v) { c.faults.failError = v; }},
    {"CardInfoBytes", 0, kCardInfoSize,
     [](CardConfig& c, uint32_t v) { c.faults.cardInfoBytes = v; }},
    {"RefuseHostPackets", 0, 1,
     [](CardConfig& c, uint32_t v) { c.faults.refuseHostPackets = v != 0; }},
};

constexpr const char* kReadyMagicName = "ReadyMagic";

// Decimal, or hexadecimal with a 0x prefix; the whole text must be a number that fits.
bool ParseNumber(const char* text, uint32_t* value) {
    uint32_t base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    if (*text == '\0') return false;
    uint64_t result = 0;
    for (; *text != '\0'; ++text) {
        const char c = LowerAscii(*text);
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else {
            return false;
        }
        result = result * base + digit;
        if (result > 0xFFFFFFFFull) return false;
    }
    *value = static_cast<uint32_t>(result);
    return true;
}

}  // namespace

bool ApplyConfigValue(CardConfig& config, const char* name, uint32_t value) {
    for (const ConfigEntry& entry : kConfigTable) {
        if (!NamesEqual(entry.name, name)) continue;
        if (value < entry.min || value > entry.max) return false;
        entry.set(config, value);
        return true;
    }
    return false;
}

bool ApplyConfigString(CardConfig& config, const char* name, const char* value) {
    if (NamesEqual(name, kReadyMagicName)) {
        uint32_t length = 0;
        while (value[length] != '\0') {
            if (++length > kMagicLength) return false;
        }
        for (uint32_t i = 0; i < sizeof config.faults.readyMagic; ++i) {
            config.faults.readyMagic[i] = i < length ? value[i] : '\0';
        }
        return true;
    }
    uint32_t number;
    return ParseNumber(value, &number) && ApplyConfigValue(config, name, number);
}

}  // namespace virtualcard
