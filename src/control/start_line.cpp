#include "control/start_line.h"

#include "notify/channels.h"

#ifndef LOADHAWK_VERSION
#error "LOADHAWK_VERSION is not defined"
#endif

void format_start_line(const MonitorSettings& monitors, const NotifySettings& notify,
                       std::uint32_t pid, TextBuffer out) {
    text_format(out, "loadhawk %s started (pid %lu, interval %d s", LOADHAWK_VERSION,
                static_cast<unsigned long>(pid), static_cast<int>(monitors.interval));
    for (const MonitorEntry& entry : kMonitors) {
        text_append(out, ", %s %s ", entry.figure, entry.level);
        if (monitors.*entry.enabled) {
            const MonitorRule& rule = monitors.*entry.rule;
            text_append(out, "%d%% x%d", static_cast<int>(rule.threshold), static_cast<int>(rule.count));
        } else {
            text_append(out, "off");
        }
    }
    text_append(out, ", heartbeat %s", notify.heartbeat_enabled && any_channel_configured(notify) ? "on" : "off");
    text_append(out, ", metrics %s", monitors.metricsfile.c_str()[0] != '\0' ? monitors.metricsfile.c_str() : "off");
    const char* separator = ", channels: ";
    for (const NotifyChannel* channel : kChannels) {
        if (!channel->configured(notify)) continue;
        text_append(out, "%s%s", separator, channel->label);
        separator = ", ";
    }
    text_append(out, "%s)\n", any_channel_configured(notify) ? "" : ", channels: none");
}
