// status.txt in the card's data directory: the last configuration read (with the count and the
// names of rejected registry values) and the card's counters, as NAME=VALUE lines.
#pragma once

#include "virtualcard/driver/card_device.h"

namespace virtualcard::driver {

void WriteStatusFile(const CardDevice& device);

}  // namespace virtualcard::driver
