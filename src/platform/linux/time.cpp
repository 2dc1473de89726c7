// Local time and sleeping on Linux.
#include <ctime>
#include <cerrno>

#include "platform/backend.h"
#include "platform/time.h"

namespace plat {

void local_time(LocalTime* out) {
    *out = LocalTime{};
    const std::time_t now = std::time(nullptr);
    struct tm parts {};
    if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &parts) == nullptr) return;
    out->year = parts.tm_year + 1900;
    out->month = parts.tm_mon + 1;
    out->day = parts.tm_mday;
    out->hour = parts.tm_hour;
    out->minute = parts.tm_min;
    out->second = parts.tm_sec;
}

std::int64_t unix_time() {
    const std::time_t now = std::time(nullptr);
    return now == static_cast<std::time_t>(-1) ? 0 : static_cast<std::int64_t>(now);
}

std::int32_t local_utc_offset_minutes() {
    const std::time_t now = std::time(nullptr);
    struct tm parts {};
    if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &parts) == nullptr) return 0;
    return static_cast<std::int32_t>(parts.tm_gmtoff / 60);
}

std::uint64_t monotonic_100ns() {
    struct timespec now {};
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) return 0;
    return static_cast<std::uint64_t>(now.tv_sec) * 10000000u + static_cast<std::uint64_t>(now.tv_nsec) / 100u;
}

void sleep_ms(std::uint32_t milliseconds) {
    struct timespec left {};
    left.tv_sec = static_cast<std::time_t>(milliseconds / 1000);
    left.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    // a termination request ends the sleep (and the program); any other
    // signal cuts it short, and the rest is slept out
    termination_checkpoint();
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        termination_checkpoint();
    }
}

}  // namespace plat
