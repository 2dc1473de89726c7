// The two process walks of a cycle, each over its own fresh process list.
#pragma once

#include <cstdint>

#include "platform/process_walk.h"
#include "sampling/cpu_share.h"
#include "sampling/sample.h"

// Where the walks get their processes: the system (plat::process_walk_*),
// or a test's stand-in that fails the way a system can.
struct ProcessSource {
    bool (*begin)(plat::ProcessWalk* walk, plat::ProcessMeasure measure);
    bool (*next)(plat::ProcessWalk* walk, plat::ProcessEntry* out);
    void (*end)(plat::ProcessWalk* walk);
};
inline constexpr ProcessSource kSystemProcesses{&plat::process_walk_begin, &plat::process_walk_next,
                                                &plat::process_walk_end};

// Clears `list` and fills it with the five largest working sets, each as a
// percent of `total_mb` MB (with `total_mb` 0 no process has a value and
// the list stays empty). Returns the processes whose working set the walk
// was refused.
std::uint32_t collect_memory_top(std::uint64_t total_mb, TopList* list,
                                 const ProcessSource& source = kSystemProcesses);

// Clears `list` and fills it with the five largest accumulated CPU times,
// in seconds. With `shares` (share_cycle_begin called for this cycle) every
// process's times are recorded there and, with `now`, the five largest
// shares since the previous cycle fill `now` (percent of all CPUs; a
// process without a share never enters). Returns the processes whose CPU
// time the walk was refused.
std::uint32_t collect_cpu_time_top(TopList* list, const ProcessSource& source = kSystemProcesses,
                                   CpuShareTable* shares = nullptr, TopList* now = nullptr);
