#include "monitor/evaluate_monitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/silent_mode.h"
#include "support/monitor_support.h"
#include "support/test_support.h"

namespace {

// One cycle of one monitor: the figure it sees and what it must print and log.
struct Cycle {
    double figure;  // cpu_percent (cpu_rounded is figure + 0.5, truncated) or mem_load
    std::string console;
    std::string log;
    int minute = 0;  // when the cycle is taken, in minutes after the first
};

struct Scenario {
    const char* name;
    MonitorKind kind;
    MonitorRule rule;
    int enabled;
    std::vector<Cycle> cycles;
    int recover = 1;  // cycles without the condition before the recovery
    int remind = 0;   // minutes between reminders; 0: none
};

bool is_cpu(MonitorKind kind) { return kind == MonitorKind::cpu_high || kind == MonitorKind::cpu_low; }

// The count line as the console shows it and as the log keeps it.
std::string shown(const std::string& line) { return line + "\n"; }
std::string logged(const std::string& line, const char* list) { return line + " TOP1- " + list + "\n"; }
std::string sending(const std::string& subject) {
    return "***Alert sending :" + std::string(kCycleTime) + " web1 " + subject + "\n";
}
std::string reminding(const std::string& subject) {
    return "***Alert sending :Reminder: " + std::string(kCycleTime) + " web1 " + subject + "\n";
}
std::string waiting(int gone, int recover) {
    return "CPU HIGH recovery notice after [" + std::to_string(gone) + "] of [" + std::to_string(recover) +
           "] cycles back to normal\n";
}

const std::string kCpu = kCpuList;
const std::string kMem = kMemList;

// Runs the cycles of `sc` through evaluate_monitor and checks each one's
// console and log; in silent mode the console must stay empty.
void play(const Scenario& sc, bool silent) {
    SCOPED_TRACE(std::string(sc.name) + (silent ? " (silent)" : ""));
    set_silent_mode(silent);
    MonitorSettings settings = quiet_settings();
    const NotifySettings notify = no_channels();
    MonitorRule* rule = nullptr;
    switch (sc.kind) {
        case MonitorKind::cpu_high: rule = &settings.cpu_high; settings.cpu_high_enabled = sc.enabled; break;
        case MonitorKind::cpu_low: rule = &settings.cpu_low; settings.cpu_low_enabled = sc.enabled; break;
        case MonitorKind::mem_high: rule = &settings.mem_high; settings.mem_high_enabled = sc.enabled; break;
        case MonitorKind::mem_low: rule = &settings.mem_low; settings.mem_low_enabled = sc.enabled; break;
    }
    *rule = sc.rule;
    for (const MonitorEntry& m : kMonitors) settings.*m.recover = sc.recover;
    settings.remind = sc.remind;
    MonitorState state{};
    std::size_t log_offset = 0;
    read_new_log(&log_offset);
    int index = 0;
    for (const Cycle& cycle : sc.cycles) {
        SCOPED_TRACE("cycle " + std::to_string(++index));
        const int rounded = static_cast<int>(cycle.figure + 0.5);
        Sample sample = is_cpu(sc.kind) ? test_sample(cycle.figure, rounded, 50)
                                        : test_sample(50.0, 50, static_cast<int>(cycle.figure));
        sample.taken_at += cycle.minute * 60;
        ConsoleCapture console;
        evaluate_monitor(sc.kind, sample, settings, notify, &state);
        EXPECT_EQ(console.out(), silent ? std::string() : cycle.console);
        EXPECT_EQ(console.err(), "");
        EXPECT_EQ(read_new_log(&log_offset), cycle.log);
    }
    set_silent_mode(false);
}

}  // namespace

using EvaluateMonitor = InTempDir;

TEST_F(EvaluateMonitor, WalksEveryTransitionOfTheStateTable) {
    const std::string hi90_1 = "CPU Usage >= 90% count [1] of [1]";
    const std::string hi90_still = "CPU Usage >= 90% Still HIGH (alert already sent)";
    const std::string mem85 = "MEMORY Usage >= 85% count ";
    const std::string low10 = "CPU Usage <= 10% count ";
    const std::string memlow10 = "MEMORY Usage <= 10% ";
    const Scenario scenarios[] = {
        {"count 1: alert in the first cycle, still, recovery, alert again",
         MonitorKind::cpu_high, {90, 1}, 1,
         {
             {95, shown(hi90_1), logged(hi90_1, kCpuList) + sending("CPU now 95.0% >= 90% for consecutive 1 times")},
             {96, shown(hi90_still), logged(hi90_still, kCpuList)},
             {50, "", sending("CPU HIGH back to normal - CPU now 50.0%")},
             {40, "", ""},
             {99, shown(hi90_1), logged(hi90_1, kCpuList) + sending("CPU now 99.0% >= 90% for consecutive 1 times")},
         }},
        {"count 3: alert in the third cycle; while alerted the counter wraps; reset line at recovery",
         MonitorKind::cpu_high, {90, 3}, 1,
         {
             {91, shown("CPU Usage >= 90% count [1] of [3]"), logged("CPU Usage >= 90% count [1] of [3]", kCpuList)},
             {92, shown("CPU Usage >= 90% count [2] of [3]"), logged("CPU Usage >= 90% count [2] of [3]", kCpuList)},
             {97.26, shown("CPU Usage >= 90% count [3] of [3]"),
              logged("CPU Usage >= 90% count [3] of [3]", kCpuList) + sending("CPU now 97.3% >= 90% for consecutive 3 times")},
             {94, shown(hi90_still), logged(hi90_still, kCpuList)},  // counter 1
             {95, shown(hi90_still), logged(hi90_still, kCpuList)},  // counter 2
             {96, shown(hi90_still), logged(hi90_still, kCpuList)},  // counter 3, back to 0, no second alert
             {97, shown(hi90_still), logged(hi90_still, kCpuList)},  // counter 1
             {20.04, "CPU back below 90%, counter reset from [1] to [0]\n", sending("CPU HIGH back to normal - CPU now 20.0%")},
             {20, "", ""},
             {91, shown("CPU Usage >= 90% count [1] of [3]"), logged("CPU Usage >= 90% count [1] of [3]", kCpuList)},
         }},
        {"an alerted period that ends with the counter at 0 has no reset line",
         MonitorKind::cpu_high, {90, 2}, 1,
         {
             {95, shown("CPU Usage >= 90% count [1] of [2]"), logged("CPU Usage >= 90% count [1] of [2]", kCpuList)},
             {95, shown("CPU Usage >= 90% count [2] of [2]"),
              logged("CPU Usage >= 90% count [2] of [2]", kCpuList) + sending("CPU now 95.0% >= 90% for consecutive 2 times")},
             {95, shown(hi90_still), logged(hi90_still, kCpuList)},
             {95, shown(hi90_still), logged(hi90_still, kCpuList)},
             {89.4, "", sending("CPU HIGH back to normal - CPU now 89.4%")},
         }},
        {"an interruption restarts the count without a notice",
         MonitorKind::mem_high, {85, 3}, 1,
         {
             {90, shown(mem85 + "[1] of [3]"), logged(mem85 + "[1] of [3]", kMemList)},
             {85, shown(mem85 + "[2] of [3]"), logged(mem85 + "[2] of [3]", kMemList)},
             {84, "MEMORY back below 85%, counter reset from [2] to [0]\n", ""},
             {90, shown(mem85 + "[1] of [3]"), logged(mem85 + "[1] of [3]", kMemList)},
             {91, shown(mem85 + "[2] of [3]"), logged(mem85 + "[2] of [3]", kMemList)},
             {92, shown(mem85 + "[3] of [3]"),
              logged(mem85 + "[3] of [3]", kMemList) + sending("MEM now 92% >= 85% for consecutive 3 times")},
             {80, "", sending("MEM HIGH back to normal - MEM now 80%")},
         }},
        {"CPU LOW counts a failed reading (0) and recovers above the threshold",
         MonitorKind::cpu_low, {10, 2}, 1,
         {
             {0, shown(low10 + "[1] of [2]"), logged(low10 + "[1] of [2]", kCpuList)},
             {10.4, shown(low10 + "[2] of [2]"),
              logged(low10 + "[2] of [2]", kCpuList) + sending("CPU now 10.4% <= 10% for consecutive 2 times")},
             {10, shown("CPU Usage <= 10% Still LOW (alert already sent)"),
              logged("CPU Usage <= 10% Still LOW (alert already sent)", kCpuList)},
             {10.5, "CPU back above 10%, LOW counter reset from [1] to [0]\n", sending("CPU LOW back to normal - CPU now 10.5%")},
             {5, shown(low10 + "[1] of [2]"), logged(low10 + "[1] of [2]", kCpuList)},
             {50, "CPU back above 10%, LOW counter reset from [1] to [0]\n", ""},
         }},
        {"MEM LOW with count 1 never shows a reset line",
         MonitorKind::mem_low, {10, 1}, 1,
         {
             {10, shown(memlow10 + "count [1] of [1]"),
              logged(memlow10 + "count [1] of [1]", kMemList) + sending("MEM now 10% <= 10% for consecutive 1 times")},
             {3, shown(memlow10 + "Still LOW (alert already sent)"), logged(memlow10 + "Still LOW (alert already sent)", kMemList)},
             {11, "", sending("MEM LOW back to normal - MEM now 11%")},
         }},
        {"a disabled monitor never counts, prints, logs or sends",
         MonitorKind::cpu_high, {1, 1}, 0,
         {{100, "", ""}, {100, "", ""}, {0, "", ""}}},
        {"a HIGH threshold above 100 never holds",
         MonitorKind::mem_high, {101, 1}, 1,
         {{100, "", ""}, {100, "", ""}}},
        {"a LOW threshold of 100 holds in every cycle",
         MonitorKind::mem_low, {100, 2}, 1,
         {
             {100, shown("MEMORY Usage <= 100% count [1] of [2]"), logged("MEMORY Usage <= 100% count [1] of [2]", kMemList)},
             {0, shown("MEMORY Usage <= 100% count [2] of [2]"),
              logged("MEMORY Usage <= 100% count [2] of [2]", kMemList) + sending("MEM now 0% <= 100% for consecutive 2 times")},
             {57, shown("MEMORY Usage <= 100% Still LOW (alert already sent)"),
              logged("MEMORY Usage <= 100% Still LOW (alert already sent)", kMemList)},
         }},
        {"CPU HIGH compares the rounded figure: 89.5 counts, 89.4 does not",
         MonitorKind::cpu_high, {90, 3}, 1,
         {
             {89.5, shown("CPU Usage >= 90% count [1] of [3]"), logged("CPU Usage >= 90% count [1] of [3]", kCpuList)},
             {89.4, "CPU back below 90%, counter reset from [1] to [0]\n", ""},
         }},
        {"recover 3: the alert stands through a relapse; recovery after three normal cycles in a row",
         MonitorKind::cpu_high, {90, 1}, 1,
         {
             {95, shown(hi90_1), logged(hi90_1, kCpuList) + sending("CPU now 95.0% >= 90% for consecutive 1 times")},
             {50, waiting(1, 3), ""},
             {50, waiting(2, 3), ""},
             {95, shown(hi90_still), logged(hi90_still, kCpuList)},
             {50, waiting(1, 3), ""},
             {50, waiting(2, 3), ""},
             {50, "", sending("CPU HIGH back to normal - CPU now 50.0%")},
             {50, "", ""},
         },
         3},
        {"remind 60: a reminder each hour while the alert stands, also while it waits to recover, none after",
         MonitorKind::cpu_high, {90, 1}, 1,
         {
             {95, shown(hi90_1), logged(hi90_1, kCpuList) + sending("CPU now 95.0% >= 90% for consecutive 1 times"), 0},
             {95, shown(hi90_still), logged(hi90_still, kCpuList), 59},
             {95, shown(hi90_still), logged(hi90_still, kCpuList) + reminding("CPU now 95.0% >= 90% for consecutive 1 times"), 60},
             {95, shown(hi90_still), logged(hi90_still, kCpuList), 119},
             {50, waiting(1, 2), reminding("CPU now 50.0% >= 90% for consecutive 1 times"), 125},
             {50, "", sending("CPU HIGH back to normal - CPU now 50.0%"), 126},
             {50, "", "", 300},
         },
         2, 60},
    };
    for (const Scenario& sc : scenarios) {
        play(sc, false);
        play(sc, true);
    }
}

TEST(MonitorCondition, HighAtOrAboveLowAtOrBelowOnlyWhenEnabled) {
    struct Row {
        MonitorKind kind;
        int value, threshold, enabled;
        bool holds;
    };
    const Row rows[] = {
        {MonitorKind::cpu_high, 90, 90, 1, true},   {MonitorKind::cpu_high, 89, 90, 1, false},
        {MonitorKind::cpu_high, 100, 90, 0, false}, {MonitorKind::mem_high, 100, 101, 1, false},
        {MonitorKind::cpu_low, 10, 10, 1, true},    {MonitorKind::cpu_low, 11, 10, 1, false},
        {MonitorKind::mem_low, 0, 0, 1, true},      {MonitorKind::mem_low, 100, 100, 1, true},
        {MonitorKind::mem_low, 0, 100, 0, false},   {MonitorKind::mem_high, -5, -10, 1, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(row.kind) << " value " << row.value
                                        << " threshold " << row.threshold << " enabled " << row.enabled);
        EXPECT_EQ(monitor_condition_holds(row.kind, row.value, MonitorRule{row.threshold, 3}, row.enabled),
                  row.holds);
    }
}
