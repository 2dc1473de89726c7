#include "sampling/cpu_usage.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/time.h"
#include "support/child_process.h"

namespace {

CpuReading reading(std::uint64_t idle, std::uint64_t kernel, std::uint64_t user) {
    return CpuReading{idle, kernel, user};
}

}  // namespace

TEST(CpuUsage, BusyShareOfAllTime) {
    struct Row {
        const char* what;
        CpuReading previous;
        CpuReading now;
        double expected;
    };
    const std::uint64_t big = 0xFFFFFFFF00000000ull;
    const Row rows[] = {
        // kernel includes idle: total = 100 + 100, idle 50, busy 150
        {"kernel includes idle", reading(0, 0, 0), reading(50, 100, 100), 75.0},
        {"all idle", reading(10, 10, 0), reading(110, 110, 0), 0.0},
        {"no idle", reading(10, 10, 0), reading(10, 60, 40), 100.0},
        {"no time passed", reading(5, 9, 7), reading(5, 9, 7), 0.0},
        {"89.5 percent", reading(0, 0, 0), reading(105, 1000, 0), 89.5},
        {"deltas near the 64-bit top", reading(big, big, big), reading(big + 300, big + 600, big + 400),
         70.0},
        {"counters past the 64-bit wrap", reading(~0ull - 9, ~0ull - 9, 0), reading(40, 40, 0), 0.0},
        // idle above kernel + user (reported by GetSystemTimes on some
        // Windows versions) is an idle machine, not a wrapped-around busy one
        {"idle above total", reading(0, 100, 0), reading(150, 200, 20), 0.0},
        {"idle equal to total", reading(0, 0, 0), reading(120, 100, 20), 0.0},
        // counters going backwards give nonsense, but never outside 0..100
        {"idle going backwards", reading(100, 200, 0), reading(90, 300, 50), 0.0},
        // one field stepping back is no busy machine (unsigned, the kernel
        // or user step would wrap to about 2^64 and read as 100%)
        {"kernel going backwards", reading(0, 1000, 0), reading(10, 500, 600), 0.0},
        {"user going backwards", reading(0, 0, 1000), reading(10, 600, 500), 0.0},
        {"kernel steps back by more than user grows", reading(0, 100, 0), reading(10, 50, 100), 0.0},
        {"everything going backwards", reading(1000, 2000, 500), reading(10, 20, 5), 0.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const double percent = cpu_usage(row.previous, row.now);
        EXPECT_GE(percent, 0.0);
        EXPECT_LE(percent, 100.0);
        EXPECT_DOUBLE_EQ(percent, row.expected);
    }
}

TEST(CpuUsage, RoundsHalfUp) {
    struct Row {
        double percent;
        std::int32_t rounded;
    };
    const Row rows[] = {{0.0, 0}, {0.49, 0}, {0.5, 1}, {89.49, 89}, {89.5, 90}, {99.5, 100}, {100.0, 100}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.percent);
        EXPECT_EQ(round_cpu_percent(row.percent), row.rounded);
    }
}

TEST(CpuUsage, FailedReadingKeepsThePreviousSoTheNextCoversBothCycles) {
    CpuReading previous = reading(0, 0, 0);
    // cycle 1: 100 units, 90 busy
    const CpuReading first = reading(10, 50, 50);
    EXPECT_DOUBLE_EQ(advance_cpu_reading(&previous, &first), 90.0);
    EXPECT_EQ(previous.kernel_time, 50u);
    // cycle 2: the reading fails
    EXPECT_EQ(advance_cpu_reading(&previous, nullptr), 0.0);
    EXPECT_EQ(previous.kernel_time, 50u);
    // cycle 3: averages over cycles 2 and 3 (200 units, 50 busy)
    const CpuReading third = reading(160, 200, 100);
    EXPECT_DOUBLE_EQ(advance_cpu_reading(&previous, &third), 25.0);
    // a reading with no time passed still replaces the previous one
    const CpuReading same = third;
    EXPECT_EQ(advance_cpu_reading(&previous, &same), 0.0);
    EXPECT_EQ(previous.idle_time, 160u);
}

namespace {

// All time and idle time (idle + iowait) of /proc/stat's cpu line, in ticks,
// read independently of the program.
struct StatTicks {
    unsigned long long total = 0;
    unsigned long long idle = 0;
};

StatTicks read_stat_ticks() {
    std::ifstream in("/proc/stat");
    std::string line;
    std::getline(in, line);
    std::istringstream fields(line);
    std::string label;
    fields >> label;
    unsigned long long value = 0;
    StatTicks ticks;
    // user nice system idle iowait irq softirq steal (guest is inside user)
    for (int i = 0; i < 8 && (fields >> value); ++i) {
        ticks.total += value;
        if (i == 3 || i == 4) ticks.idle += value;
    }
    return ticks;
}

}  // namespace

TEST(CpuUsageLive, MatchesProcStatOverTheSameIntervalWithOneCoreBusy) {
    ChildProcess busy;
    ASSERT_TRUE(busy.fork_named("lh-busy", ChildProcess::Work::busy));
    ASSERT_TRUE(busy.wait_ready(10000));

    const StatTicks before = read_stat_ticks();
    const auto started = std::chrono::steady_clock::now();
    CpuReading previous{};
    ASSERT_TRUE(read_cpu(&previous));
    plat::sleep_ms(1500);
    CpuReading now{};
    ASSERT_TRUE(read_cpu(&now));
    const auto ended = std::chrono::steady_clock::now();
    const StatTicks after = read_stat_ticks();

    const double all = static_cast<double>(after.total - before.total);
    ASSERT_GT(all, 0.0);
    const double expected = (all - static_cast<double>(after.idle - before.idle)) * 100.0 / all;
    const double percent = cpu_usage(previous, now);
    EXPECT_NEAR(percent, expected, 5.0);
    // one of the cores was kept busy the whole time
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    ASSERT_GT(cores, 0);
    EXPECT_GE(percent, 100.0 / static_cast<double>(cores) * 0.7);

    // the readings are in 100-ns units: all cores together pass cores x 1e7
    // units a second of wall time (within the tick accounting's slack)
    const double wall = std::chrono::duration<double>(ended - started).count();
    const double counted = static_cast<double>((now.kernel_time - previous.kernel_time) +
                                               (now.user_time - previous.user_time)) /
                           1e7 / static_cast<double>(cores);
    EXPECT_GT(counted, wall * 0.75 - 0.05);
    EXPECT_LT(counted, wall * 1.25 + 0.05);
}
