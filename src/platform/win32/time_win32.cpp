// Local time and sleeping on Windows.
#include <windows.h>

#include "platform/platform.h"

namespace plat {

void local_time(LocalTime* out) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    out->year = now.wYear;
    out->month = now.wMonth;
    out->day = now.wDay;
    out->hour = now.wHour;
    out->minute = now.wMinute;
    out->second = now.wSecond;
}

std::int32_t local_utc_offset_minutes() {
    TIME_ZONE_INFORMATION zone{};
    const DWORD which = GetTimeZoneInformation(&zone);
    if (which == TIME_ZONE_ID_INVALID) return 0;
    // the bias counts minutes west of UTC: UTC = local time + bias
    LONG bias = zone.Bias;
    if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
    if (which == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
    return static_cast<std::int32_t>(-bias);
}

void sleep_ms(std::uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace plat
