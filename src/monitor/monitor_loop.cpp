#include "monitor/monitor_loop.h"

#include "control/console.h"
#include "control/silent_mode.h"
#include "monitor/evaluate_monitor.h"

void run_monitor_cycle(const Sample* sample, const MonitorSettings* monitor_settings,
                       const NotifySettings* notify_settings, MonitorRun* run) {
    const MonitorSettings& s = *monitor_settings;
    // the CPU monitors compare the rounded figure, not the one shown with a decimal
    evaluate_monitor(MonitorKind::cpu_high, sample->cpu_rounded, s.cpu_high, s.cpu_high_enabled,
                     &run->cpu_high, sample, monitor_settings, notify_settings);
    evaluate_monitor(MonitorKind::cpu_low, sample->cpu_rounded, s.cpu_low, s.cpu_low_enabled,
                     &run->cpu_low, sample, monitor_settings, notify_settings);
    evaluate_monitor(MonitorKind::mem_high, sample->mem_load, s.mem_high, s.mem_high_enabled,
                     &run->mem_high, sample, monitor_settings, notify_settings);
    evaluate_monitor(MonitorKind::mem_low, sample->mem_load, s.mem_low, s.mem_low_enabled,
                     &run->mem_low, sample, monitor_settings, notify_settings);

    // the daily heartbeat check runs here, after the four monitors, with
    // run->remembered_day

    if (!silent_mode()) {
        console_out("\nWait %d seconds for next time check .....\n", s.interval);
        console_out("========================================================================\n");
    }
}
