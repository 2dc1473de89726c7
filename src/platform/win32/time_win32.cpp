// Local time and sleeping on Windows.
#include <windows.h>

#include "platform/platform.h"
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

void sleep_ms(std::uint32_t milliseconds) { termination_wait(milliseconds); }

}  // namespace plat
