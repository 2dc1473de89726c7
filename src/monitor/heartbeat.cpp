#include "monitor/heartbeat.h"

#include "monitor/notice.h"
#include "platform/time.h"

void build_heartbeat_texts(const Sample& sample, const MonitorSettings& monitor_settings,
                           HeartbeatTexts* texts) {
    *texts = HeartbeatTexts{};
    const char* host = monitor_settings.hostid.c_str();
    const char* time = sample.timestamp.c_str();
    texts->subject.format("%s loadhawk is up and running : %s", host, time);
    texts->email_body.format("loadhawk is running\nHost: %s\nCPU: %.1f%%\nMEM: %d%%\nTime: %s\n",
                             host, sample.cpu_percent, sample.mem_load, time);
    texts->telegram_text.format(
        "IAMALIVE\nloadhawk is running\nHost: %s\nCPU: %.1f%%\nMEM: %d%%\nTime: %s", host,
        sample.cpu_percent, sample.mem_load, time);
}

void check_heartbeat(const Sample& sample, const MonitorSettings& monitor_settings,
                     const NotifySettings& notify_settings, std::int32_t* remembered_day) {
    // a fresh reading: the cycle's timestamp is not what decides the day
    plat::LocalTime now{};
    plat::local_time(&now);
    // an unreadable clock reads as all zero; day 0 would otherwise send a
    // heartbeat now and another when the clock is back
    if (now.day < 1 || now.day > 31) return;
    check_heartbeat_on_day(now.day, sample, monitor_settings, notify_settings, remembered_day);
}

void check_heartbeat_on_day(std::int32_t today, const Sample& sample,
                            const MonitorSettings& monitor_settings,
                            const NotifySettings& notify_settings, std::int32_t* remembered_day) {
    if (today == *remembered_day) return;
    const NotifySettings& n = notify_settings;
    if (n.heartbeat_enabled && any_channel_configured(n)) {
        HeartbeatTexts texts{};
        build_heartbeat_texts(sample, monitor_settings, &texts);
        // the heartbeat goes to the iamalive list, not to `to`
        const ChannelMessage message{n.iamalive.c_str(), texts.subject.c_str(), texts.email_body.c_str(),
                                     texts.telegram_text.c_str(), nullptr, nullptr, nullptr};
        send_over_channels(n, message);
    }
    // a heartbeat that could not be delivered is not tried again that day
    *remembered_day = today;
}
