// Local time, the Unix clock and sleeping.
#pragma once

#include <cstdint>

namespace plat {

struct LocalTime {
    int year;    // four digits
    int month;   // 1..12
    int day;     // day of the month, 1..31
    int hour;
    int minute;
    int second;
};

// The current local time. Always fills *out (all zero if the clock cannot be read).
void local_time(LocalTime* out);

// Minutes east of UTC of the local time now (60 for CET, -300 for EST,
// daylight saving included); 0 when the zone cannot be read.
std::int32_t local_utc_offset_minutes();

// A clock that only goes forward, in 100-ns units from an arbitrary
// start (CLOCK_MONOTONIC, GetTickCount64); 0 if it cannot be read.
std::uint64_t monotonic_100ns();

void sleep_ms(std::uint32_t milliseconds);

// Seconds since 1970-01-01 00:00:00 UTC (0 if the clock cannot be read).
std::int64_t unix_time();

}  // namespace plat
