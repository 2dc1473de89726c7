#include "monitor/metrics_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/transient_files.h"
#include "support/test_support.h"

namespace {

// CPU HIGH off, CPU LOW alerted, MEM HIGH counting, MEM LOW quiet; one
// e-mail sent and one failed, Telegram never tried.
MonitorState state_of(std::int32_t consecutive, bool alerted, std::int64_t began_at) {
    MonitorState state{};
    state.consecutive = consecutive;
    state.alerted = alerted;
    state.began_at = began_at;
    return state;
}

MetricsFigures test_figures() {
    MetricsFigures f{};
    f.cpu_percent = 97.3;
    f.mem_load = 42;
    // the alert's start shows while it stands only
    f.monitors[0] = {false, {85, 5}, state_of(0, false, 0)};
    f.monitors[1] = {true, {100, 1}, state_of(0, true, 1796719995)};
    f.monitors[2] = {true, {101, 3}, state_of(2, false, 1796720001)};
    f.monitors[3] = {true, {0, 1000}, state_of(0, false, 0)};
    f.notices.channels[0] = {1, 1, 1796720000};  // e-mail, the first channel
    f.start_time = 1796719990;
    f.cycle_time = 1796720005;
    return f;
}

const char* const kTestText =
    "# HELP loadhawk_cpu_usage_ratio CPU usage of the last cycle, 0 to 1.\n"
    "# TYPE loadhawk_cpu_usage_ratio gauge\n"
    "loadhawk_cpu_usage_ratio 0.9730\n"
    "# HELP loadhawk_memory_load_ratio Physical-memory load of the last cycle, 0 to 1.\n"
    "# TYPE loadhawk_memory_load_ratio gauge\n"
    "loadhawk_memory_load_ratio 0.42\n"
    "# HELP loadhawk_monitor_enabled 1 when the threshold monitor is switched on.\n"
    "# TYPE loadhawk_monitor_enabled gauge\n"
    "loadhawk_monitor_enabled{monitor=\"cpu_high\"} 0\n"
    "loadhawk_monitor_enabled{monitor=\"cpu_low\"} 1\n"
    "loadhawk_monitor_enabled{monitor=\"mem_high\"} 1\n"
    "loadhawk_monitor_enabled{monitor=\"mem_low\"} 1\n"
    "# HELP loadhawk_monitor_threshold_ratio Threshold of the monitor, 0 to 1 (85% is 0.85).\n"
    "# TYPE loadhawk_monitor_threshold_ratio gauge\n"
    "loadhawk_monitor_threshold_ratio{monitor=\"cpu_high\"} 0.85\n"
    "loadhawk_monitor_threshold_ratio{monitor=\"cpu_low\"} 1.00\n"
    "loadhawk_monitor_threshold_ratio{monitor=\"mem_high\"} 1.01\n"
    "loadhawk_monitor_threshold_ratio{monitor=\"mem_low\"} 0.00\n"
    "# HELP loadhawk_monitor_required_cycles Cycles in a row the condition must hold before the monitor alerts.\n"
    "# TYPE loadhawk_monitor_required_cycles gauge\n"
    "loadhawk_monitor_required_cycles{monitor=\"cpu_high\"} 5\n"
    "loadhawk_monitor_required_cycles{monitor=\"cpu_low\"} 1\n"
    "loadhawk_monitor_required_cycles{monitor=\"mem_high\"} 3\n"
    "loadhawk_monitor_required_cycles{monitor=\"mem_low\"} 1000\n"
    "# HELP loadhawk_monitor_consecutive_cycles Cycles in a row the condition has held since the counter last started from 0.\n"
    "# TYPE loadhawk_monitor_consecutive_cycles gauge\n"
    "loadhawk_monitor_consecutive_cycles{monitor=\"cpu_high\"} 0\n"
    "loadhawk_monitor_consecutive_cycles{monitor=\"cpu_low\"} 0\n"
    "loadhawk_monitor_consecutive_cycles{monitor=\"mem_high\"} 2\n"
    "loadhawk_monitor_consecutive_cycles{monitor=\"mem_low\"} 0\n"
    "# HELP loadhawk_monitor_alerted 1 while an alert stands and its recovery notice has not gone out.\n"
    "# TYPE loadhawk_monitor_alerted gauge\n"
    "loadhawk_monitor_alerted{monitor=\"cpu_high\"} 0\n"
    "loadhawk_monitor_alerted{monitor=\"cpu_low\"} 1\n"
    "loadhawk_monitor_alerted{monitor=\"mem_high\"} 0\n"
    "loadhawk_monitor_alerted{monitor=\"mem_low\"} 0\n"
    "# HELP loadhawk_monitor_alert_start_timestamp_seconds Unix time of the first counted cycle of the standing alert; 0 while none stands.\n"
    "# TYPE loadhawk_monitor_alert_start_timestamp_seconds gauge\n"
    "loadhawk_monitor_alert_start_timestamp_seconds{monitor=\"cpu_high\"} 0\n"
    "loadhawk_monitor_alert_start_timestamp_seconds{monitor=\"cpu_low\"} 1796719995\n"
    "loadhawk_monitor_alert_start_timestamp_seconds{monitor=\"mem_high\"} 0\n"
    "loadhawk_monitor_alert_start_timestamp_seconds{monitor=\"mem_low\"} 0\n"
    "# HELP loadhawk_notices_total Notices handed to a channel since start, by result.\n"
    "# TYPE loadhawk_notices_total counter\n"
    "loadhawk_notices_total{channel=\"email\",result=\"sent\"} 1\n"
    "loadhawk_notices_total{channel=\"email\",result=\"failed\"} 1\n"
    "loadhawk_notices_total{channel=\"telegram\",result=\"sent\"} 0\n"
    "loadhawk_notices_total{channel=\"telegram\",result=\"failed\"} 0\n"
    "loadhawk_notices_total{channel=\"webhook\",result=\"sent\"} 0\n"
    "loadhawk_notices_total{channel=\"webhook\",result=\"failed\"} 0\n"
    "# HELP loadhawk_notice_last_sent_timestamp_seconds Unix time of the last notice the channel sent; 0 before the first.\n"
    "# TYPE loadhawk_notice_last_sent_timestamp_seconds gauge\n"
    "loadhawk_notice_last_sent_timestamp_seconds{channel=\"email\"} 1796720000\n"
    "loadhawk_notice_last_sent_timestamp_seconds{channel=\"telegram\"} 0\n"
    "loadhawk_notice_last_sent_timestamp_seconds{channel=\"webhook\"} 0\n"
    "# HELP loadhawk_last_cycle_timestamp_seconds Unix time at which the last cycle completed.\n"
    "# TYPE loadhawk_last_cycle_timestamp_seconds gauge\n"
    "loadhawk_last_cycle_timestamp_seconds 1796720005\n"
    "# HELP loadhawk_start_time_seconds Unix time at which the monitor started.\n"
    "# TYPE loadhawk_start_time_seconds gauge\n"
    "loadhawk_start_time_seconds 1796719990\n"
    "# HELP loadhawk_build_info Always 1; the version of loadhawk as a label.\n"
    "# TYPE loadhawk_build_info gauge\n"
    "loadhawk_build_info{version=\"" LOADHAWK_VERSION "\"} 1\n";

}  // namespace

TEST(MetricsFile, RendersEverySeriesWithHelpAndType) {
    const MetricsFigures figures = test_figures();
    FixedText<kMetricsTextCap> text;
    const std::size_t size = render_metrics(figures, text.out());
    EXPECT_EQ(std::string(text.c_str()), kTestText);
    EXPECT_EQ(size, std::string(kTestText).size());

    // a text that does not fit whole is not kept at all: the edges
    const std::size_t whole = std::string(kTestText).size();
    for (const std::size_t cap : {whole - 1, whole, whole + 1, whole + 2}) {
        SCOPED_TRACE(cap);
        std::string room(cap, 'x');
        const std::size_t kept = render_metrics(figures, TextBuffer{room.data(), cap});
        EXPECT_EQ(kept, cap > whole ? whole : 0u);
        EXPECT_EQ(std::string(room.c_str()), cap > whole ? kTestText : "");
    }
}

using MetricsFileWrite = InTempDir;

TEST_F(MetricsFileWrite, ReplacesTheFileReadableByAllAndLeavesNoCopyBehind) {
    write_file("loadhawk.prom", "old text that is longer than the new one\n");
    ASSERT_TRUE(write_metrics_file("loadhawk.prom", "a 1\n", 4));
    EXPECT_EQ(read_file("loadhawk.prom"), "a 1\n");
    // the exporter runs as a user of its own
    EXPECT_EQ(std::filesystem::status("loadhawk.prom").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read | std::filesystem::perms::others_read);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"loadhawk.prom"});

    // a folder that does not exist: nothing written, nothing left
    EXPECT_FALSE(write_metrics_file("gone/loadhawk.prom", "a 1\n", 4));
    EXPECT_FALSE(file_exists("gone"));
}

TEST(MetricsFile, TemporaryNameCarriesThePidAndMustFitWhole) {
    const std::string expected = "m/loadhawk.prom." + std::to_string(plat::own_pid()) + ".tmp";
    for (const std::size_t cap : {expected.size(), expected.size() + 1}) {
        SCOPED_TRACE(cap);
        std::string room(cap, 'x');
        EXPECT_EQ(metrics_temp_name("m/loadhawk.prom", TextBuffer{room.data(), cap}),
                  cap > expected.size());
    }
    FixedText<plat::kTransientPathCap> name;
    ASSERT_TRUE(metrics_temp_name("m/loadhawk.prom", name.out()));
    EXPECT_EQ(std::string(name.c_str()), expected);
    EXPECT_FALSE(metrics_temp_name("", name.out()));
}
