// The monitor-settings loader over an arbitrary file: the record always
// comes out repaired.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config/monitor_settings.h"
#include "fuzz_support.h"
#include "output/silent_mode.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enter_private_directory();
    quiet_console();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    write_bytes(kMonitorSettingsFile, data, size);
    MonitorSettings s;
    set_silent_mode(size % 2 == 0);
    if (!load_monitor_settings(&s)) std::abort();
    if (s.interval <= 0 || s.cpu_high.threshold <= 0 || s.cpu_high.count <= 0 || s.mem_high.threshold <= 0 ||
        s.mem_high.count <= 0 || s.cpu_low.threshold < 0 || s.cpu_low.count <= 0 || s.mem_low.threshold < 0 ||
        s.mem_low.count <= 0)
        std::abort();
    if (s.hostid.length() > 99) std::abort();
    return 0;
}
