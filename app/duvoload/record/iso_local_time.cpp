#include "app/duvoload/record/local_time.h"

#include <cstdio>
#include <cstdlib>

std::string IsoLocalTime(int year, int month, int day, int hour, int minute, int second,
                         int utcOffsetMinutes) {
    const int offset = std::abs(utcOffsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", year, month, day,
                  hour, minute, second, utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}
