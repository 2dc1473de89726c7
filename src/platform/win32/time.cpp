// Local time and sleeping on Windows.
#include <windows.h>

#include "platform/time.h"
#include "platform/win32/convert.h"
#include "platform/win32/termination.h"

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

std::int64_t unix_time() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = file_time_value(now);
    // 100-ns ticks since 1601-01-01; 11644473600 seconds lie between 1601 and 1970
    constexpr std::uint64_t kTicksPerSecond = 10000000;
    constexpr std::uint64_t kEpochTicks = 11644473600ULL * kTicksPerSecond;
    return ticks < kEpochTicks ? 0 : static_cast<std::int64_t>((ticks - kEpochTicks) / kTicksPerSecond);
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

std::uint64_t monotonic_100ns() { return static_cast<std::uint64_t>(GetTickCount64()) * 10000u; }

void sleep_ms(std::uint32_t milliseconds) { termination_wait(milliseconds); }

}  // namespace plat
