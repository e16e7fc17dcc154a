// A socket's card configuration, read from the values of its registry key (socket 0: the driver
// service's Parameters key; socket N: its subkey SocketN), and the number of sockets.
#pragma once

#include "virtualcard/card_model.h"
#include "virtualcard/driver/kernel.h"

namespace virtualcard::driver {

// The driver's own values, beside the card model's. Trace: REG_DWORD 1 switches the request trace
// on (every socket). Slots: REG_DWORD, how many sockets (devices duvo0 to duvoN-1) the driver
// creates; read when the driver starts, from the Parameters key only.
inline constexpr const char* kTraceValueName = "Trace";
inline constexpr const char* kSlotsValueName = "Slots";
inline constexpr ULONG kDefaultSlots = 1;
inline constexpr ULONG kMaxSlots = 8;

struct ParameterReport {
    ULONG accepted = 0;
    ULONG rejected = 0;  // unknown names, wrong types, values out of range
    bool traceEnabled = false;
    char rejectedNames[256] = {};  // the rejected names, space separated (cut when long)
};

// Starts from the default configuration and applies every value of the key. A missing key is an
// empty configuration. Every rejected value is logged with DbgPrint and counted in `report`.
// Socket 0's key also holds Slots, which is checked here like any value but takes effect only at
// the driver's start; in another socket's key Slots is an unknown name.
void ReadCardParameters(const UNICODE_STRING& key, ULONG socket, CardConfig* config,
                        ParameterReport* report);

// The Slots value of the Parameters key: kDefaultSlots when it is missing, and (logged) when it
// is not a REG_DWORD from 1 to kMaxSlots.
ULONG ReadSlots(const UNICODE_STRING& parametersKey);

}  // namespace virtualcard::driver
