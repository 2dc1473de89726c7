// The process walk against this process and children it starts.
#include <gtest/gtest.h>

#include <sys/times.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/process_walk.h"
#include "support/child_process.h"

namespace {

std::vector<plat::ProcessEntry> walk_all(plat::ProcessMeasure measure) {
    std::vector<plat::ProcessEntry> entries;
    plat::ProcessWalk walk;
    if (plat::process_walk_begin(&walk, measure)) {
        plat::ProcessEntry entry;
        while (plat::process_walk_next(&walk, &entry)) entries.push_back(entry);
    }
    plat::process_walk_end(&walk);
    return entries;
}

const plat::ProcessEntry* find(const std::vector<plat::ProcessEntry>& entries, pid_t pid) {
    for (const auto& e : entries) {
        if (static_cast<pid_t>(e.pid) == pid) return &e;
    }
    return nullptr;
}

std::string own_comm() {
    std::ifstream in("/proc/self/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

unsigned long long resident_bytes(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/statm");
    unsigned long long size = 0;
    unsigned long long resident = 0;
    in >> size >> resident;
    return resident * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
}

std::size_t open_descriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

}  // namespace

TEST(ProcessWalkPosix, FindsThisProcessWithItsNameAndMeasures) {
    const double ticks_to_100ns = 1e7 / static_cast<double>(sysconf(_SC_CLK_TCK));
    tms before{};
    times(&before);
    const unsigned long long resident_before = resident_bytes(getpid());
    const auto by_cpu = walk_all(plat::ProcessMeasure::cpu_time);
    const auto by_memory = walk_all(plat::ProcessMeasure::working_set);
    const unsigned long long resident_after = resident_bytes(getpid());
    tms after{};
    times(&after);

    const plat::ProcessEntry* self = find(by_cpu, getpid());
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(std::string(self->name), own_comm());
    // utime + stime, the same ticks times() gives
    EXPECT_GE(static_cast<double>(self->cpu_time),
              static_cast<double>(before.tms_utime + before.tms_stime) * ticks_to_100ns);
    EXPECT_LE(static_cast<double>(self->cpu_time),
              static_cast<double>(after.tms_utime + after.tms_stime) * ticks_to_100ns);

    self = find(by_memory, getpid());
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(std::string(self->name), own_comm());
    // rss pages x page size (our own size moves a little while we allocate)
    EXPECT_GE(self->working_set + (1u << 20), std::min(resident_before, resident_after));
    EXPECT_LE(self->working_set, std::max(resident_before, resident_after) + (1u << 20));

    // the start, in 100-ns units after boot: before now, the same in both walks
    timespec since_boot{};
    clock_gettime(CLOCK_BOOTTIME, &since_boot);
    const auto now = static_cast<std::uint64_t>(since_boot.tv_sec) * 10000000u +
                     static_cast<std::uint64_t>(since_boot.tv_nsec) / 100u;
    EXPECT_GT(self->start_time, 0u);
    EXPECT_LE(self->start_time, now);
    EXPECT_EQ(self->start_time, find(by_cpu, getpid())->start_time);
}

TEST(ProcessWalkPosix, NameWithBlanksAndParentheses) {
    ChildProcess child;
    ASSERT_TRUE(child.fork_named("a b) (c", ChildProcess::Work::idle));
    ASSERT_TRUE(child.wait_ready(10000));
    const auto entries = walk_all(plat::ProcessMeasure::working_set);
    const plat::ProcessEntry* found = find(entries, child.pid());
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->name, "a b) (c");
    // the fields after the name are read from the right place: the sleeping
    // child's working set is its resident size (/proc/PID/stat gives the
    // kernel's fast per-cpu estimate, statm the exact sum: a few pages apart)
    EXPECT_GT(found->working_set, 0u);
    EXPECT_NEAR(static_cast<double>(found->working_set), static_cast<double>(resident_bytes(child.pid())),
                1024.0 * 1024);
}

TEST(ProcessWalkPosix, EveryProcessOnceWithAPositivePid) {
    ChildProcess child;
    ASSERT_TRUE(child.fork_named("lh-idle", ChildProcess::Work::idle));
    ASSERT_TRUE(child.wait_ready(10000));
    for (const auto measure : {plat::ProcessMeasure::working_set, plat::ProcessMeasure::cpu_time}) {
        SCOPED_TRACE(measure == plat::ProcessMeasure::working_set ? "working set" : "cpu time");
        std::size_t in_proc = 0;
        for (const auto& item : std::filesystem::directory_iterator("/proc")) {
            const std::string name = item.path().filename().string();
            if (name.find_first_not_of("0123456789") == std::string::npos) ++in_proc;
        }
        const auto entries = walk_all(measure);
        std::set<std::uint32_t> pids;
        for (const auto& e : entries) {
            EXPECT_GT(e.pid, 0u);
            EXPECT_TRUE(pids.insert(e.pid).second) << "pid " << e.pid << " twice";
        }
        EXPECT_NE(find(entries, getpid()), nullptr);
        EXPECT_NE(find(entries, child.pid()), nullptr);
        EXPECT_NE(find(entries, 1), nullptr);
        // other tests may start or end processes meanwhile
        EXPECT_NEAR(static_cast<double>(entries.size()), static_cast<double>(in_proc), 20.0);
    }
}

TEST(ProcessWalkPosix, WalksCloseWhatTheyOpen) {
    const std::size_t before = open_descriptors();
    for (int i = 0; i < 50; ++i) {
        (void)walk_all(i % 2 == 0 ? plat::ProcessMeasure::working_set : plat::ProcessMeasure::cpu_time);
        // a walk left half-way is closed by its end as well
        plat::ProcessWalk walk;
        ASSERT_TRUE(plat::process_walk_begin(&walk, plat::ProcessMeasure::cpu_time));
        plat::ProcessEntry entry;
        ASSERT_TRUE(plat::process_walk_next(&walk, &entry));
        plat::process_walk_end(&walk);
        EXPECT_FALSE(plat::process_walk_next(&walk, &entry));
        plat::process_walk_end(&walk);
    }
    EXPECT_EQ(open_descriptors(), before);
}
