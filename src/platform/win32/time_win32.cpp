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

std::int64_t unix_time() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // 100-ns ticks since 1601-01-01; 11644473600 seconds lie between 1601 and 1970
    constexpr std::uint64_t kTicksPerSecond = 10000000;
    constexpr std::uint64_t kEpochTicks = 11644473600ULL * kTicksPerSecond;
    return ticks < kEpochTicks ? 0 : static_cast<std::int64_t>((ticks - kEpochTicks) / kTicksPerSecond);
}

void sleep_ms(std::uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace plat
