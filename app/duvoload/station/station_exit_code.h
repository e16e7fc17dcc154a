// A station's exit code, from how its cards ended: one socket's, and that of several sockets.
#pragma once

#include <vector>

#include "app/duvoload/station/station_loop.h"

// The exit code of a station: 4 when a record was lost, else 130 when a card was interrupted,
// else 1 when a card failed, else 0.
int StationExitCode(const StationTotals& totals);

// The exit code of a station on several sockets, from its sockets' codes: 4 when any socket lost
// a record, else 130 when any was interrupted, else 1 when any failed a card (or any other code),
// else 0.
int CombinedStationExitCode(const std::vector<int>& socketCodes);
