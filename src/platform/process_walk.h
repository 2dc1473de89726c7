// One walk over every process of the machine.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include "platform/win32/types.h"
#else
#include "platform/linux/types.h"
#endif

namespace plat {

constexpr std::size_t kImageNameCap = 260;

// What a walk reads of every process besides its pid and image name.
enum class ProcessMeasure { working_set, cpu_time };

struct ProcessEntry {
    std::uint32_t pid;
    char name[kImageNameCap];  // image name without a path, UTF-8, cut to 259 bytes
    std::uint64_t working_set;  // bytes; filled by a working_set walk
    std::uint64_t cpu_time;     // kernel + user time in 100-ns units; filled by a cpu_time walk
    // when the process started, in 100-ns units of the system's own clock:
    // since 1601-01-01 UTC on Windows, since boot on Linux; filled by both walks
    std::uint64_t start_time;
};

// One walk over a fresh list of all processes (the system's process
// information, a /proc directory stream). Open it with process_walk_begin,
// read with process_walk_next until it returns false, close it with
// process_walk_end. A walk that failed to begin yields no process and may
// still be ended. The walk holds the system's own state, so it needs no heap.
struct ProcessWalk {
    bool open;
    ProcessMeasure measure;
    // processes listed whose measure this walk was refused so far (another
    // account's, a protected one); a process that ended meanwhile is no
    // refusal
    std::uint32_t unreadable;
    WalkState state;
};

[[nodiscard]] bool process_walk_begin(ProcessWalk* walk, ProcessMeasure measure);
// The next process, in list order, whose measure could be read; names are
// UTF-8. A process that cannot be read is skipped (and counted in
// `unreadable` when it was refused), asking no more of any process than
// its measure needs. Returns false after the last one.
[[nodiscard]] bool process_walk_next(ProcessWalk* walk, ProcessEntry* out);
void process_walk_end(ProcessWalk* walk);

}  // namespace plat
