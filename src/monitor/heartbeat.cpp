#include "monitor/heartbeat.h"

#include "monitor/notice.h"
#include "monitor/notice_lines.h"
#include "platform/time.h"

void notice_totals(std::uint64_t* sent, std::uint64_t* failed) {
    *sent = 0;
    *failed = 0;
    for (const ChannelTally& channel : notice_tally().channels) {
        *sent += channel.sent;
        *failed += channel.failed;
    }
}

namespace {

constexpr std::size_t kHeartbeatFactsCap = 512;

// The lines of `facts`, each ending in a line feed.
void format_facts(const Sample& sample, const HeartbeatFacts& facts, TextBuffer out) {
    std::uint64_t sent = 0;
    std::uint64_t failed = 0;
    notice_totals(&sent, &failed);
    FixedText<32> up;
    format_duration(sample.taken_at - facts.started_at, up.out());
    text_format(out, "Version: %s\nUp: %s\nStanding alerts: ", LOADHAWK_VERSION, up.c_str());
    bool any = false;
    for (std::size_t i = 0; facts.monitors != nullptr && i < kMonitorCount; ++i) {
        const MonitorState& state = facts.monitors[i];
        if (!state.alerted) continue;
        text_append(out, "%s%s %s since %s", any ? ", " : "", kMonitors[i].figure, kMonitors[i].level,
                    state.began.c_str());
        any = true;
    }
    text_append(out, "%s\nNotices since the last heartbeat: %llu sent, %llu failed\n", any ? "" : "none",
                static_cast<unsigned long long>(sent - facts.sent_before),
                static_cast<unsigned long long>(failed - facts.failed_before));
}

}  // namespace

void build_heartbeat_texts(const Sample& sample, const MonitorSettings& monitor_settings,
                           HeartbeatTexts* texts, const HeartbeatFacts* facts) {
    *texts = HeartbeatTexts{};
    const char* host = monitor_settings.hostid.c_str();
    const char* time = sample.timestamp.c_str();
    texts->subject.format("%s loadhawk is up and running : %s", host, time);
    texts->email_body.format("loadhawk is running\nHost: %s\nCPU: %.1f%%\nMEM: %d%%\nTime: %s\n",
                             host, sample.cpu_percent, sample.mem_load, time);
    texts->telegram_text.format(
        "IAMALIVE\nloadhawk is running\nHost: %s\nCPU: %.1f%%\nMEM: %d%%\nTime: %s", host,
        sample.cpu_percent, sample.mem_load, time);
    if (facts == nullptr) return;
    FixedText<kHeartbeatFactsCap> lines;
    format_facts(sample, *facts, lines.out());
    texts->email_body.append("%s", lines.c_str());
    // the Telegram text ends without a line feed
    const std::size_t length = lines.length();
    if (length > 0) lines.buf[length - 1] = '\0';
    texts->telegram_text.append("\n%s", lines.c_str());
}

void check_heartbeat(const Sample& sample, const MonitorSettings& monitor_settings,
                     const NotifySettings& notify_settings, std::int32_t* remembered_day,
                     HeartbeatFacts* facts, void (*clock)(plat::LocalTime* out)) {
    // a fresh reading: the cycle's timestamp is not what decides the day
    plat::LocalTime now{};
    clock(&now);
    // an unreadable clock reads as all zero; day 0 would otherwise send a
    // heartbeat now and another when the clock is back
    if (now.day < 1 || now.day > 31) return;
    check_heartbeat_on_day(now.day, sample, monitor_settings, notify_settings, remembered_day, facts);
}

void check_heartbeat_on_day(std::int32_t today, const Sample& sample,
                            const MonitorSettings& monitor_settings,
                            const NotifySettings& notify_settings, std::int32_t* remembered_day,
                            HeartbeatFacts* facts) {
    if (today == *remembered_day) return;
    const NotifySettings& n = notify_settings;
    if (n.heartbeat_enabled && any_channel_configured(n)) {
        HeartbeatTexts texts{};
        build_heartbeat_texts(sample, monitor_settings, &texts, facts);
        // the heartbeat goes to the iamalive list, not to `to`
        const NoticeFacts notice_facts{"heartbeat", monitor_settings.hostid.c_str(), nullptr, nullptr, 0, 0,
                                       sample.timestamp.c_str(), &sample.cpu_top, &sample.mem_top};
        const ChannelMessage message{n.iamalive.c_str(), texts.subject.c_str(), texts.email_body.c_str(),
                                     texts.telegram_text.c_str(), &notice_facts, nullptr, nullptr, nullptr};
        send_over_channels(n, message);
        // the next heartbeat counts from here
        if (facts != nullptr) notice_totals(&facts->sent_before, &facts->failed_before);
    }
    // a heartbeat that could not be delivered is not tried again that day
    *remembered_day = today;
}
