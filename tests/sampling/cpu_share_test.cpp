// Each process's share of all CPUs since the previous cycle, over a
// stand-in walk whose times the test sets, and the block that shows it.
#include "sampling/cpu_share.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sampling/collect_top.h"
#include "sampling/render_cpu_now.h"

namespace {

struct Proc {
    std::uint32_t pid;
    std::uint64_t start_time;
    std::uint64_t cpu_time;  // 100-ns units
};
std::vector<Proc> g_procs;
std::size_t g_next = 0;

bool walk_begin(plat::ProcessWalk* walk, plat::ProcessMeasure measure) {
    walk->open = true;
    walk->measure = measure;
    walk->unreadable = 0;
    g_next = 0;
    return true;
}
bool walk_next(plat::ProcessWalk*, plat::ProcessEntry* out) {
    *out = plat::ProcessEntry{};
    if (g_next >= g_procs.size()) return false;
    const Proc& p = g_procs[g_next++];
    out->pid = p.pid;
    std::snprintf(out->name, sizeof out->name, "p%u", p.pid);
    out->cpu_time = p.cpu_time;
    out->start_time = p.start_time;
    return true;
}
void walk_end(plat::ProcessWalk* walk) { walk->open = false; }
constexpr ProcessSource kWalk{&walk_begin, &walk_next, &walk_end};

constexpr std::uint64_t kSecond = 10000000;

// One cycle at `clock` seconds on 4 CPUs; the shares by row.
TopList cycle(CpuShareTable* table, std::uint64_t clock) {
    share_cycle_begin(table, clock * kSecond, 4);
    TopList times{};
    TopList now{};
    collect_cpu_time_top(&times, kWalk, table, &now);
    return now;
}

}  // namespace

TEST(CpuShare, BusiestSinceTheLastCycleLeadsAndAReusedPidHasNoShare) {
    auto table = std::make_unique<CpuShareTable>();
    // pid 1 has used much CPU since boot but none now; 500 busy; 600 will be reused
    g_procs = {{1, 10, 900 * kSecond}, {500, 70, 2 * kSecond}, {600, 80, 1 * kSecond}, {700, 90, 0}};
    TopList now = cycle(table.get(), 100);
    EXPECT_FALSE(share_measured(*table));
    EXPECT_EQ(now.rows[0].pid, 0);  // the first cycle has no share yet

    // 10 s on 4 CPUs: 40 s of CPU is 100 %
    g_procs = {{1, 10, 900 * kSecond},
               {500, 70, 2 * kSecond + 10 * kSecond},  // one whole CPU: 25 %
               {600, 81, 30 * kSecond},                // a new process under an old pid
               {700, 90, 2 * kSecond},                 // 5 %
               {800, 95, 7 * kSecond}};                // new: no previous time
    now = cycle(table.get(), 110);
    EXPECT_TRUE(share_measured(*table));
    EXPECT_EQ(now.rows[0].pid, 500);
    EXPECT_DOUBLE_EQ(now.rows[0].value, 25.0);
    EXPECT_EQ(now.rows[1].pid, 700);
    EXPECT_DOUBLE_EQ(now.rows[1].value, 5.0);
    EXPECT_EQ(now.rows[2].pid, 0);  // pid 1 used nothing; 600 and 800 have no share yet

    // the new 600 now has one; a clock that stands still gives no share
    g_procs = {{600, 81, 34 * kSecond}};
    now = cycle(table.get(), 120);
    EXPECT_EQ(now.rows[0].pid, 600);
    EXPECT_DOUBLE_EQ(now.rows[0].value, 10.0);
    now = cycle(table.get(), 120);
    EXPECT_FALSE(share_measured(*table));
    g_procs.clear();
}

TEST(CpuShare, ProcessesBeyondTheTableAreCountedAndTheRestStayExact) {
    auto table = std::make_unique<CpuShareTable>();
    g_procs.clear();
    const std::uint32_t total = kShareRemembered + 100;
    for (std::uint32_t i = 1; i <= total; ++i) g_procs.push_back({i, i, 0});
    cycle(table.get(), 1);
    EXPECT_EQ(table->left_out, 100u);
    // every process used 1 s of CPU in 10 s on 4 CPUs: 2.5 %; the last
    // hundred were not remembered and have none; the busiest, pid 1, leads
    for (Proc& p : g_procs) p.cpu_time = kSecond;
    g_procs[0].cpu_time = 20 * kSecond;
    g_procs[total - 1].cpu_time = 40 * kSecond;
    const TopList now = cycle(table.get(), 11);
    EXPECT_EQ(table->left_out, 100u);
    EXPECT_EQ(now.rows[0].pid, 1);
    EXPECT_DOUBLE_EQ(now.rows[0].value, 50.0);
    EXPECT_DOUBLE_EQ(now.rows[4].value, 2.5);
    for (const TopEntry& row : now.rows) EXPECT_LE(row.pid, static_cast<std::int32_t>(kShareRemembered));
    g_procs.clear();
}

namespace {

bool user_of(std::uint32_t pid, TextBuffer out) {
    if (pid == 42) return false;
    text_copy(out, "alice");
    return true;
}
bool command_of(std::uint32_t pid, TextBuffer out) {
    if (pid != 7) {
        text_copy(out, "");
        return false;
    }
    // an escape sequence, a stray byte, then far more than is shown
    const std::string line = "make \x1b[2J -j4 \xff" + std::string(300, 'x');
    text_copy(out, line.c_str());
    return true;
}
constexpr ProcessDetails kDetails{&user_of, &command_of};

}  // namespace

TEST(CpuNowBlock, RowsWithUserAndPrintableCutCommandOrWhyThereAreNone) {
    Sample sample{};
    std::unique_ptr<char[]> text(new char[kCpuNowTextCap]);
    const TextBuffer out{text.get(), kCpuNowTextCap};
    render_cpu_now(sample, out, kDetails);
    EXPECT_STREQ(text.get(), "Using CPU now: no share yet (first cycle since start)\n");
    sample.cpu_now_measured = true;
    render_cpu_now(sample, out, kDetails);
    EXPECT_STREQ(text.get(), "Using CPU now: no process used CPU since the previous cycle\n");

    sample.cpu_now_cpus = 2;
    sample.cpu_now.rows[0] = TopEntry{7, {}, 0, 87.34};
    sample.cpu_now.rows[0].name.assign("make");
    sample.cpu_now.rows[1] = TopEntry{42, {}, 0, 0.05};
    sample.cpu_now.rows[1].name.assign("r\xc3\xa9seau\x07");
    sample.cpu_now_left_out = 3;
    render_cpu_now(sample, out, kDetails);
    EXPECT_EQ(std::string(text.get()),
              "Using CPU now (share of all 2 CPUs since the previous cycle):\n"
              "NOW1- PID: 7 CPU: 87.3% USER: alice COMMAND: make CMDLINE: make ?[2J -j4 ?" +
                  std::string(kCpuNowCommandShown - 15, 'x') +
                  "\n"
                  "NOW2- PID: 42 CPU: 0.1% USER: ? COMMAND: r\xc3\xa9seau?\n"
                  "(3 more processes than the 4096 remembered have no share)\n");
}
