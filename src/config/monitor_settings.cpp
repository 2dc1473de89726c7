#include "config/monitor_settings.h"

#include <cstdio>
#include <cstring>

#include "config/config_line.h"
#include "config/line_reader.h"
#include "control/console.h"

namespace {

enum class Field { none, hostid, interval, threshold, count };

// What one key sets: a field and, for threshold and count keys, the monitor
// (its rule and its enabled flag).
struct KeyTarget {
    Field field;
    MonitorRule* rule;
    std::int32_t* enabled;
};

KeyTarget target_of(const char* key, MonitorSettings* s) {
    struct Row {
        const char* key;
        Field field;
        MonitorRule MonitorSettings::*rule;
        std::int32_t MonitorSettings::*enabled;
    };
    static constexpr Row kRows[] = {
        {"cpuhighthreshold", Field::threshold, &MonitorSettings::cpu_high, &MonitorSettings::cpu_high_enabled},
        {"cpu_threshold", Field::threshold, &MonitorSettings::cpu_high, &MonitorSettings::cpu_high_enabled},
        {"cputhreshold", Field::threshold, &MonitorSettings::cpu_high, &MonitorSettings::cpu_high_enabled},
        {"cpuhighnum", Field::count, &MonitorSettings::cpu_high, &MonitorSettings::cpu_high_enabled},
        {"cpu_highnum", Field::count, &MonitorSettings::cpu_high, &MonitorSettings::cpu_high_enabled},
        {"memhighthreshold", Field::threshold, &MonitorSettings::mem_high, &MonitorSettings::mem_high_enabled},
        {"mem_threshold", Field::threshold, &MonitorSettings::mem_high, &MonitorSettings::mem_high_enabled},
        {"memthreshold", Field::threshold, &MonitorSettings::mem_high, &MonitorSettings::mem_high_enabled},
        {"memhighnum", Field::count, &MonitorSettings::mem_high, &MonitorSettings::mem_high_enabled},
        {"mem_highnum", Field::count, &MonitorSettings::mem_high, &MonitorSettings::mem_high_enabled},
        {"cpulowthreshold", Field::threshold, &MonitorSettings::cpu_low, &MonitorSettings::cpu_low_enabled},
        {"cpulownum", Field::count, &MonitorSettings::cpu_low, &MonitorSettings::cpu_low_enabled},
        {"memlowthreshold", Field::threshold, &MonitorSettings::mem_low, &MonitorSettings::mem_low_enabled},
        {"memlownum", Field::count, &MonitorSettings::mem_low, &MonitorSettings::mem_low_enabled},
    };
    if (std::strcmp(key, "hostid") == 0) return {Field::hostid, nullptr, nullptr};
    if (std::strcmp(key, "interval") == 0) return {Field::interval, nullptr, nullptr};
    for (const Row& row : kRows) {
        if (std::strcmp(key, row.key) == 0) return {row.field, &(s->*row.rule), &(s->*row.enabled)};
    }
    return {Field::none, nullptr, nullptr};
}

void apply_line(MonitorSettings* s, const char* key, const char* value, int disabled) {
    const KeyTarget t = target_of(key, s);
    switch (t.field) {
        case Field::none:
            return;
        case Field::hostid:
            if (!disabled) s->hostid.assign(value);
            return;
        case Field::interval:
            if (!disabled) s->interval = parse_config_number(value);
            return;
        case Field::threshold:
            // a threshold line switches its monitor to match the line
            t.rule->threshold = parse_config_number(value);
            *t.enabled = disabled ? 0 : 1;
            return;
        case Field::count:
            // a count line can only switch its monitor off
            t.rule->count = parse_config_number(value);
            if (disabled) *t.enabled = 0;
            return;
    }
}

void set_defaults(MonitorSettings* s) {
    *s = MonitorSettings{};
    s->hostid.assign("NoHostName");
    s->interval = 60;
    s->cpu_high = MonitorRule{85, 5};
    s->mem_high = MonitorRule{85, 5};
    s->cpu_low = MonitorRule{10, 50};
    s->mem_low = MonitorRule{10, 50};
    s->cpu_high_enabled = 1;
    s->mem_high_enabled = 1;
    s->cpu_low_enabled = 1;
    s->mem_low_enabled = 1;
}

void repair(MonitorSettings* s) {
    if (s->interval <= 0) s->interval = 60;
    if (s->cpu_high.threshold <= 0) s->cpu_high.threshold = 85;
    if (s->cpu_high.count <= 0) s->cpu_high.count = 5;
    if (s->mem_high.threshold <= 0) s->mem_high.threshold = 85;
    if (s->mem_high.count <= 0) s->mem_high.count = 5;
    // a low threshold of 0 is meaningful: "no load at all"
    if (s->cpu_low.threshold < 0) s->cpu_low.threshold = 10;
    if (s->cpu_low.count <= 0) s->cpu_low.count = 50;
    if (s->mem_low.threshold < 0) s->mem_low.threshold = 10;
    if (s->mem_low.count <= 0) s->mem_low.count = 50;
}

const char* on_off(std::int32_t flag) { return flag != 0 ? "ON" : "OFF"; }

void print_report(const MonitorSettings& s) {
    console_out("Your setting ...\n");
    console_out("hostid : %s\n", s.hostid.c_str());
    console_out("interval : %d Sec\n\n", s.interval);
    console_out("CPU HIGH monitor : %s\n", on_off(s.cpu_high_enabled));
    console_out("  cpuhighthreshold : %d%%\n", s.cpu_high.threshold);
    console_out("  cpuhighnum       : %d\n\n", s.cpu_high.count);
    console_out("MEM HIGH monitor : %s\n", on_off(s.mem_high_enabled));
    console_out("  memhighthreshold : %d%%\n", s.mem_high.threshold);
    console_out("  memhighnum       : %d\n\n", s.mem_high.count);
    console_out("CPU LOW monitor : %s\n", on_off(s.cpu_low_enabled));
    console_out("  cpulowthreshold : %d%%\n", s.cpu_low.threshold);
    console_out("  cpulownum       : %d\n\n", s.cpu_low.count);
    console_out("MEM LOW monitor : %s\n", on_off(s.mem_low_enabled));
    console_out("  memlowthreshold : %d%%\n", s.mem_low.threshold);
    console_out("  memlownum       : %d\n\n", s.mem_low.count);
}

}  // namespace

int load_monitor_settings(MonitorSettings* settings, int silent) {
    set_defaults(settings);
    std::FILE* file = std::fopen(kMonitorSettingsFile, "rb");
    if (file == nullptr) {
        console_err("Error: %s not found\n", kMonitorSettingsFile);
        return 0;
    }
    for_each_config_item(file, [settings](const char* key, const char* value, int disabled) {
        apply_line(settings, key, value, disabled);
    });
    std::fclose(file);
    repair(settings);
    if (!silent) print_report(*settings);
    return 1;
}
