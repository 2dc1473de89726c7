#include "monitor/notice.h"

#include "notify/channels.h"
#include "output/event_log.h"
#include "output/system_events.h"
#include "platform/time.h"

namespace {

constexpr std::size_t kNoticeFigureCap = 32;  // "97.3", "85"

}  // namespace

void build_notice_texts(MonitorKind monitor, NoticeEvent event, const Sample& sample,
                        const MonitorSettings& monitor_settings, NoticeTexts* texts) {
    *texts = NoticeTexts{};
    const MonitorEntry& m = monitor_entry(monitor);
    const char* figure = m.figure;
    const char* level = m.level;
    const char* op = m.high ? ">=" : "<=";
    // the list text ends in a line feed
    const char* list = m.cpu ? sample.cpu_top_text.c_str() : sample.mem_top_text.c_str();
    const char* time = sample.timestamp.c_str();
    const char* host = monitor_settings.hostid.c_str();
    // the CPU figure with one decimal ("%.1f"), the memory load whole ("%d")
    FixedText<kNoticeFigureCap> value;
    if (m.cpu) {
        value.format("%.1f", sample.cpu_percent);
    } else {
        value.format("%d", sample.mem_load);
    }
    const char* v = value.c_str();
    const MonitorRule& rule = monitor_settings.*m.rule;
    const std::int32_t threshold = rule.threshold;
    // the configured count, not the running counter
    const std::int32_t count = rule.count;

    if (event == NoticeEvent::alert) {
        // "2026-03-07 04:05:09 web1 CPU now 97.3% >= 90% for consecutive 3 times"
        texts->subject.format("%s %s %s now %s%% %s %d%% for consecutive %d times", time, host,
                              figure, v, op, threshold, count);
        // "Now: ...\nHost: ...\nCPU HIGH ALERT\nCPU: 97.3%\nThreshold: 90%\nCount: 3\n<list>"
        texts->email_body.format("Now: %s\nHost: %s\n%s %s ALERT\n%s: %s%%\nThreshold: %d%%\n"
                                 "Count: %d\n%s",
                                 time, host, figure, level, figure, v, threshold, count, list);
        // "ALERT CPU HIGH\nHost: ...\nCPU: 97.3% >= 90%\nCount: 3\n<list>Time: ..."
        texts->telegram_text.format("ALERT %s %s\nHost: %s\n%s: %s%% %s %d%%\nCount: %d\n%sTime: %s",
                                    figure, level, host, figure, v, op, threshold, count, list,
                                    time);
        return;
    }
    // "2026-03-07 04:05:09 web1 CPU HIGH back to normal - CPU now 12.0%"
    texts->subject.format("%s %s %s %s back to normal - %s now %s%%", time, host, figure, level,
                          figure, v);
    // "Now: ...\nHost: ...\nCPU HIGH back to normal\nCPU: 12.0%\n<list>"
    texts->email_body.format("Now: %s\nHost: %s\n%s %s back to normal\n%s: %s%%\n%s", time, host,
                             figure, level, figure, v, list);
    // "RECOVERY CPU HIGH\nHost: ...\nCPU: 12.0%\n<list>Time: ..."
    texts->telegram_text.format("RECOVERY %s %s\nHost: %s\n%s: %s%%\n%sTime: %s", figure, level,
                                host, figure, v, list, time);
}

namespace {

// The counts since start; the run has one thread, and nothing else writes them.
NoticeTally g_tally{};

void count_send(ChannelTally* channel, bool sent) {
    if (!sent) {
        report_system_event(SystemEvent::send_failed, "loadhawk notice not sent: the reason is in loadhawk_log.txt");
        ++channel->failed;
        return;
    }
    ++channel->sent;
    channel->last_sent = plat::unix_time();
}

}  // namespace

const NoticeTally& notice_tally() { return g_tally; }

void send_over_channels(const NotifySettings& notify_settings, const char* recipients,
                        const char* subject, const char* email_body, const char* telegram_text) {
    const ChannelMessage message{recipients, subject, email_body, telegram_text};
    // in the order of the table: e-mail first, then Telegram
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        const NotifyChannel& channel = *kChannels[i];
        if (!channel_takes(channel, notify_settings, message)) continue;
        count_send(&g_tally.channels[i], channel.send(notify_settings, message));
    }
}

void send_monitor_notice(MonitorKind monitor, NoticeEvent event, const Sample& sample,
                         const MonitorSettings& monitor_settings,
                         const NotifySettings& notify_settings) {
    NoticeTexts texts{};
    build_notice_texts(monitor, event, sample, monitor_settings, &texts);
    log_event("***Alert sending :%s\n", texts.subject.c_str());
    report_system_event(event == NoticeEvent::alert ? SystemEvent::alert : SystemEvent::recovery, texts.subject.c_str());
    send_over_channels(notify_settings, notify_settings.to.c_str(), texts.subject.c_str(),
                       texts.email_body.c_str(), texts.telegram_text.c_str());
}
