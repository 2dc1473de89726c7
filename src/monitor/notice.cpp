#include "monitor/notice.h"

#include "notify/channels.h"
#include "notify/email.h"
#include "output/event_log.h"
#include "output/system_events.h"
#include "platform/time.h"

namespace {

constexpr std::size_t kNoticeFigureCap = 32;  // "97.3", "85"

}  // namespace

void build_notice_texts(MonitorKind monitor, NoticeEvent event, const Sample& sample,
                        const MonitorSettings& monitor_settings, NoticeTexts* texts,
                        const MonitorState* state) {
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

    // after the list: an empty line, how long the condition held, and the
    // "Using CPU now" block
    FixedText<kHeldLineCap + kCpuNowTextCap> after;
    if (state != nullptr) format_held_line(event, *state, sample.taken_at, after.out());
    after.append("%s", sample.cpu_now_text.c_str());
    const char* now = after.c_str();
    if (event != NoticeEvent::recovery) {
        // "2026-03-07 04:05:09 web1 CPU now 97.3% >= 90% for consecutive 3 times"
        texts->subject.format("%s %s %s now %s%% %s %d%% for consecutive %d times", time, host,
                              figure, v, op, threshold, count);
        // "Now: ...\nHost: ...\nCPU HIGH ALERT\nCPU: 97.3%\nThreshold: 90%\nCount: 3\n<list>"
        texts->email_body.format("Now: %s\nHost: %s\n%s %s ALERT\n%s: %s%%\nThreshold: %d%%\n"
                                 "Count: %d\n%s\n%s",
                                 time, host, figure, level, figure, v, threshold, count, list, now);
        // "ALERT CPU HIGH\nHost: ...\nCPU: 97.3% >= 90%\nCount: 3\n<list>Time: ..."
        texts->telegram_text.format("ALERT %s %s\nHost: %s\n%s: %s%% %s %d%%\nCount: %d\n%s\n%sTime: %s",
                                    figure, level, host, figure, v, op, threshold, count, list, now,
                                    time);
        if (event == NoticeEvent::reminder) {
            const NoticeTexts alert = *texts;
            texts->subject.format("Reminder: %s", alert.subject.c_str());
            texts->telegram_text.format("REMINDER %s", alert.telegram_text.c_str());
        }
        return;
    }
    // "2026-03-07 04:05:09 web1 CPU HIGH back to normal - CPU now 12.0%"
    texts->subject.format("%s %s %s %s back to normal - %s now %s%%", time, host, figure, level,
                          figure, v);
    // "Now: ...\nHost: ...\nCPU HIGH back to normal\nCPU: 12.0%\n<list>"
    texts->email_body.format("Now: %s\nHost: %s\n%s %s back to normal\n%s: %s%%\n%s\n%s", time, host,
                             figure, level, figure, v, list, now);
    // "RECOVERY CPU HIGH\nHost: ...\nCPU: 12.0%\n<list>Time: ..."
    texts->telegram_text.format("RECOVERY %s %s\nHost: %s\n%s: %s%%\n%s\n%sTime: %s", figure, level,
                                host, figure, v, list, now, time);
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

void send_over_channels(const NotifySettings& notify_settings, const ChannelMessage& message) {
    // in the order of the table: e-mail first, then the chat channels
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        const NotifyChannel& channel = *kChannels[i];
        if (!channel_takes(channel, notify_settings, message)) continue;
        count_send(&g_tally.channels[i], channel.send(notify_settings, message));
    }
}

void send_monitor_notice(MonitorKind monitor, NoticeEvent event, const Sample& sample,
                         const MonitorSettings& monitor_settings,
                         const NotifySettings& notify_settings, MonitorState* state) {
    NoticeTexts texts{};
    build_notice_texts(monitor, event, sample, monitor_settings, &texts, state);
    log_event("***Alert sending :%s\n", texts.subject.c_str());
    report_system_event(event == NoticeEvent::alert ? SystemEvent::alert : SystemEvent::recovery, texts.subject.c_str());
    const MonitorEntry& m = monitor_entry(monitor);
    FixedText<kNoticeFigureCap> name;
    name.format("%s %s", m.figure, m.level);
    FixedText<kNoticeFigureCap> value;
    if (m.cpu) {
        value.format("%.1f", sample.cpu_percent);
    } else {
        value.format("%d", sample.mem_load);
    }
    const MonitorRule& rule = monitor_settings.*m.rule;
    const NoticeFacts facts{event == NoticeEvent::alert ? "alert" : "recovery",
                            monitor_settings.hostid.c_str(), name.c_str(), value.c_str(),
                            rule.threshold, rule.count, sample.timestamp.c_str(),
                            &sample.cpu_top, &sample.mem_top};
    const char* message_id = nullptr;
    const char* in_reply_to = nullptr;
    if (state != nullptr && event == NoticeEvent::alert) {
        new_message_id(notify_settings.from.c_str(), state->alert_id.out());
        message_id = state->alert_id.c_str();
    } else if (state != nullptr && !state->alert_id.empty()) {
        in_reply_to = state->alert_id.c_str();
    }
    const ChannelMessage message{notify_settings.to.c_str(),    texts.subject.c_str(),
                                 texts.email_body.c_str(),      texts.telegram_text.c_str(),
                                 &facts,                        sample.cpu_now_text.c_str(),
                                 message_id,                    in_reply_to};
    send_over_channels(notify_settings, message);
}
