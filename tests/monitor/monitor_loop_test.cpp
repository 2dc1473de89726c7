#include "monitor/monitor_loop.h"

#include <gtest/gtest.h>

#include <string>

#include "monitor/evaluate_monitor.h"
#include "output/silent_mode.h"
#include "sampling/sample_system.h"
#include "platform/time.h"
#include "support/fake_curl.h"
#include "support/monitor_support.h"
#include "support/test_support.h"

namespace {
const std::string kWaitLine =
    "\nWait 60 seconds for next time check .....\n"
    "========================================================================\n";
}  // namespace

using MonitorCycle = InTempDir;

TEST_F(MonitorCycle, OverlappingThresholdsCountIndependentlyInMonitorOrder) {
    // CPU HIGH 1 and CPU LOW 100 both hold in every cycle; MEM HIGH and LOW too
    MonitorSettings settings = quiet_settings();
    settings.cpu_high = {1, 2};
    settings.cpu_low = {100, 2};
    settings.mem_high = {0, 3};
    settings.mem_low = {100, 1};
    settings.cpu_high_enabled = settings.cpu_low_enabled = 1;
    settings.mem_high_enabled = settings.mem_low_enabled = 1;
    const NotifySettings notify = no_channels();
    StateBetweenCycles run{};
    std::size_t offset = 0;

    const Sample first = test_sample(50.0, 50, 60);
    {
        ConsoleCapture console;
        finish_sampled_cycle(first, settings, notify, &run);
        EXPECT_EQ(console.out(),
                  "CPU Usage >= 1% count [1] of [2]\n"
                  "CPU Usage <= 100% count [1] of [2]\n"
                  "MEMORY Usage >= 0% count [1] of [3]\n"
                  "MEMORY Usage <= 100% count [1] of [1]\n" + kWaitLine);
    }
    EXPECT_EQ(read_new_log(&offset),
              std::string("CPU Usage >= 1% count [1] of [2] TOP1- ") + kCpuList + "\n" +
                  "CPU Usage <= 100% count [1] of [2] TOP1- " + kCpuList + "\n" +
                  "MEMORY Usage >= 0% count [1] of [3] TOP1- " + kMemList + "\n" +
                  "MEMORY Usage <= 100% count [1] of [1] TOP1- " + kMemList + "\n" +
                  "***Alert sending :2026-03-07 04:05:09 web1 MEM now 60% <= 100% for consecutive 1 times\n");

    // second cycle: both CPU monitors fire, each count line before its own notice
    const Sample second = test_sample(75.5, 76, 61);
    {
        ConsoleCapture console;
        finish_sampled_cycle(second, settings, notify, &run);
        EXPECT_EQ(console.out(),
                  "CPU Usage >= 1% count [2] of [2]\n"
                  "CPU Usage <= 100% count [2] of [2]\n"
                  "MEMORY Usage >= 0% count [2] of [3]\n"
                  "MEMORY Usage <= 100% Still LOW (alert already sent)\n" + kWaitLine);
    }
    EXPECT_EQ(read_new_log(&offset),
              std::string("CPU Usage >= 1% count [2] of [2] TOP1- ") + kCpuList + "\n" +
                  "***Alert sending :2026-03-07 04:05:09 web1 CPU now 75.5% >= 1% for consecutive 2 times\n" +
                  "CPU Usage <= 100% count [2] of [2] TOP1- " + kCpuList + "\n" +
                  "***Alert sending :2026-03-07 04:05:09 web1 CPU now 75.5% <= 100% for consecutive 2 times\n" +
                  "MEMORY Usage >= 0% count [2] of [3] TOP1- " + kMemList + "\n" +
                  "MEMORY Usage <= 100% Still LOW (alert already sent) TOP1- " + kMemList + "\n");
    EXPECT_EQ(run.of(MonitorKind::cpu_high).alerted, 1);
    EXPECT_EQ(run.of(MonitorKind::cpu_low).alerted, 1);
    EXPECT_EQ(run.of(MonitorKind::mem_high).alerted, 0);
    EXPECT_EQ(run.of(MonitorKind::mem_high).consecutive, 2);
}

TEST_F(MonitorCycle, ComparesCpuRoundedShowsTheIntervalAndIsQuietWhenSilent) {
    MonitorSettings settings = quiet_settings();
    settings.interval = 1;
    settings.cpu_low = {10, 5};
    settings.cpu_low_enabled = 1;
    const NotifySettings notify = no_channels();
    StateBetweenCycles run{};
    plat::LocalTime now{};
    plat::local_time(&now);
    run.remembered_day = now.day;  // no heartbeat due
    // the CPU monitors compare cpu_rounded; the one-decimal figure only fills texts
    const Sample sample = test_sample(50.0, 3, 40);
    {
        ConsoleCapture console;
        finish_sampled_cycle(sample, settings, notify, &run);
        EXPECT_EQ(console.out(),
                  "CPU Usage <= 10% count [1] of [5]\n"
                  "\nWait 1 seconds for next time check .....\n"
                  "========================================================================\n");
    }
    set_silent_mode(true);
    {
        ConsoleCapture console;
        finish_sampled_cycle(sample, settings, notify, &run);
        EXPECT_EQ(console.out(), "");
        EXPECT_EQ(console.err(), "");
    }
    set_silent_mode(false);
    std::size_t offset = 0;
    const std::string line = std::string(" TOP1- ") + kCpuList + "\n";
    EXPECT_EQ(read_new_log(&offset), "CPU Usage <= 10% count [1] of [5]" + line +
                                         "CPU Usage <= 10% count [2] of [5]" + line);
    EXPECT_EQ(run.remembered_day, now.day);
}

namespace {

// System times handed to the cycle: each reading adds g_busy busy and
// g_idle idle 100-ns units to the last.
std::uint64_t g_busy = 0;
std::uint64_t g_idle = 0;
CpuReading g_reading{};
bool fed_cpu(CpuReading* out) {
    g_reading.idle_time += g_idle;
    g_reading.kernel_time += g_idle + g_busy / 2;  // kernel time includes idle time
    g_reading.user_time += g_busy - g_busy / 2;
    *out = g_reading;
    return true;
}

}  // namespace

TEST_F(MonitorCycle, SystemTimesWithAHalfRoundUpToTheFigureTheMonitorsCompare) {
    struct Row {
        std::uint64_t busy, idle;
        std::int32_t rounded;
        bool high_90_holds;
    };
    const Row rows[] = {
        {895, 105, 90, true},        // 89.5
        {8949, 1051, 89, false},     // 89.49
        {9995, 5, 100, true},        // 99.95
        {5, 995, 1, false},          // 0.5
        {8950001, 1049999, 90, true},  // 89.50001
    };
    const SilentMode silent(true);
    MonitorSettings settings = quiet_settings();
    settings.cpu_high = {90, 1};
    CpuReading previous{};
    (void)fed_cpu(&previous);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.busy);
        g_busy = row.busy;
        g_idle = row.idle;
        Sample sample{};
        measure_system(&previous, &sample, kSystemProcesses, &fed_cpu);
        EXPECT_EQ(sample.cpu_rounded, row.rounded);
        const std::int32_t compared = monitor_value(kMonitors[0], sample);
        EXPECT_EQ(compared, row.rounded);
        EXPECT_EQ(monitor_condition_holds(MonitorKind::cpu_high, compared, settings.cpu_high, true),
                  row.high_90_holds);
    }
}

TEST_F(MonitorCycle, AllMonitorsOffLeavesOnlyTheWaitLine) {
    const MonitorSettings settings = quiet_settings();
    const NotifySettings notify = no_channels();
    StateBetweenCycles run{};
    const Sample sample = test_sample(100.0, 100, 100);
    ConsoleCapture console;
    for (int i = 0; i < 3; ++i) finish_sampled_cycle(sample, settings, notify, &run);
    EXPECT_EQ(console.out(), kWaitLine + kWaitLine + kWaitLine);
    EXPECT_FALSE(file_exists("loadhawk_log.txt"));
}

using MonitorCycleSending = InTempDirWithCurl;

TEST_F(MonitorCycleSending, HeartbeatAfterTheMonitorsNoticesThenTheWaitLine) {
    MonitorSettings settings = quiet_settings();
    settings.cpu_high = {90, 1};
    settings.cpu_high_enabled = 1;
    NotifySettings notify = both_channels();
    notify.telegram_enabled = 0;
    StateBetweenCycles run{};
    run.remembered_day = 0;  // no day of any month: the day has changed
    const Sample sample = test_sample(97.26, 97, 61);
    ConsoleCapture console;
    finish_sampled_cycle(sample, settings, notify, &run);
    EXPECT_EQ(console.out(), "CPU Usage >= 90% count [1] of [1]\n"
                             "Sending email alert ...\nEmail command rc=0\n"
                             "Sending email alert ...\nEmail command rc=0\n" + kWaitLine);
    std::size_t offset = 0;
    EXPECT_EQ(read_new_log(&offset),
              std::string("CPU Usage >= 90% count [1] of [1] TOP1- ") + kCpuList + "\n" +
                  "***Alert sending :2026-03-07 04:05:09 web1 CPU now 97.3% >= 90% for consecutive 1 times\n"
                  "Send email to ops@example.com, oncall@example.com\n"
                  "Email sent to ops@example.com, oncall@example.com\n"
                  "Send email to alive@example.com\n"
                  "Email sent to alive@example.com\n");
    // the heartbeat's mail went last
    EXPECT_NE(curl_->message().find("Subject: web1 loadhawk is up and running : 2026-03-07 04:05:09\r\n"),
              std::string::npos);
    EXPECT_GE(run.remembered_day, 1);
    EXPECT_LE(run.remembered_day, 31);
}
