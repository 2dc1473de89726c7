#include "monitor/evaluate_monitor.h"

#include "output/console.h"
#include "output/event_log.h"

namespace {

constexpr std::size_t kCountLineCap = 128;

// The count line without its line feed, shared by the console and the log:
// "CPU Usage >= 90% count [2] of [3]", "MEMORY Usage <= 10% Still LOW (alert already sent)".
void format_count_line(const MonitorEntry& m, const MonitorRule& rule, const MonitorStep& step,
                       TextBuffer out) {
    const char* op = m.high ? ">=" : "<=";
    if (step.already_alerted) {
        text_format(out, "%s Usage %s %d%% Still %s (alert already sent)", m.long_name, op,
                    rule.threshold, m.level);
    } else {
        text_format(out, "%s Usage %s %d%% count [%d] of [%d]", m.long_name, op, rule.threshold,
                    step.consecutive, rule.count);
    }
}

// "CPU back below 90%, counter reset from [2] to [0]",
// "MEMORY back above 10%, LOW counter reset from [2] to [0]"; console only.
void print_reset_line(const MonitorEntry& m, const MonitorRule& rule, std::int32_t old_count) {
    console_note("%s back %s %d%%, %scounter reset from [%d] to [0]\n", m.long_name,
                 m.high ? "below" : "above", rule.threshold, m.high ? "" : "LOW ", old_count);
}

}  // namespace

std::int32_t monitor_value(const MonitorEntry& monitor, const Sample& sample) {
    return monitor.cpu ? sample.cpu_rounded : sample.mem_load;
}

bool monitor_condition_holds(MonitorKind monitor, std::int32_t value, const MonitorRule& rule,
                             bool enabled) {
    if (!enabled) return false;
    return monitor_entry(monitor).high ? value >= rule.threshold : value <= rule.threshold;
}

void evaluate_monitor(MonitorKind monitor, const Sample& sample,
                      const MonitorSettings& monitor_settings,
                      const NotifySettings& notify_settings, MonitorState* state) {
    const MonitorEntry& m = monitor_entry(monitor);
    const MonitorRule& rule = monitor_settings.*m.rule;
    const bool holds = monitor_condition_holds(monitor, monitor_value(m, sample), rule,
                                               monitor_settings.*m.enabled);
    const std::int32_t recover = monitor_settings.*m.recover;
    const MonitorStep step = step_monitor_state(state, holds, rule.count, recover);
    if (step.began) {
        // the period's first counted cycle: what its notices say it began
        state->began.assign(sample.timestamp.c_str());
        state->began_at = sample.taken_at;
    }
    if (step.gone == 1) state->ended_at = sample.taken_at;
    if (step.holds) {
        FixedText<kCountLineCap> line;
        format_count_line(m, rule, step, line.out());
        console_note("%s\n", line.c_str());
        // the list text starts with its own "TOP1- " line, so the label stands twice
        const char* list = m.cpu ? sample.cpu_top_text.c_str() : sample.mem_top_text.c_str();
        log_event("%s TOP1- %s\n", line.c_str(), list);
    } else if (step.consecutive > 0) {
        print_reset_line(m, rule, step.consecutive);
    }
    if (step.gone > 0 && step.notice == StepNotice::none) {
        console_note("%s %s recovery notice after [%d] of [%d] cycles back to normal\n", m.figure,
                     m.level, step.gone, recover);
    }
    // the count line of the cycle that fires stands in the log before the notice
    switch (step.notice) {
        case StepNotice::none:
            if (reminder_due(*state, sample.taken_at, monitor_settings.remind)) {
                send_monitor_notice(monitor, NoticeEvent::reminder, sample, monitor_settings,
                                    notify_settings, state);
                state->noticed_at = sample.taken_at;
            }
            return;
        case StepNotice::alert:
            state->noticed_at = sample.taken_at;
            send_monitor_notice(monitor, NoticeEvent::alert, sample, monitor_settings,
                                notify_settings, state);
            return;
        case StepNotice::recovery:
            send_monitor_notice(monitor, NoticeEvent::recovery, sample, monitor_settings,
                                notify_settings, state);
            state->alert_id.clear();
            state->began.clear();
            return;
    }
}
