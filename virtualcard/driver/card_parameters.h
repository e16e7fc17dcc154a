// The card's configuration, read from the values of the driver service's Parameters key.
#pragma once

#include "virtualcard/card_model.h"
#include "virtualcard/driver/kernel.h"

namespace virtualcard::driver {

// The driver's own value, beside the card model's: REG_DWORD 1 switches the request trace on.
inline constexpr const char* kTraceValueName = "Trace";

struct ParameterReport {
    ULONG accepted = 0;
    ULONG rejected = 0;  // unknown names, wrong types, values out of range
    bool traceEnabled = false;
    char rejectedNames[256] = {};  // the rejected names, space separated (cut when long)
};

// Starts from the default configuration and applies every value of the key. A missing key is an
// empty configuration. Every rejected value is logged with DbgPrint and counted in `report`.
void ReadCardParameters(const UNICODE_STRING& parametersKey, CardConfig* config,
                        ParameterReport* report);

}  // namespace virtualcard::driver
