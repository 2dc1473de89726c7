#include "control/start_line.h"

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
    text_append(out, ", heartbeat %s", notify.heartbeat_enabled && (notify.email_enabled || notify.telegram_enabled) ? "on" : "off");
    text_append(out, ", metrics %s", monitors.metricsfile.c_str()[0] != '\0' ? monitors.metricsfile.c_str() : "off");
    if (!notify.email_enabled && !notify.telegram_enabled) {
        text_append(out, ", channels: none)\n");
    } else if (notify.email_enabled && notify.telegram_enabled) {
        text_append(out, ", channels: email, telegram)\n");
    } else {
        text_append(out, ", channels: %s)\n", notify.email_enabled ? "email" : "telegram");
    }
}
