// The system figures against /proc, read independently here.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/system.h"

namespace {

unsigned long long meminfo_kb(const std::string& key) {
    std::ifstream in("/proc/meminfo");
    std::string name;
    unsigned long long value = 0;
    std::string unit;
    while (in >> name >> value >> unit) {
        if (name == key + ":") return value;
    }
    return 0;
}

// user nice system idle iowait irq softirq steal, in ticks
std::vector<unsigned long long> cpu_ticks() {
    std::ifstream in("/proc/stat");
    std::string label;
    in >> label;
    std::vector<unsigned long long> ticks(8);
    for (auto& t : ticks) in >> t;
    return ticks;
}

}  // namespace

TEST(SystemPosix, MemoryLoadIsTheShareNotAvailable) {
    plat::MemoryStatus status{};
    ASSERT_TRUE(plat::memory_status(&status));
    const unsigned long long total = meminfo_kb("MemTotal");
    const unsigned long long available = meminfo_kb("MemAvailable");
    ASSERT_GT(total, 0u);
    EXPECT_EQ(status.total_bytes, total * 1024);
    EXPECT_LE(status.avail_bytes, status.total_bytes);
    EXPECT_NEAR(static_cast<double>(status.load_percent),
                static_cast<double>((total - available) * 100 / total), 2.0);
    // the same figure from the bytes it reports, rounded down
    EXPECT_EQ(status.load_percent, (status.total_bytes - status.avail_bytes) * 100 / status.total_bytes);
}

TEST(SystemPosix, TimesAreProcStatTicksIn100nsUnits) {
    const double unit = 1e7 / static_cast<double>(sysconf(_SC_CLK_TCK));
    const auto before = cpu_ticks();
    plat::SystemTimes times{};
    ASSERT_TRUE(plat::system_times(&times));
    const auto after = cpu_ticks();
    // each figure lies between the two independent readings around it
    auto idle = [](const std::vector<unsigned long long>& t) { return t[3] + t[4]; };
    auto user = [](const std::vector<unsigned long long>& t) { return t[0] + t[1]; };
    auto kernel = [&](const std::vector<unsigned long long>& t) { return t[2] + t[5] + t[6] + t[7] + idle(t); };
    EXPECT_GE(static_cast<double>(times.idle), static_cast<double>(idle(before)) * unit);
    EXPECT_LE(static_cast<double>(times.idle), static_cast<double>(idle(after)) * unit);
    EXPECT_GE(static_cast<double>(times.user), static_cast<double>(user(before)) * unit);
    EXPECT_LE(static_cast<double>(times.user), static_cast<double>(user(after)) * unit);
    EXPECT_GE(static_cast<double>(times.kernel), static_cast<double>(kernel(before)) * unit);
    EXPECT_LE(static_cast<double>(times.kernel), static_cast<double>(kernel(after)) * unit);
    EXPECT_GE(times.kernel, times.idle);

    // all time never runs backwards
    plat::SystemTimes later{};
    ASSERT_TRUE(plat::system_times(&later));
    EXPECT_GE(later.kernel + later.user, times.kernel + times.user);
}
