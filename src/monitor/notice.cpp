#include "monitor/notice.h"

#include "control/event_log.h"
#include "control/silent_mode.h"
#include "notify/email.h"
#include "notify/telegram.h"

namespace {

// What sets the eight notices apart: the figure's name, the monitor's level
// and comparison, the rule and the list.
struct NoticeParts {
    const char* figure;  // "CPU", "MEM"
    const char* level;   // "HIGH", "LOW"
    const char* op;      // ">=", "<="
    const MonitorRule* rule;
    const char* list;  // the list text, which ends in a line feed
};

NoticeParts parts_of(MonitorKind monitor, const Sample& sample, const MonitorSettings& s) {
    const char* cpu_list = sample.cpu_top_text.c_str();
    const char* mem_list = sample.mem_top_text.c_str();
    switch (monitor) {
        case MonitorKind::cpu_high:
            return {"CPU", "HIGH", ">=", &s.cpu_high, cpu_list};
        case MonitorKind::cpu_low:
            return {"CPU", "LOW", "<=", &s.cpu_low, cpu_list};
        case MonitorKind::mem_high:
            return {"MEM", "HIGH", ">=", &s.mem_high, mem_list};
        case MonitorKind::mem_low:
            break;
    }
    return {"MEM", "LOW", "<=", &s.mem_low, mem_list};
}

}  // namespace

void build_notice_texts(MonitorKind monitor, NoticeEvent event, const Sample* sample,
                        const MonitorSettings* monitor_settings, NoticeTexts* texts) {
    *texts = NoticeTexts{};
    const NoticeParts p = parts_of(monitor, *sample, *monitor_settings);
    const char* time = sample->timestamp.c_str();
    const char* host = monitor_settings->hostid.c_str();
    const bool cpu = monitor == MonitorKind::cpu_high || monitor == MonitorKind::cpu_low;
    // the CPU figure with one decimal ("%.1f"), the memory load whole ("%d")
    FixedText<32> value;
    if (cpu) {
        value.format("%.1f", sample->cpu_percent);
    } else {
        value.format("%d", sample->mem_load);
    }
    const char* v = value.c_str();
    const std::int32_t threshold = p.rule->threshold;
    // the configured count, not the running counter
    const std::int32_t count = p.rule->count;

    if (event == NoticeEvent::alert) {
        // "2026-03-07 04:05:09 web1 CPU now 97.3% >= 90% for consecutive 3 times"
        texts->subject.format("%s %s %s now %s%% %s %d%% for consecutive %d times", time, host,
                              p.figure, v, p.op, threshold, count);
        // "Now: ...\nHost: ...\nCPU HIGH ALERT\nCPU: 97.3%\nThreshold: 90%\nCount: 3\n<list>"
        texts->email_body.format("Now: %s\nHost: %s\n%s %s ALERT\n%s: %s%%\nThreshold: %d%%\n"
                                 "Count: %d\n%s",
                                 time, host, p.figure, p.level, p.figure, v, threshold, count,
                                 p.list);
        // "ALERT CPU HIGH\nHost: ...\nCPU: 97.3% >= 90%\nCount: 3\n<list>Time: ..."
        texts->telegram_text.format("ALERT %s %s\nHost: %s\n%s: %s%% %s %d%%\nCount: %d\n%sTime: %s",
                                    p.figure, p.level, host, p.figure, v, p.op, threshold, count,
                                    p.list, time);
        return;
    }
    // "2026-03-07 04:05:09 web1 CPU HIGH back to normal - CPU now 12.0%"
    texts->subject.format("%s %s %s %s back to normal - %s now %s%%", time, host, p.figure,
                          p.level, p.figure, v);
    // "Now: ...\nHost: ...\nCPU HIGH back to normal\nCPU: 12.0%\n<list>"
    texts->email_body.format("Now: %s\nHost: %s\n%s %s back to normal\n%s: %s%%\n%s", time, host,
                             p.figure, p.level, p.figure, v, p.list);
    // "RECOVERY CPU HIGH\nHost: ...\nCPU: 12.0%\n<list>Time: ..."
    texts->telegram_text.format("RECOVERY %s %s\nHost: %s\n%s: %s%%\n%sTime: %s", p.figure,
                                p.level, host, p.figure, v, p.list, time);
}

void send_over_channels(const NotifySettings* notify_settings, const char* recipients,
                        const char* subject, const char* email_body, const char* telegram_text) {
    const NotifySettings* n = notify_settings;
    const int silent = silent_mode() ? 1 : 0;
    // e-mail first, then Telegram
    if (n->email_enabled != 0) (void)send_email(n, recipients, subject, email_body, silent);
    if (n->telegram_enabled != 0 && telegram_text != nullptr && telegram_text[0] != '\0') {
        (void)send_telegram(n, telegram_text, silent);
    }
}

void send_monitor_notice(MonitorKind monitor, NoticeEvent event, const Sample* sample,
                         const MonitorSettings* monitor_settings,
                         const NotifySettings* notify_settings) {
    NoticeTexts texts{};
    build_notice_texts(monitor, event, sample, monitor_settings, &texts);
    log_event("***Alert sending :%s\n", texts.subject.c_str());
    send_over_channels(notify_settings, notify_settings->to.c_str(), texts.subject.c_str(),
                       texts.email_body.c_str(), texts.telegram_text.c_str());
}
