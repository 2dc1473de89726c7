#include "monitor/evaluate_monitor.h"

#include "control/console.h"
#include "control/event_log.h"
#include "control/silent_mode.h"

namespace {

bool is_high(MonitorKind monitor) {
    return monitor == MonitorKind::cpu_high || monitor == MonitorKind::mem_high;
}

bool is_cpu(MonitorKind monitor) {
    return monitor == MonitorKind::cpu_high || monitor == MonitorKind::cpu_low;
}

// The count line without its line feed, shared by the console and the log:
// "CPU Usage >= 90% count [2] of [3]", "MEMORY Usage <= 10% Still LOW (alert already sent)".
void format_count_line(MonitorKind monitor, const MonitorRule& rule, const MonitorStep& step,
                       TextBuffer out) {
    const char* name = is_cpu(monitor) ? "CPU" : "MEMORY";
    const char* op = is_high(monitor) ? ">=" : "<=";
    if (step.already_alerted) {
        text_format(out, "%s Usage %s %d%% Still %s (alert already sent)", name, op, rule.threshold,
                    is_high(monitor) ? "HIGH" : "LOW");
    } else {
        text_format(out, "%s Usage %s %d%% count [%d] of [%d]", name, op, rule.threshold,
                    step.consecutive, rule.count);
    }
}

// "CPU back below 90%, counter reset from [2] to [0]",
// "MEMORY back above 10%, LOW counter reset from [2] to [0]"; console only.
void print_reset_line(MonitorKind monitor, const MonitorRule& rule, std::int32_t old_count) {
    console_out("%s back %s %d%%, %scounter reset from [%d] to [0]\n",
                is_cpu(monitor) ? "CPU" : "MEMORY", is_high(monitor) ? "below" : "above",
                rule.threshold, is_high(monitor) ? "" : "LOW ", old_count);
}

}  // namespace

bool monitor_condition_holds(MonitorKind monitor, std::int32_t value, const MonitorRule& rule,
                             std::int32_t enabled) {
    if (enabled == 0) return false;
    return is_high(monitor) ? value >= rule.threshold : value <= rule.threshold;
}

void evaluate_monitor(MonitorKind monitor, std::int32_t value, const MonitorRule& rule,
                      std::int32_t enabled, MonitorState* state, const Sample* sample,
                      const MonitorSettings* monitor_settings,
                      const NotifySettings* notify_settings) {
    const bool holds = monitor_condition_holds(monitor, value, rule, enabled);
    const MonitorStep step = step_monitor_state(state, holds, rule.count);
    if (step.holds) {
        FixedText<128> line;
        format_count_line(monitor, rule, step, line.out());
        if (!silent_mode()) console_out("%s\n", line.c_str());
        // the list text starts with its own "TOP1- " line, so the label stands twice
        const char* list = is_cpu(monitor) ? sample->cpu_top_text.c_str() : sample->mem_top_text.c_str();
        log_event("%s TOP1- %s\n", line.c_str(), list);
    } else if (step.consecutive > 0 && !silent_mode()) {
        print_reset_line(monitor, rule, step.consecutive);
    }
    // the count line of the cycle that fires stands in the log before the notice
    switch (step.notice) {
        case StepNotice::none:
            return;
        case StepNotice::alert:
            send_monitor_notice(monitor, NoticeEvent::alert, sample, monitor_settings, notify_settings);
            return;
        case StepNotice::recovery:
            send_monitor_notice(monitor, NoticeEvent::recovery, sample, monitor_settings,
                                notify_settings);
            return;
    }
}
