// The monitor settings file "loadhawk_setup.txt": host label, cycle
// interval, the four threshold monitors and the metrics file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "config/config_line.h"
#include "text/fixed_text.h"

constexpr const char* kMonitorSettingsFile = "loadhawk_setup.txt";

struct MonitorRule {
    std::int32_t threshold;  // percent
    std::int32_t count;      // consecutive cycles before the monitor alerts
};

constexpr std::size_t kHostidCap = 100;
// the path of the metrics file: as long as a settings value may be
constexpr std::size_t kMetricsFileCap = kConfigValueCap;

struct MonitorSettings {
    FixedText<kHostidCap> hostid;
    std::int32_t interval;  // seconds per cycle
    MonitorRule cpu_high;
    MonitorRule mem_high;
    MonitorRule cpu_low;
    MonitorRule mem_low;
    bool cpu_high_enabled;
    bool mem_high_enabled;
    bool cpu_low_enabled;
    bool mem_low_enabled;
    FixedText<kMetricsFileCap> metricsfile;  // empty: no metrics file
    // cycles in a row without the condition before a standing alert is
    // recovered; 1 (the default): the first such cycle
    std::int32_t cpu_high_recover;
    std::int32_t cpu_low_recover;
    std::int32_t mem_high_recover;
    std::int32_t mem_low_recover;
    std::int32_t remind;  // minutes between reminders of a standing alert; 0: none
};
static_assert(std::is_trivially_copyable_v<MonitorSettings>);

// The four threshold monitors, in the order in which they run every cycle.
enum class MonitorKind { cpu_high, cpu_low, mem_high, mem_low };
constexpr std::size_t kMonitorCount = 4;

// Everything that sets one monitor apart; the one table below is read by the
// loader, "-check", the settings report, the evaluator, the notices and the
// cycle (whose states are indexed the same way).
struct MonitorEntry {
    MonitorKind kind;
    bool cpu;                // CPU figure, else the memory load
    bool high;               // alerts at or above the threshold, else at or below
    const char* figure;      // "CPU", "MEM": notices and the settings report
    const char* long_name;   // "CPU", "MEMORY": the count lines
    const char* level;       // "HIGH", "LOW"
    const char* label;       // "cpu_high": the metrics file's monitor label
    const char* threshold_key;
    const char* count_key;
    MonitorRule MonitorSettings::*rule;
    bool MonitorSettings::*enabled;
    const char* recover_key;
    std::int32_t MonitorSettings::*recover;
};

inline constexpr MonitorEntry kMonitors[kMonitorCount] = {
    {MonitorKind::cpu_high, true, true, "CPU", "CPU", "HIGH", "cpu_high", "cpuhighthreshold",
     "cpuhighnum", &MonitorSettings::cpu_high, &MonitorSettings::cpu_high_enabled,
     "cpuhighrecover", &MonitorSettings::cpu_high_recover},
    {MonitorKind::cpu_low, true, false, "CPU", "CPU", "LOW", "cpu_low", "cpulowthreshold",
     "cpulownum", &MonitorSettings::cpu_low, &MonitorSettings::cpu_low_enabled,
     "cpulowrecover", &MonitorSettings::cpu_low_recover},
    {MonitorKind::mem_high, false, true, "MEM", "MEMORY", "HIGH", "mem_high", "memhighthreshold",
     "memhighnum", &MonitorSettings::mem_high, &MonitorSettings::mem_high_enabled,
     "memhighrecover", &MonitorSettings::mem_high_recover},
    {MonitorKind::mem_low, false, false, "MEM", "MEMORY", "LOW", "mem_low", "memlowthreshold",
     "memlownum", &MonitorSettings::mem_low, &MonitorSettings::mem_low_enabled,
     "memlowrecover", &MonitorSettings::mem_low_recover},
};

// The table row of `kind`.
const MonitorEntry& monitor_entry(MonitorKind kind);

// What a key of the monitor settings file sets.
enum class MonitorField { none, hostid, interval, threshold, count, metricsfile, recover, remind };
struct MonitorKeyTarget {
    MonitorField field;
    MonitorKind monitor;  // for threshold, count and recover
};

// The key names the loader accepts, old spellings included; "-check" reads
// the same table, so both always agree on which keys a file holds.
struct MonitorKeyAlias {
    const char* key;
    MonitorKeyTarget target;
};
inline constexpr MonitorKeyAlias kMonitorKeyAliases[] = {
    {"hostid", {MonitorField::hostid, MonitorKind::cpu_high}},
    {"interval", {MonitorField::interval, MonitorKind::cpu_high}},
    {"cpuhighthreshold", {MonitorField::threshold, MonitorKind::cpu_high}},
    {"cpu_threshold", {MonitorField::threshold, MonitorKind::cpu_high}},
    {"cputhreshold", {MonitorField::threshold, MonitorKind::cpu_high}},
    {"cpuhighnum", {MonitorField::count, MonitorKind::cpu_high}},
    {"cpu_highnum", {MonitorField::count, MonitorKind::cpu_high}},
    {"memhighthreshold", {MonitorField::threshold, MonitorKind::mem_high}},
    {"mem_threshold", {MonitorField::threshold, MonitorKind::mem_high}},
    {"memthreshold", {MonitorField::threshold, MonitorKind::mem_high}},
    {"memhighnum", {MonitorField::count, MonitorKind::mem_high}},
    {"mem_highnum", {MonitorField::count, MonitorKind::mem_high}},
    {"cpulowthreshold", {MonitorField::threshold, MonitorKind::cpu_low}},
    {"cpulownum", {MonitorField::count, MonitorKind::cpu_low}},
    {"memlowthreshold", {MonitorField::threshold, MonitorKind::mem_low}},
    {"memlownum", {MonitorField::count, MonitorKind::mem_low}},
    {"metricsfile", {MonitorField::metricsfile, MonitorKind::cpu_high}},
    {"cpuhighrecover", {MonitorField::recover, MonitorKind::cpu_high}},
    {"cpulowrecover", {MonitorField::recover, MonitorKind::cpu_low}},
    {"memhighrecover", {MonitorField::recover, MonitorKind::mem_high}},
    {"memlowrecover", {MonitorField::recover, MonitorKind::mem_low}},
    {"remind", {MonitorField::remind, MonitorKind::cpu_high}},
};

// The smallest and largest values of the optional keys: cycles before a
// recovery, minutes between reminders (0: none).
constexpr std::int32_t kRecoverMin = 1;
constexpr std::int32_t kRecoverMax = 1000;
constexpr std::int32_t kRemindMin = 1;
constexpr std::int32_t kRemindMax = 10080;  // a week

// Why `value` does not suit the optional key `key` (a recover key or
// remind): not a whole number within its range; null when it does, and for
// every other key.
const char* monitor_value_problem(const char* key, const char* value);

// The target of `key`; field none for a key the file does not use.
MonitorKeyTarget monitor_key_target(const char* key);

// The rule a monitor has when the file sets neither of its keys.
MonitorRule default_monitor_rule(const MonitorEntry& m);

// The number the monitor uses for the number `read` from a line of a key
// of `target` (interval, threshold or count): `read` itself, or the
// default that replaces a value the monitor cannot use.
std::int32_t monitor_number_in_use(MonitorKeyTarget target, std::int32_t read);

// "longer than <limit> characters" when the value of `key` does not fit its
// field (hostid, metricsfile), else null.
const char* monitor_value_length_problem(const char* key, const char* value);

// Fills `settings` completely (defaults for whatever the file leaves out or
// gets wrong) and prints the settings report as a console note. Returns
// false when the file cannot be opened ("Error: %s not found" on standard
// error, also when silent).
bool load_monitor_settings(MonitorSettings* settings);
