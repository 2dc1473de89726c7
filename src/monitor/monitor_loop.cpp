#include "monitor/monitor_loop.h"

#include "monitor/evaluate_monitor.h"
#include "monitor/heartbeat.h"
#include "output/console.h"
#include "platform/time.h"
#include "sampling/sample_system.h"

static_assert(static_cast<std::size_t>(kMonitors[0].kind) == 0 &&
                  static_cast<std::size_t>(kMonitors[1].kind) == 1 &&
                  static_cast<std::size_t>(kMonitors[2].kind) == 2 &&
                  static_cast<std::size_t>(kMonitors[3].kind) == 3,
              "the states are indexed in the order of the monitor table");

void evaluate_all_monitors(const Sample& sample, const MonitorSettings& monitor_settings,
                           const NotifySettings& notify_settings, StateBetweenCycles* state) {
    for (const MonitorEntry& m : kMonitors) {
        evaluate_monitor(m.kind, sample, monitor_settings, notify_settings, &state->of(m.kind));
    }
}

void finish_sampled_cycle(const Sample& sample, const MonitorSettings& monitor_settings,
                          const NotifySettings& notify_settings, StateBetweenCycles* state) {
    evaluate_all_monitors(sample, monitor_settings, notify_settings, state);
    // the daily heartbeat, after the four monitors
    state->heartbeat.started_at = state->metrics.start_time;
    state->heartbeat.monitors = state->monitors;
    check_heartbeat(sample, monitor_settings, notify_settings, &state->remembered_day, &state->heartbeat);
    publish_metrics(sample, monitor_settings, state->monitors, &state->metrics);

    console_note("\nWait %d seconds for next time check .....\n", monitor_settings.interval);
    console_note("========================================================================\n");
}

void cycle_forever(const MonitorSettings& monitor_settings, const NotifySettings& notify_settings,
                   CpuReading* previous, std::int32_t remembered_day) {
    StateBetweenCycles state{};
    state.remembered_day = remembered_day;
    state.metrics.start_time = plat::unix_time();
    // one sample, overwritten every cycle
    Sample sample{};
    for (;;) {
        // one second's pause first, then the figures and the report
        sample_system(previous, &sample);
        finish_sampled_cycle(sample, monitor_settings, notify_settings, &state);
        // the rest of the interval; none at all when it is 1
        for (std::int32_t second = 1; second < monitor_settings.interval; ++second) {
            plat::sleep_ms(1000);
        }
    }
}
