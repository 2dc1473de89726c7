// The endless monitor cycle: sample, the four threshold monitors, the daily
// heartbeat check, then wait out the interval.
#pragma once

#include <cstdint>
#include <type_traits>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "monitor/heartbeat.h"
#include "monitor/metrics_file.h"
#include "monitor/monitor_state.h"
#include "sampling/sample.h"

// What the monitor run keeps from cycle to cycle besides the previous CPU
// reading. All monitors start quiet; nothing of it survives a restart.
struct StateBetweenCycles {
    MonitorState monitors[kMonitorCount];  // in the order of kMonitors
    std::int32_t remembered_day;           // day of the month the heartbeat last saw
    MetricsOutput metrics;                 // the metrics file's start time and write state
    HeartbeatFacts heartbeat;              // the start and the notice counts of the last heartbeat
    MonitorState& of(MonitorKind kind) { return monitors[static_cast<std::size_t>(kind)]; }
};
static_assert(std::is_trivially_copyable_v<StateBetweenCycles>);

// The four monitors of one cycle: CPU HIGH, CPU LOW, MEM HIGH, MEM LOW.
void evaluate_all_monitors(const Sample& sample, const MonitorSettings& monitor_settings,
                           const NotifySettings& notify_settings, StateBetweenCycles* state);

// One cycle after its sample is taken: CPU HIGH, CPU LOW, MEM HIGH and
// MEM LOW in this order, the heartbeat check, the metrics file (when one is
// set), then the wait line as a console note. Does not sleep.
void finish_sampled_cycle(const Sample& sample, const MonitorSettings& monitor_settings,
                          const NotifySettings& notify_settings, StateBetweenCycles* state);

// The monitor run's cycle, without end: sample_system (which pauses one
// second first), finish_sampled_cycle, then interval - 1 one-second sleeps.
// `previous` is the first CPU reading, replaced as the cycles go on;
// `remembered_day` is the day of the month of the start time.
[[noreturn]] void cycle_forever(const MonitorSettings& monitor_settings,
                                const NotifySettings& notify_settings, CpuReading* previous,
                                std::int32_t remembered_day);
