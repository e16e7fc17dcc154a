// What a station says: each card's line on stdout, each socket's state on stderr, the totals and
// the summary at the end.
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/station/card_record.h"
#include "app/duvoload/station/station_loop.h"

// "socket 0 card 3: written", "socket 0 card 3: failed at block 6 [87025353] Duvo0 not respond",
// "socket 0 card 3: not completely written (stopped before block 6)", "socket 0 card 3: not
// completely written (its record could not be kept)".
std::string CardLine(const CardRecord& record);

// The socket's state, as its live line or plain line shows it: "socket 0: waiting for a card",
// "socket 0: waiting for a card (in use by another program)", "socket 0 card 3: writing",
// "socket 0 card 3: written - remove the card", "socket 0 card 3: FAILED - remove the card".
std::string StationStateLine(unsigned socket, const StationState& state);

// A progress text of the card being written: "socket 0 card 3: block 4: sending 41%".
std::string CardProgressLine(unsigned socket, unsigned card, const std::string& text);

struct SocketCount {
    unsigned socket = 0;
    StationTotals totals;
};

// "cards: 5 written, 1 failed": the totals line below the sockets' live lines.
std::string StationTotalsLine(const std::vector<SocketCount>& sockets);

// "5 cards written, 1 failed (socket 0: 3 written, 0 failed; socket 1: 2 written, 1 failed)".
std::string StationSummaryLine(const std::vector<SocketCount>& sockets);

// {"schema":1,"object":"card","socket":0,"card":3,"result":"failed","block":6,
//  "code":"87025353","message":"Duvo0 not respond [87025353]","started":"...","seconds":1.20,
//  "tag":null}: result "written", "failed", "interrupted" or "not-recorded"; block, code and
// message those of the block that ended it.
std::string JsonCardObject(const CardRecord& record);
