#include "control/check_keys.h"

#include "notify/channels.h"
#include "output/console.h"

namespace {

std::size_t monitor_slot(const MonitorKeyTarget& target) {
    const std::size_t monitor = static_cast<std::size_t>(target.monitor);
    switch (target.field) {
        case MonitorField::hostid:
            return 0;
        case MonitorField::interval:
            return 1;
        case MonitorField::threshold:
            return 2 + 2 * monitor;
        case MonitorField::count:
            return 3 + 2 * monitor;
        case MonitorField::none:
        case MonitorField::metricsfile:
        case MonitorField::recover:
        case MonitorField::remind:
            break;
    }
    return kSeenCap;
}

bool seen_monitor(const SeenKeys& seen, MonitorField field, MonitorKind kind) {
    return seen.slots[monitor_slot({field, kind})];
}

bool seen_notify(const SeenKeys& seen, const char* key) {
    const NotifyKey id = notify_key_of(key);
    return id != NotifyKey::none && seen.slots[static_cast<std::size_t>(id)];
}

// Reports one missing key: the message fails the check.
void missing(bool absent, const char* message, bool* passed) {
    if (!absent) return;
    console_out("%s", message);
    *passed = false;
}

void report_missing_monitor_keys(const SeenKeys& seen, bool* passed) {
    const MonitorField threshold = MonitorField::threshold;
    const MonitorField count = MonitorField::count;
    const MonitorKind cpu = MonitorKind::cpu_high;
    const MonitorKind mem = MonitorKind::mem_high;
    missing(!seen_monitor(seen, MonitorField::hostid, cpu), "Missing key: hostid\n", passed);
    missing(!seen_monitor(seen, MonitorField::interval, cpu), "Missing key: interval\n", passed);
    missing(!seen_monitor(seen, threshold, cpu),
            "Missing key: cpuhighthreshold (or old cpu_threshold / cputhreshold)\n", passed);
    missing(!seen_monitor(seen, count, cpu), "Missing key: cpuhighnum\n", passed);
    missing(!seen_monitor(seen, threshold, mem),
            "Missing key: memhighthreshold (or old mem_threshold / memthreshold)\n", passed);
    missing(!seen_monitor(seen, count, mem), "Missing key: memhighnum\n", passed);
    // the low monitors are optional, but only as a whole pair
    for (const MonitorEntry& m : kMonitors) {
        if (m.high) continue;
        const bool has_threshold = seen_monitor(seen, threshold, m.kind);
        const bool has_count = seen_monitor(seen, count, m.kind);
        if (has_threshold == has_count) continue;
        console_out("%s %s config incomplete: %s missing\n", m.figure, m.level,
                    has_threshold ? m.count_key : m.threshold_key);
        *passed = false;
    }
}

// The required keys of every channel, then each channel's keys that stand
// only together: some of them without the others is incomplete.
void report_missing_notify_keys(const SeenKeys& seen, bool* passed) {
    for (const NotifyChannel* channel : kChannels) {
        for (std::size_t i = 0; i < channel->key_count; ++i) {
            const ChannelKey& k = channel->keys[i];
            if (k.need != KeyNeed::required || seen_notify(seen, k.key)) continue;
            console_out("Missing key: %s\n", k.key);
            *passed = false;
        }
    }
    for (const NotifyChannel* channel : kChannels) {
        bool any = false;
        for (std::size_t i = 0; i < channel->key_count; ++i) {
            const ChannelKey& k = channel->keys[i];
            any = any || (k.need == KeyNeed::together && seen_notify(seen, k.key));
        }
        if (!any) continue;
        for (std::size_t i = 0; i < channel->key_count; ++i) {
            const ChannelKey& k = channel->keys[i];
            if (k.need != KeyNeed::together || seen_notify(seen, k.key)) continue;
            console_out("%s config incomplete: %s missing\n", channel->title, k.key);
            *passed = false;
        }
    }
}

}  // namespace

void mark_seen_key(const char* key, SettingsFile kind, SeenKeys* seen) {
    std::size_t slot = kSeenCap;
    if (kind == SettingsFile::monitor) {
        const MonitorKeyTarget target = monitor_key_target(key);
        if (target.field != MonitorField::none) slot = monitor_slot(target);
    } else {
        const NotifyKey id = notify_key_of(key);
        if (id != NotifyKey::none) slot = static_cast<std::size_t>(id);
    }
    if (slot < kSeenCap) seen->slots[slot] = true;
}

bool report_missing_keys(const SeenKeys& seen, SettingsFile kind) {
    bool passed = true;
    if (kind == SettingsFile::monitor) {
        report_missing_monitor_keys(seen, &passed);
    } else {
        report_missing_notify_keys(seen, &passed);
    }
    return passed;
}
