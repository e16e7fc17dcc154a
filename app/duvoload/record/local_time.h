// The time a log line gives: local, with its offset from UTC, so that lines written under
// different time zones (or either side of a change to or from daylight saving time) still sort.
#pragma once

#include <string>

// ISO 8601 local time with its offset from UTC: 2026-12-08T06:17:03+01:00.
std::string IsoLocalTime(int year, int month, int day, int hour, int minute, int second,
                         int utcOffsetMinutes);

// Now, as 2026-12-08T06:17:03+01:00.
std::string LocalTimeNow();
