// System CPU times and memory status on Linux, from /proc/stat and /proc/meminfo.
#include <fcntl.h>
#include <unistd.h>

#include "platform/linux/proc_parse.h"
#include "platform/linux/proc_read.h"
#include "platform/system.h"

namespace plat {

const char* system_name() {
#if defined(__linux__)
    return "Linux";
#else
    return "POSIX";
#endif
}

std::uint32_t logical_cpu_count() {
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<std::uint32_t>(online) : 1u;
}

namespace {
// room for the first line of /proc/stat and the head of /proc/meminfo
constexpr std::size_t kProcTextCap = 4096;
}  // namespace

bool system_times(SystemTimes* out) {
    *out = SystemTimes{};
    char text[kProcTextCap];
    const std::size_t size = read_proc_file(AT_FDCWD, "/proc/stat", text, sizeof text);
    CpuLineTicks ticks{};
    if (!parse_cpu_line(text, size, &ticks)) return false;
    // iowait is idle time; guest time is already counted in user time.
    // Like GetSystemTimes, the kernel time includes the idle time.
    const std::uint64_t idle = ticks.idle + ticks.iowait;
    out->idle = ticks_to_100ns(idle);
    out->kernel = ticks_to_100ns(ticks.system + ticks.irq + ticks.softirq + ticks.steal + idle);
    out->user = ticks_to_100ns(ticks.user + ticks.nice);
    return true;
}

bool memory_status(MemoryStatus* out) {
    *out = MemoryStatus{};
    char text[kProcTextCap];
    const std::size_t size = read_proc_file(AT_FDCWD, "/proc/meminfo", text, sizeof text);
    MemInfoBytes memory{};
    if (!parse_meminfo(text, size, &memory)) return false;
    // the load is the share of memory not available, rounded down
    const std::uint64_t used = memory.available < memory.total ? memory.total - memory.available : 0;
    out->load_percent = static_cast<std::uint32_t>(used * 100 / memory.total);
    out->total_bytes = memory.total;
    out->avail_bytes = memory.available;
    return true;
}

bool computer_name(TextBuffer out) {
    text_copy(out, "");
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return false;
    text_copy(out, name);
    return true;
}

}  // namespace plat
