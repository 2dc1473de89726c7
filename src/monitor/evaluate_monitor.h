// One threshold monitor's step within a cycle: count, print, log, notify.
#pragma once

#include <cstdint>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "monitor/monitor_state.h"
#include "monitor/notice.h"
#include "sampling/sample.h"

// The figure `monitor` compares: cpu_rounded (not the figure shown with a
// decimal) for the CPU monitors, mem_load for the memory ones.
std::int32_t monitor_value(const MonitorEntry& monitor, const Sample& sample);

// The condition of `monitor`: switched on and the value at or above (HIGH)
// or at or below (LOW) the threshold.
bool monitor_condition_holds(MonitorKind monitor, std::int32_t value, const MonitorRule& rule,
                             bool enabled);

// Steps `state` with the monitor's figure of `sample`, then, while the
// condition holds, prints the count line as a console note and logs it with
// the monitor's list text; hands off the alert or the recovery notice when
// one is due. A disabled monitor never counts, prints, logs or sends, but a
// standing alert is recovered.
void evaluate_monitor(MonitorKind monitor, const Sample& sample,
                      const MonitorSettings& monitor_settings,
                      const NotifySettings& notify_settings, MonitorState* state);
