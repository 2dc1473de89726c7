// System CPU times and memory status on Windows.
#include <windows.h>

#include "platform/platform.h"

namespace plat {

const char* system_name() { return "Windows"; }

namespace {
// a file time's two 32-bit halves as one count of 100-ns units
std::uint64_t file_time_value(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}
}  // namespace

static_assert(sizeof(MEMORYSTATUSEX) == 64, "MEMORYSTATUSEX is 64 bytes");

bool system_times(SystemTimes* out) {
    *out = SystemTimes{};
    FILETIME idle{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetSystemTimes(&idle, &kernel, &user)) return false;
    out->idle = file_time_value(idle);
    out->kernel = file_time_value(kernel);  // includes the idle time
    out->user = file_time_value(user);
    return true;
}

bool memory_status(MemoryStatus* out) {
    *out = MemoryStatus{};
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return false;
    out->load_percent = status.dwMemoryLoad;
    out->total_bytes = status.ullTotalPhys;
    out->avail_bytes = status.ullAvailPhys;
    return true;
}

}  // namespace plat
