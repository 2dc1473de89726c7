// The two walks against processes this test starts itself.
#include "sampling/collect_top.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "output/silent_mode.h"
#include "platform/system.h"
#include "sampling/render_top_list.h"
#include "sampling/sample_system.h"
#include "support/child_process.h"
#include "support/monitor_support.h"
#include "support/test_support.h"

namespace {

const TopEntry* find_row(const TopList& list, pid_t pid) {
    for (const TopEntry& row : list.rows) {
        if (row.pid == pid) return &row;
    }
    return nullptr;
}

// Calls `each(pid)` for every numeric entry of /proc.
void for_each_pid(const std::function<void(pid_t)>& each) {
    std::error_code ignored;
    for (const auto& item : std::filesystem::directory_iterator("/proc", ignored)) {
        const std::string name = item.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
        each(static_cast<pid_t>(std::stol(name)));
    }
}

// Resident bytes of a process from /proc/PID/status (VmRSS, kB); 0 if gone.
unsigned long long resident_bytes(pid_t pid) {
    // stdio, not an ifstream: a process that ends mid-read fails the read
    // with ESRCH, which an ifstream turns into an exception
    std::FILE* in = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    if (in == nullptr) return 0;
    char line[256];
    unsigned long long kilobytes = 0;
    while (std::fgets(line, sizeof line, in) != nullptr) {
        if (std::sscanf(line, "VmRSS: %llu", &kilobytes) == 1) break;
    }
    std::fclose(in);
    return kilobytes * 1024;
}

void expect_ordered(const TopList& list) {
    for (std::size_t i = 1; i < kTopRows; ++i) {
        if (list.rows[i].pid > 0) {
            EXPECT_GE(list.rows[i - 1].value, list.rows[i].value);
        }
    }
}

}  // namespace

TEST(CollectTopLive, MemoryListPutsTheLargestWorkingSetFirst) {
    // larger than anything else on this machine, and at least 200 MB
    unsigned long long largest = 0;
    for_each_pid([&](pid_t pid) { largest = std::max(largest, resident_bytes(pid)); });
    const unsigned long long size = std::max(200ull << 20, largest * 2);
    plat::MemoryStatus memory{};
    ASSERT_TRUE(plat::memory_status(&memory));
    ASSERT_LT(size, memory.avail_bytes / 2) << "not enough free memory for the test";

    // the bytes are written, so every page is resident
    ChildProcess python;
    ASSERT_TRUE(python.start({"/usr/bin/python3", "-c",
                              "import sys, time\n"
                              "b = b'\\x01' * " + std::to_string(size) + "\n"
                              "sys.stdout.write('r'); sys.stdout.flush()\n"
                              "time.sleep(120)\n"}));
    ASSERT_TRUE(python.wait_ready(60000));

    const std::uint64_t total_mb = memory.total_bytes >> 20;
    TopList list{};
    collect_memory_top(total_mb, &list);
    const unsigned long long resident = resident_bytes(python.pid());

    EXPECT_EQ(list.rows[0].pid, python.pid());
    EXPECT_STREQ(list.rows[0].name.c_str(), "python3");
    EXPECT_GE(list.rows[0].working_set, size);
    // the working set is the resident size (the child sits still; the kernel's
    // per-cpu estimate in /proc/PID/stat may be some pages off the exact VmRSS)
    EXPECT_NEAR(static_cast<double>(list.rows[0].working_set), static_cast<double>(resident),
                1024.0 * 1024);
    EXPECT_DOUBLE_EQ(list.rows[0].value, static_cast<double>(list.rows[0].working_set) * 100.0 /
                                             static_cast<double>(total_mb << 20));
    expect_ordered(list);

    FixedText<kTopTextCap> text;
    render_top_list(list, TopKind::memory, text.out());
    const std::string first_line = "TOP1- PID: " + std::to_string(python.pid()) + " %MEM: ";
    EXPECT_EQ(std::string(text.c_str()).rfind(first_line, 0), 0u) << text.c_str();
    EXPECT_NE(std::string(text.c_str()).find(" COMMAND: python3\n"), std::string::npos);
}

TEST(CollectTopLive, CpuTimeListHoldsTheBusiestChild) {
    ChildProcess busy;
    ASSERT_TRUE(busy.fork_named("lh-busy", ChildProcess::Work::busy));
    ASSERT_TRUE(busy.wait_ready(10000));

    // let the child burn more CPU time than the fifth busiest other process
    auto fifth_other = [&]() {
        std::vector<double> seconds;
        for_each_pid([&](pid_t pid) {
            if (pid != busy.pid()) seconds.push_back(process_cpu_seconds(pid));
        });
        std::sort(seconds.rbegin(), seconds.rend());
        return seconds.size() >= kTopRows ? seconds[kTopRows - 1] : 0.0;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (process_cpu_seconds(busy.pid()) < fifth_other() + 0.5) {
        if (std::chrono::steady_clock::now() > deadline) {
            GTEST_SKIP() << "five other processes have used more CPU time than the child could in 40 s";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    TopList list{};
    collect_cpu_time_top(&list);
    const double burned = process_cpu_seconds(busy.pid());
    const TopEntry* row = find_row(list, busy.pid());
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row->name.c_str(), "lh-busy");
    // the same seconds /proc/PID/stat gives (the child keeps spinning meanwhile)
    EXPECT_NEAR(row->value, burned, 0.3);
    EXPECT_LE(row->value, burned + 0.02);
    for (const TopEntry& r : list.rows) EXPECT_EQ(r.working_set, 0u);
    expect_ordered(list);
}

TEST(CollectTopLive, NoTotalMemoryLeavesTheMemoryListEmpty) {
    TopList list{};
    list.rows[0].pid = 42;
    list.rows[0].value = 99.0;
    collect_memory_top(0, &list);
    const TopList empty{};
    EXPECT_EQ(std::memcmp(&list, &empty, sizeof list), 0);
    FixedText<kTopTextCap> text;
    render_top_list(list, TopKind::memory, text.out());
    EXPECT_STREQ(text.c_str(), "TOP1- PID: 0 %MEM: 0.0 COMMAND: ?\n");
}

namespace {

// A process list as Windows gives it to a standard user: processes of
// other accounts are listed, but opening them is refused.
struct ListedProcess {
    std::uint32_t pid;
    const char* name;
    std::uint64_t working_set;
    std::uint64_t cpu_time;
    bool refused;
};
std::vector<ListedProcess> g_listed;

std::size_t g_next_row = 0;

bool standin_begin(plat::ProcessWalk* walk, plat::ProcessMeasure measure) {
    walk->open = true;
    walk->measure = measure;
    walk->unreadable = 0;
    g_next_row = 0;
    return true;
}

bool standin_next(plat::ProcessWalk* walk, plat::ProcessEntry* out) {
    *out = plat::ProcessEntry{};
    while (g_next_row < g_listed.size()) {
        const ListedProcess& p = g_listed[g_next_row++];
        if (p.refused) {
            ++walk->unreadable;
            continue;
        }
        out->pid = p.pid;
        std::snprintf(out->name, sizeof out->name, "%s", p.name);
        out->working_set = p.working_set;
        out->cpu_time = p.cpu_time;
        return true;
    }
    return false;
}

void standin_end(plat::ProcessWalk* walk) { walk->open = false; }

constexpr ProcessSource kStandIn{&standin_begin, &standin_next, &standin_end};

std::vector<std::int32_t> pids_of(const TopList& list) {
    std::vector<std::int32_t> pids;
    for (const TopEntry& row : list.rows) {
        if (row.pid > 0) pids.push_back(row.pid);
    }
    return pids;
}

}  // namespace

using CollectTopRefused = InTempDir;

TEST_F(CollectTopRefused, ListsHoldWhatCouldBeReadAndTheLogCountsTheRestOncePerChange) {
    const std::uint64_t mb = 1 << 20;
    // the busiest and the largest processes are other accounts'
    g_listed = {
        {4, "System", 0, 900 * 10000000ull, true},
        {700, "sqlservr.exe", 4000 * mb, 800 * 10000000ull, true},
        {1200, "explorer.exe", 300 * mb, 20 * 10000000ull, false},
        {1300, "Gr\xc3\xb6\xc3\x9f" "e.exe", 500 * mb, 5 * 10000000ull, false},
        {1400, "svchost.exe", 50 * mb, 60 * 10000000ull, true},
    };
    TopList list{};
    EXPECT_EQ(collect_memory_top(8000, &list, kStandIn), 3u);
    EXPECT_EQ(pids_of(list), (std::vector<std::int32_t>{1300, 1200}));
    EXPECT_STREQ(list.rows[0].name.c_str(), "Gr\xc3\xb6\xc3\x9f" "e.exe");
    EXPECT_EQ(collect_cpu_time_top(&list, kStandIn), 3u);
    EXPECT_EQ(pids_of(list), (std::vector<std::int32_t>{1200, 1300}));

    // three cycles: the count is logged when it appears, not while it
    // stays, and again when it changes
    set_silent_mode(true);
    CpuReading previous{};
    Sample sample{};
    std::size_t offset = 0;
    measure_system(&previous, &sample, kStandIn);
    EXPECT_EQ(sample.unreadable_processes, 3u);
    EXPECT_EQ(read_new_log(&offset), "Processes not readable: 3 (left out of the top lists)\n");
    measure_system(&previous, &sample, kStandIn);
    EXPECT_EQ(read_new_log(&offset), "");
    g_listed[4].refused = false;
    measure_system(&previous, &sample, kStandIn);
    EXPECT_EQ(read_new_log(&offset), "Processes not readable: 2 (left out of the top lists)\n");
    EXPECT_EQ(std::string(sample.cpu_top_text.c_str()).rfind("TOP1- PID: 1400 CPU_TIME: 60.0 sec COMMAND: svchost.exe\n", 0), 0u);
    // a count that changes every cycle is said at most once an hour
    for (const bool refused : {true, false, true}) {
        g_listed[4].refused = refused;
        measure_system(&previous, &sample, kStandIn);
        EXPECT_EQ(read_new_log(&offset), "");
    }
    sample.unreadable_logged_at -= 3600;
    g_listed[4].refused = false;
    measure_system(&previous, &sample, kStandIn);
    EXPECT_EQ(read_new_log(&offset), "");  // the count last said
    g_listed[4].refused = true;
    measure_system(&previous, &sample, kStandIn);
    set_silent_mode(false);
    EXPECT_EQ(read_new_log(&offset), "Processes not readable: 3 (left out of the top lists)\n");
    g_listed[4].refused = false;
    g_listed.clear();
}

TEST(CollectTopNames, EnterTheListAsPrintableUtf8) {
    struct Row {
        const char* name;
        const char* listed;
    } const rows[] = {
        {"Gr\xc3\xb6\xc3\x9f" "e.exe", "Gr\xc3\xb6\xc3\x9f" "e.exe"},
        {"\xff\xfe" "evil", "??evil"},
        {"csi\xc2\x9b" "2J", "csi?2J"},                    // C1 control, one character
        {"cr\r\x1b[2J\t\x7f", "cr??[2J??"},
        {"\xd0\x9a\xd0\xbe\xd0\xbc\xd0\xbf\xd0\xbb\xd0\xb5\xd0", "\xd0\x9a\xd0\xbe\xd0\xbc\xd0\xbf\xd0\xbb\xd0\xb5?"},  // cut at 15 bytes
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.listed);
        g_listed = {{100, row.name, 1 << 20, 10000000ull, false}};
        TopList list{};
        (void)collect_memory_top(8000, &list, kStandIn);
        EXPECT_STREQ(list.rows[0].name.c_str(), row.listed);
        (void)collect_cpu_time_top(&list, kStandIn);
        EXPECT_STREQ(list.rows[0].name.c_str(), row.listed);
    }
}
