#include "control/check_keys.h"

#include <cstring>

#include "notify/channels.h"
#include "output/console.h"
#include "text/edit_distance.h"
#include "text/utf8.h"

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

// The low monitors are on unless a line switches them off: a file without
// any line of one leaves it on, which the example's "*" lines prevent.
void warn_of_default_monitors(const SeenKeys& seen) {
    for (const MonitorEntry& m : kMonitors) {
        if (m.high) continue;
        const bool any = seen.written[monitor_slot({MonitorField::threshold, m.kind})] ||
                         seen.written[monitor_slot({MonitorField::count, m.kind})];
        if (any) continue;
        const MonitorRule rule = default_monitor_rule(m);
        console_out("Warning: %s %s monitor is on (%d%%, %d cycles) only because its lines are "
                    "missing; add *%s : \"%d\" to switch it off\n",
                    m.figure, m.level, rule.threshold, rule.count, m.threshold_key, rule.threshold);
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

void mark_seen_key(const char* key, SettingsFile kind, bool disabled, SeenKeys* seen) {
    std::size_t slot = kSeenCap;
    if (kind == SettingsFile::monitor) {
        const MonitorKeyTarget target = monitor_key_target(key);
        if (target.field != MonitorField::none) slot = monitor_slot(target);
    } else {
        const NotifyKey id = notify_key_of(key);
        if (id != NotifyKey::none) slot = static_cast<std::size_t>(id);
    }
    if (slot >= kSeenCap) return;
    seen->written[slot] = true;
    if (!disabled) seen->slots[slot] = true;
}

bool report_missing_keys(const SeenKeys& seen, SettingsFile kind) {
    bool passed = true;
    if (kind == SettingsFile::monitor) {
        report_missing_monitor_keys(seen, &passed);
        warn_of_default_monitors(seen);
    } else {
        report_missing_notify_keys(seen, &passed);
    }
    return passed;
}

namespace {

bool known_in(const char* key, SettingsFile kind) {
    return kind == SettingsFile::monitor ? monitor_key_target(key).field != MonitorField::none
                                         : notify_key_of(key) != NotifyKey::none;
}

// Whether `candidate` is near enough to `key` to be what was meant.
bool near(const char* key, const char* candidate, std::size_t* best) {
    const std::size_t size = std::strlen(candidate);
    const std::size_t distance = edit_distance(key, candidate);
    if (distance >= *best || distance >= size || distance > 1 + size / 6) return false;
    *best = distance;
    return true;
}

// The known key of a file of `kind` nearest to `key`; null when none is near.
const char* nearest_key(const char* key, SettingsFile kind) {
    const char* found = nullptr;
    std::size_t best = kEditWordCap;
    if (kind == SettingsFile::monitor) {
        for (const MonitorKeyAlias& alias : kMonitorKeyAliases) {
            if (near(key, alias.key, &best)) found = alias.key;
        }
    } else {
        for (const NotifyKeyName& name : kNotifyKeyNames) {
            if (near(key, name.key, &best)) found = name.key;
        }
    }
    return found;
}

}  // namespace

bool key_is_known(const char* key, SettingsFile kind, int line_number) {
    if (known_in(key, kind)) return true;
    // a file saved as "UTF-8 with BOM" hides its first key behind the mark
    constexpr char kByteOrderMark[] = "\xef\xbb\xbf";
    const bool marked = std::strncmp(key, kByteOrderMark, 3) == 0;
    FixedText<kConfigKeyCap> shown;
    shown.assign(marked ? key + 3 : key);
    (void)utf8_make_printable(shown.buf);
    const SettingsFile other = kind == SettingsFile::monitor ? SettingsFile::notify : SettingsFile::monitor;
    if (marked) {
        console_out("Line %d: %s begins with a byte order mark and is ignored; save the file as UTF-8 "
                    "without BOM\n", line_number, shown.c_str());
    } else if (known_in(key, other)) {
        console_out("Line %d: %s is ignored here: it belongs in %s\n", line_number, key,
                    other == SettingsFile::monitor ? kMonitorSettingsFile : kNotifySettingsFile);
    } else if (const char* meant = nearest_key(shown.c_str(), kind)) {
        console_out("Line %d: unknown key %s is ignored; did you mean %s?\n", line_number, shown.c_str(), meant);
    } else {
        console_out("Line %d: unknown key %s is ignored\n", line_number, shown.c_str());
    }
    return false;
}
