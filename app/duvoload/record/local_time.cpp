#include "app/duvoload/record/local_time.h"

#include <windows.h>

namespace {

LONGLONG Minutes(const SYSTEMTIME& time) {
    FILETIME file{};
    SystemTimeToFileTime(&time, &file);
    const ULONGLONG ticks = static_cast<ULONGLONG>(file.dwHighDateTime) << 32 | file.dwLowDateTime;
    return static_cast<LONGLONG>(ticks / (10'000'000ull * 60));
}

}  // namespace

std::string LocalTimeNow() {
    // One instant, in UTC and in local time: their difference is the offset in force then.
    SYSTEMTIME utc{};
    GetSystemTime(&utc);
    SYSTEMTIME local = utc;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        local = utc;
    }
    utc.wMilliseconds = local.wMilliseconds = 0;
    const int offset = static_cast<int>(Minutes(local) - Minutes(utc));
    return IsoLocalTime(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute,
                        local.wSecond, offset);
}
