// The monitor settings file "loadhawk_setup.txt": host label, cycle
// interval and the four threshold monitors.
#pragma once

#include <cstdint>
#include <type_traits>

#include "text/fixed_text.h"

constexpr const char* kMonitorSettingsFile = "loadhawk_setup.txt";

struct MonitorRule {
    std::int32_t threshold;  // percent
    std::int32_t count;      // consecutive cycles before the monitor alerts
};

struct MonitorSettings {
    FixedText<100> hostid;
    std::int32_t interval;  // seconds per cycle
    MonitorRule cpu_high;
    MonitorRule mem_high;
    MonitorRule cpu_low;
    MonitorRule mem_low;
    std::int32_t cpu_high_enabled;
    std::int32_t mem_high_enabled;
    std::int32_t cpu_low_enabled;
    std::int32_t mem_low_enabled;
};
static_assert(std::is_trivially_copyable_v<MonitorSettings>);

// Fills `settings` completely (defaults for whatever the file leaves out or
// gets wrong) and, unless `silent`, prints the settings report. Returns 1
// when the file was read, 0 when it cannot be opened ("Error: %s not found"
// on standard error, also when silent).
int load_monitor_settings(MonitorSettings* settings, int silent);
