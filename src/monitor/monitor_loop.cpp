#include "monitor/monitor_loop.h"

#include "control/console.h"
#include "control/silent_mode.h"
#include "monitor/evaluate_monitor.h"
#include "monitor/heartbeat.h"
#include "platform/platform.h"
#include "sampling/sample_system.h"

void run_monitors(const Sample* sample, const MonitorSettings* monitor_settings,
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
}

void run_monitor_cycle(const Sample* sample, const MonitorSettings* monitor_settings,
                       const NotifySettings* notify_settings, MonitorRun* run) {
    run_monitors(sample, monitor_settings, notify_settings, run);
    // the daily heartbeat, after the four monitors
    check_heartbeat(sample, monitor_settings, notify_settings, &run->remembered_day);

    if (!silent_mode()) {
        console_out("\nWait %d seconds for next time check .....\n", monitor_settings->interval);
        console_out("========================================================================\n");
    }
}

void run_monitor_loop(const MonitorSettings* monitor_settings, const NotifySettings* notify_settings,
                      CpuReading* previous, std::int32_t remembered_day) {
    MonitorRun run{};
    run.remembered_day = remembered_day;
    // one sample, overwritten every cycle
    Sample sample{};
    for (;;) {
        // one second's pause first, then the figures and the report
        sample_system(previous, &sample);
        run_monitor_cycle(&sample, monitor_settings, notify_settings, &run);
        // the rest of the interval; none at all when it is 1
        for (std::int32_t second = 1; second < monitor_settings->interval; ++second) {
            plat::sleep_ms(1000);
        }
    }
}
