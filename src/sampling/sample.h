// The figures of one monitor cycle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "output/event_log.h"
#include "platform/process_walk.h"
#include "text/fixed_text.h"

// One system-times reading; 100-ns units, kernel time includes idle time.
struct CpuReading {
    std::uint64_t idle_time;
    std::uint64_t kernel_time;
    std::uint64_t user_time;
};

struct TopEntry {
    std::int32_t pid;  // 0 or less: an empty row
    FixedText<plat::kImageNameCap> name;
    std::uint64_t working_set;  // bytes; memory list only
    double value;  // percent of physical memory, or CPU seconds
};

constexpr std::size_t kTopRows = 5;
constexpr std::size_t kTopTextCap = 1600;
constexpr std::size_t kTopLineCap = 256;

// Five rows, largest value first, filled rows before empty ones.
struct TopList {
    TopEntry rows[kTopRows];
};

struct Sample {
    double cpu_percent;       // 0.0 .. 100.0 since the previous reading
    std::int32_t cpu_rounded;  // cpu_percent + 0.5, truncated
    std::int32_t mem_load;     // percent
    std::uint64_t total_mb;
    std::uint64_t avail_mb;
    TopList mem_top;
    TopList cpu_top;
    // processes left out of this cycle's lists because reading them was
    // refused (the larger count of the two walks)
    std::uint32_t unreadable_processes;
    FixedText<kTopTextCap> mem_top_text;
    FixedText<kTopTextCap> cpu_top_text;
    FixedText<kTimestampCap> timestamp;
    // the log's "not readable" line: the count it last said, when (Unix
    // seconds, 0 before the first), and whether the count held steady
    // between the last two cycles
    std::uint32_t unreadable_logged;
    std::int64_t unreadable_logged_at;
    bool unreadable_steady;
};

static_assert(std::is_trivially_copyable_v<TopEntry>);
static_assert(std::is_trivially_copyable_v<Sample>);
