// System CPU times and memory status on Windows.
#include <windows.h>

#include "platform/system.h"
#include "platform/win32/convert.h"

namespace plat {

const char* system_name() { return "Windows"; }

std::uint32_t logical_cpu_count() {
    const DWORD count = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    return count > 0 ? static_cast<std::uint32_t>(count) : 1u;
}

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

bool computer_name(TextBuffer out) {
    text_copy(out, "");
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size) || name[0] == L'\0') return false;
    // UTF-8, like every other text of the program
    text_copy_utf16(out, reinterpret_cast<const char16_t*>(name), size);
    return true;
}

}  // namespace plat
