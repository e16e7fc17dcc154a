// The time a log line gives: local, with its offset from UTC, so that lines written under
// different time zones (or either side of a change to or from daylight saving time) still sort.
#pragma once

#include <string>

// Now, as 2026-12-08T06:17:03+01:00.
std::string LocalTimeNow();
