#include "sampling/cycle_report.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>

#include "output/silent_mode.h"
#include "sampling/cpu_usage.h"
#include "sampling/sample_system.h"
#include "support/test_support.h"

TEST(CycleReport, ExactText) {
    struct Row {
        const char* what;
        Sample sample;
        const char* expected;
    };
    Row rows[] = {
        {"a cycle", {}, "2026-03-07 04:05:09\n"
                        "\n"
                        "CPU Usage: 42.3%\n"
                        "TOP1- PID: 7 CPU_TIME: 3.0 sec COMMAND: a\n"
                        "\n"
                        "MEM Usage: 63% (total 16000 MB, avail 5920 MB)\n"
                        "TOP1- PID: 7 %MEM: 1.5 COMMAND: a\n"
                        "TOP2- PID: 9 %MEM: 1.0 COMMAND: b\n"
                        "\n"},
        // a failed memory query; totals beyond 32 bits print whole
        {"no memory figures", {}, "2026-12-31 23:59:59\n\n"
                                  "CPU Usage: 100.0%\n"
                                  "TOP1- PID: 0 CPU_TIME: 0.0 sec COMMAND: ?\n\n"
                                  "MEM Usage: 0% (total 1099511627776 MB, avail 0 MB)\n"
                                  "TOP1- PID: 0 %MEM: 0.0 COMMAND: ?\n\n"},
    };
    Sample& cycle = rows[0].sample;
    cycle.timestamp.assign("2026-03-07 04:05:09");
    cycle.cpu_percent = 42.26;
    cycle.mem_load = 63;
    cycle.total_mb = 16000;
    cycle.avail_mb = 5920;
    cycle.cpu_top_text.assign("TOP1- PID: 7 CPU_TIME: 3.0 sec COMMAND: a\n");
    cycle.mem_top_text.assign("TOP1- PID: 7 %MEM: 1.5 COMMAND: a\nTOP2- PID: 9 %MEM: 1.0 COMMAND: b\n");
    Sample& empty = rows[1].sample;
    empty.timestamp.assign("2026-12-31 23:59:59");
    empty.cpu_percent = 100.0;
    empty.cpu_top_text.assign("TOP1- PID: 0 CPU_TIME: 0.0 sec COMMAND: ?\n");
    empty.mem_top_text.assign("TOP1- PID: 0 %MEM: 0.0 COMMAND: ?\n");
    empty.total_mb = 0x10000000000ull;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ConsoleCapture capture;
        print_cycle_report(row.sample);
        EXPECT_EQ(capture.out(), row.expected);
        EXPECT_EQ(capture.err(), "");
    }
}

namespace {

// What always holds of a sample of this machine.
void expect_complete(const Sample& sample) {
    EXPECT_TRUE(std::regex_match(sample.timestamp.c_str(),
                                 std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")))
        << sample.timestamp.c_str();
    EXPECT_GE(sample.cpu_percent, 0.0);
    EXPECT_LE(sample.cpu_percent, 100.0);
    EXPECT_EQ(sample.cpu_rounded, round_cpu_percent(sample.cpu_percent));
    EXPECT_GT(sample.total_mb, 0u);
    EXPECT_LE(sample.avail_mb, sample.total_mb);
    EXPECT_GE(sample.mem_load, 0);
    EXPECT_LE(sample.mem_load, 100);
    // this test process has a working set and has used CPU time
    EXPECT_GT(sample.mem_top.rows[0].pid, 0);
    EXPECT_GT(sample.cpu_top.rows[0].pid, 0);
    EXPECT_EQ(std::string(sample.mem_top_text.c_str()).rfind("TOP1- PID: ", 0), 0u);
    EXPECT_EQ(std::string(sample.cpu_top_text.c_str()).rfind("TOP1- PID: ", 0), 0u);
}

}  // namespace

TEST(SampleSystem, PausesThenSamplesAndReportsTheSampleItTook) {
    set_silent_mode(false);
    CpuReading previous{};
    ASSERT_TRUE(read_cpu(&previous));
    const CpuReading first = previous;
    Sample sample{};
    ConsoleCapture capture;
    const auto started = std::chrono::steady_clock::now();
    sample_system(&previous, &sample);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_GE(took, 0.99);
    expect_complete(sample);
    // the reading was replaced by a later one
    EXPECT_GT(previous.kernel_time + previous.user_time, first.kernel_time + first.user_time);
    // the report printed is the report of the finished sample
    const std::string printed = capture.out();
    ConsoleCapture again;
    print_cycle_report(sample);
    EXPECT_EQ(printed, again.out());
}

TEST(SampleSystem, SilentModePrintsNothingButFillsTheSample) {
    CpuReading previous{};
    ASSERT_TRUE(read_cpu(&previous));
    Sample sample{};
    // left-overs of an earlier cycle must all be replaced
    sample.mem_top.rows[4].pid = 999999;
    sample.mem_top.rows[4].value = 1e9;
    sample.cpu_top.rows[4].pid = 999999;
    sample.cpu_top.rows[4].value = 1e9;
    set_silent_mode(true);
    ConsoleCapture capture;
    measure_system(&previous, &sample);
    set_silent_mode(false);
    EXPECT_EQ(capture.out(), "");
    EXPECT_EQ(capture.err(), "");
    expect_complete(sample);
    for (const TopEntry& row : sample.mem_top.rows) EXPECT_NE(row.pid, 999999);
    for (const TopEntry& row : sample.cpu_top.rows) EXPECT_NE(row.pid, 999999);
}
