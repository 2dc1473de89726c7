// The endless monitor cycle: sample, the four threshold monitors, the daily
// heartbeat check, then wait out the interval.
#pragma once

#include <cstdint>
#include <type_traits>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "monitor/monitor_state.h"
#include "sampling/sample.h"

// What the monitor run keeps from cycle to cycle besides the previous CPU
// reading. All monitors start quiet; nothing of it survives a restart.
struct MonitorRun {
    MonitorState cpu_high;
    MonitorState cpu_low;
    MonitorState mem_high;
    MonitorState mem_low;
    std::int32_t remembered_day;  // day of the month the heartbeat last saw
};
static_assert(std::is_trivially_copyable_v<MonitorRun>);

// The four monitors of one cycle: CPU HIGH, CPU LOW, MEM HIGH, MEM LOW.
void run_monitors(const Sample* sample, const MonitorSettings* monitor_settings,
                  const NotifySettings* notify_settings, MonitorRun* run);

// One cycle after its sample is taken: CPU HIGH, CPU LOW, MEM HIGH and
// MEM LOW in this order, the heartbeat check, then the wait line unless
// silent. Does not sleep.
void run_monitor_cycle(const Sample* sample, const MonitorSettings* monitor_settings,
                       const NotifySettings* notify_settings, MonitorRun* run);

// The monitor run's cycle, without end: sample_system (which pauses one
// second first), run_monitor_cycle, then interval - 1 one-second sleeps.
// `previous` is the first CPU reading, replaced as the cycles go on;
// `remembered_day` is the day of the month of the start time.
[[noreturn]] void run_monitor_loop(const MonitorSettings* monitor_settings,
                                   const NotifySettings* notify_settings, CpuReading* previous,
                                   std::int32_t remembered_day);
