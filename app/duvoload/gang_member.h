// One socket of a gang run, in a process of its own: the plan comes from its parent on stdin
// (gang_protocol.h).
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/planned_block.h"

// Reads stdin to its end and decodes the plan; false with `error` set when it is not whole.
bool ReadGangPlan(std::vector<PlannedBlock>* plan, std::string* error);
