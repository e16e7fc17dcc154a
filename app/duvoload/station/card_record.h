// One card written by a station, as it goes on record: the card's line on stdout, its JSON object
// and the totals are formatted from it.
#pragma once

#include <string>

#include "app/duvoload/record/block_record.h"
#include "app/duvoload/station/station_loop.h"

struct CardRecord {
    unsigned socket = 0;
    unsigned card = 0;
    CardEnd end = CardEnd::Written;
    BlockRecord stop;  // the block that ended it (failed, or the first not written); unused when
                       // Written
    std::string time;  // local time its first block began
    double seconds = 0;
    std::string tag;
};
