#include "config/monitor_settings.h"

#include <cstdio>
#include <cstring>

#include "config/config_line.h"
#include "config/line_reader.h"
#include "output/console.h"
#include "platform/files.h"

namespace {

void apply_line(MonitorSettings* s, const char* key, const char* value, bool disabled) {
    const MonitorKeyTarget t = monitor_key_target(key);
    switch (t.field) {
        case MonitorField::none:
            return;
        case MonitorField::hostid:
            if (!disabled) s->hostid.assign(value);
            return;
        case MonitorField::interval:
            if (!disabled) s->interval = parse_config_number(value);
            return;
        case MonitorField::metricsfile:
            if (!disabled) s->metricsfile.assign(value);
            return;
        case MonitorField::recover:
            if (!disabled) s->*monitor_entry(t.monitor).recover = parse_config_number(value);
            return;
        case MonitorField::remind:
            if (!disabled) s->remind = parse_config_number(value);
            return;
        case MonitorField::threshold:
        case MonitorField::count:
            break;
    }
    const MonitorEntry& m = monitor_entry(t.monitor);
    MonitorRule& rule = s->*m.rule;
    bool& enabled = s->*m.enabled;
    if (t.field == MonitorField::threshold) {
        // a threshold line switches its monitor to match the line
        rule.threshold = parse_config_number(value);
        enabled = !disabled;
    } else {
        // a count line can only switch its monitor off
        rule.count = parse_config_number(value);
        if (disabled) enabled = false;
    }
}

}  // namespace

const char* monitor_value_length_problem(const char* key, const char* value) {
    std::size_t limit = 0;
    switch (monitor_key_target(key).field) {
        case MonitorField::hostid:
            limit = kHostidCap - 1;
            break;
        case MonitorField::metricsfile:
            limit = kMetricsFileCap - 1;
            break;
        default:
            return nullptr;
    }
    return value != nullptr && std::strlen(value) > limit ? longer_than_text(limit) : nullptr;
}

namespace {

constexpr const char* kDefaultHostid = "NoHostName";
constexpr std::int32_t kDefaultInterval = 60;  // seconds

void set_defaults(MonitorSettings* s) {
    *s = MonitorSettings{};
    s->hostid.assign(kDefaultHostid);
    s->interval = kDefaultInterval;
    for (const MonitorEntry& m : kMonitors) {
        s->*m.rule = default_monitor_rule(m);
        s->*m.enabled = true;
        s->*m.recover = kRecoverMin;
    }
}

void repair(MonitorSettings* s) {
    s->interval = monitor_number_in_use({MonitorField::interval, MonitorKind::cpu_high}, s->interval);
    for (const MonitorEntry& m : kMonitors) {
        MonitorRule& rule = s->*m.rule;
        rule.threshold = monitor_number_in_use({MonitorField::threshold, m.kind}, rule.threshold);
        rule.count = monitor_number_in_use({MonitorField::count, m.kind}, rule.count);
        s->*m.recover = monitor_number_in_use({MonitorField::recover, m.kind}, s->*m.recover);
    }
    s->remind = monitor_number_in_use({MonitorField::remind, MonitorKind::cpu_high}, s->remind);
}

const char* on_off(bool flag) { return flag ? "ON" : "OFF"; }

void print_report(const MonitorSettings& s) {
    console_note("Your setting ...\n");
    console_note("hostid : %s\n", s.hostid.c_str());
    console_note("interval : %d Sec\n\n", s.interval);
    // the HIGH monitors first, then the LOW ones
    constexpr bool kHighFirst[] = {true, false};
    for (const bool high : kHighFirst) {
        for (const MonitorEntry& m : kMonitors) {
            if (m.high != high) continue;
            const MonitorRule& rule = s.*m.rule;
            // the count key padded to the threshold key's width
            const int width = static_cast<int>(std::strlen(m.threshold_key));
            console_note("%s %s monitor : %s\n", m.figure, m.level, on_off(s.*m.enabled));
            console_note("  %s : %d%%\n", m.threshold_key, rule.threshold);
            console_note("  %-*s : %d\n\n", width, m.count_key, rule.count);
        }
    }
    if (!s.metricsfile.empty()) console_note("metricsfile : %s\n\n", s.metricsfile.c_str());
    // the optional keys only when they change what happens
    for (const MonitorEntry& m : kMonitors) {
        if (s.*m.recover != kRecoverMin) console_note("%s : %d cycles\n\n", m.recover_key, s.*m.recover);
    }
    if (s.remind != 0) console_note("remind : %d min\n\n", s.remind);
}

}  // namespace

const MonitorEntry& monitor_entry(MonitorKind kind) {
    for (const MonitorEntry& m : kMonitors) {
        if (m.kind == kind) return m;
    }
    return kMonitors[0];
}

MonitorRule default_monitor_rule(const MonitorEntry& m) {
    constexpr MonitorRule kDefaultHighRule{85, 5};
    constexpr MonitorRule kDefaultLowRule{10, 50};
    return m.high ? kDefaultHighRule : kDefaultLowRule;
}

std::int32_t monitor_number_in_use(MonitorKeyTarget target, std::int32_t read) {
    const MonitorEntry& m = monitor_entry(target.monitor);
    switch (target.field) {
        case MonitorField::interval:
            return read > 0 ? read : kDefaultInterval;
        case MonitorField::threshold:
            // a low threshold of 0 is meaningful: "no load at all"
            if (m.high ? read <= 0 : read < 0) return default_monitor_rule(m).threshold;
            return read;
        case MonitorField::count:
            return read > 0 ? read : default_monitor_rule(m).count;
        case MonitorField::recover:
            // out of range: recovery in the first cycle without the condition
            return read >= kRecoverMin && read <= kRecoverMax ? read : kRecoverMin;
        case MonitorField::remind:
            // out of range: no reminders
            return read >= kRemindMin && read <= kRemindMax ? read : 0;
        case MonitorField::none:
        case MonitorField::hostid:
        case MonitorField::metricsfile:
            break;
    }
    return read;
}

MonitorKeyTarget monitor_key_target(const char* key) {
    for (const MonitorKeyAlias& alias : kMonitorKeyAliases) {
        if (std::strcmp(key, alias.key) == 0) return alias.target;
    }
    return {MonitorField::none, MonitorKind::cpu_high};
}

const char* monitor_value_problem(const char* key, const char* value) {
    const MonitorField field = monitor_key_target(key).field;
    if (field != MonitorField::recover && field != MonitorField::remind) return nullptr;
    const bool recover = field == MonitorField::recover;
    const std::int32_t low = recover ? kRecoverMin : kRemindMin;
    const std::int32_t high = recover ? kRecoverMax : kRemindMax;
    std::int64_t number = 0;
    std::size_t digits = 0;
    for (; value[digits] >= '0' && value[digits] <= '9' && digits < 10; ++digits) {
        number = number * 10 + (value[digits] - '0');
    }
    if (digits > 0 && value[digits] == '\0' && number >= low && number <= high) return nullptr;
    return recover ? "must be a whole number of cycles from 1 to 1000"
                   : "must be a whole number of minutes from 1 to 10080";
}

bool load_monitor_settings(MonitorSettings* settings) {
    set_defaults(settings);
    std::FILE* file = plat::open_kept_file(kMonitorSettingsFile, plat::KeptFileMode::read, nullptr);
    if (file == nullptr) {
        console_err("Error: %s not found\n", kMonitorSettingsFile);
        return false;
    }
    for_each_config_item(file, [settings](const char* key, const char* value, bool disabled) {
        apply_line(settings, key, value, disabled);
    });
    std::fclose(file);
    repair(settings);
    print_report(*settings);
    return true;
}
