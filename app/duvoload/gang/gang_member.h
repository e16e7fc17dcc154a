// One socket of a gang run, in a process of its own: the plan comes from its parent on stdin
// (gang_protocol.h).
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/plan/planned_block.h"
#include "app/duvoload/station/card_record.h"
#include "app/duvoload/station/station_loop.h"

// From now on every line goes to stdout, tagged as the gang's parent reads them
// (gang_protocol.h), whichever stream it was written to.
void SendOutputToGang();

// A station's state and a card's end, as fields for the parent; false when the parent no longer
// takes them.
bool SendStationState(const StationState& state);
bool SendCardEnd(const CardRecord& card);

// Reads stdin to its end and decodes the plan; false with `error` set when it is not whole.
bool ReadGangPlan(std::vector<PlannedBlock>* plan, std::string* error);
